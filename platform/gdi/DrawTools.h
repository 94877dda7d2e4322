#pragma once
// The selected pen and brush as device-space paint, and the two ways every
// shape reaches a surface. Device paths here use GDI's pixel convention:
// integer coordinates name pixels; a filled path covers the pixels whose
// centres lie inside it when its coordinates are read as pixel edges, so a
// polygon fills up to but not including its right and bottom edges, and its
// outline covers them.

#include <QBrush>
#include <QPainterPath>

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

// `brush` as device paint at the context's brush origin, colours and
// background mode. false for a hollow brush (nothing to fill).
bool brushPaint(const DeviceContext& dc, const BrushObject& brush, bool isDcBrush, Paint& paint);
// The selected brush.
bool currentBrushPaint(const DeviceContext& dc, Paint& paint);
// The brush behind a handle (stock and system-colour brushes included).
bool handleBrushPaint(const DeviceContext& dc, HBRUSH brush, Paint& paint);

// The 8 x 8 device-pixel pattern of a hatch style: `ink` on the lines and
// `gap` elsewhere (transparent for a transparent background).
QImage hatchPattern(uint32_t hatch, QRgb ink, QRgb gap);

// The selected pen resolved for drawing.
struct ResolvedPen {
  bool null = true;
  bool onePixel = true;      // one device pixel, whatever the transform
  bool insideFrame = false;
  QColor color;
  double width = 0;          // logical units (geometric pens)
  double deviceWidth = 1;    // device pixels
  uint32_t style = PS_SOLID;
  Qt::PenCapStyle cap = Qt::RoundCap;
  Qt::PenJoinStyle join = Qt::RoundJoin;
  QList<qreal> dashes;       // device pixels for one-pixel pens, pen widths for wide ones
  uint32_t brushStyle = BS_SOLID;
  uint32_t brushHatch = 0;
};
ResolvedPen resolvePen(const DeviceContext& dc);

// Fills a closed device path with the selected brush.
void fillShape(DeviceContext& dc, const QPainterPath& devicePath);
// Strokes a device path with the selected pen.
void strokeShape(DeviceContext& dc, const QPainterPath& devicePath);
void strokeShape(DeviceContext& dc, const QPainterPath& devicePath, const ResolvedPen& pen);
// The outline a wide pen paints along `devicePath`, as a fillable device
// path (what WidenPath keeps).
QPainterPath widenedOutline(const DeviceContext& dc, const QPainterPath& devicePath, const ResolvedPen& pen);

}  // namespace platform::gdi
