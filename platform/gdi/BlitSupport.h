#pragma once
// What the blits, the DIB calls and the gradients share: where a logical
// rectangle lands in device space, and the pixels of the selected brush.

#include <QImage>
#include <QTransform>

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

inline QRgb rgbOf(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Maps the unit square onto the logical rectangle (x, y, width, height) in
// device space. Without rotation or shear the corners are rounded to whole
// pixels, as GDI places blits; negative sizes mirror.
QTransform unitToDevice(const DeviceContext& dc, double x, double y, double width, double height);

// The device pixels a context's surface holds.
QRect surfaceBounds(DeviceContext& dc);
// The context draws on a monochrome bitmap.
bool isMonochromeSurface(DeviceContext& dc);

// The selected brush's pixels over `deviceRect` (hatch gaps in the
// background colour); false for a hollow brush.
bool brushPixels(const DeviceContext& dc, const QRect& deviceRect, QImage& pixels);

// Black or white by brightness: what a monochrome bitmap holds.
inline bool isWhitish(QRgb c) { return qGray(c) >= 128; }

}  // namespace platform::gdi
