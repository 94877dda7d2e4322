#pragma once
// All mapping arithmetic of a device context: mapping modes and their
// extents, the isotropic adjustment, window and viewport, the world
// transform, and the one rounding rule for device coordinates.

#include <QPointF>
#include <QTransform>
#include <cmath>
#include <cstdint>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Surface.h"

namespace platform::gdi {

struct DcState;

// Device coordinates round half up (floor(v + 0.5)), clamped to what a
// 32-bit coordinate holds.
inline int32_t roundCoord(double v) {
  if (!(v == v)) return 0;
  double r = std::floor(v + 0.5);
  if (r > 2147483647.0) return INT32_MAX;
  if (r < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}
// a * b / c rounded half away from zero, as GDI's MulDiv; 0 when c is 0 or
// the result does not fit.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

QTransform toQTransform(const XFORM& x);
XFORM toXform(const QTransform& t);
bool isSingular(const XFORM& x);

// Sets the mapping mode with the extents it fixes. Returns the old mode,
// or 0 for an unknown mode.
int setMapMode(DcState& s, int mode, const DeviceDescription& device);
// The extent setters refuse zero; in the fixed modes they do nothing but
// succeed, as GDI.
bool setWindowExt(DcState& s, int32_t x, int32_t y, const DeviceDescription& device);
bool setViewportExt(DcState& s, int32_t x, int32_t y, const DeviceDescription& device);
bool scaleWindowExt(DcState& s, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                    const DeviceDescription& device);
bool scaleViewportExt(DcState& s, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                      const DeviceDescription& device);
// In MM_ISOTROPIC, shrinks one viewport extent so that a logical unit has
// the same physical size in both directions (the device's HORZSIZE/HORZRES
// and VERTSIZE/VERTRES give the pixel sizes).
void fixIsotropic(DcState& s, const DeviceDescription& device);

bool setWorldTransform(DcState& s, const XFORM& x);  // false in GM_COMPATIBLE or when singular
bool modifyWorldTransform(DcState& s, const XFORM* x, uint32_t mode);
int setGraphicsMode(DcState& s, int mode);

// Window to viewport.
QTransform pageTransform(const DcState& s);
// World then page; the world transform counts only in GM_ADVANCED.
QTransform worldToDevice(const DcState& s);

// Points through a transform, rounded.
void transformPoints(const QTransform& t, POINT* points, int count);

}  // namespace platform::gdi
