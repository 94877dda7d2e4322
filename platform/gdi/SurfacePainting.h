#pragma once
// Drawing one surface primitive on a QPainter, in the painter's current
// coordinate system and composition mode. Shared by the raster and PDF
// surfaces so that the printed page and the preview draw alike.

#include <QPainter>
#include <QRawFont>

#include "platform/gdi/Surface.h"

namespace platform::gdi {

// Last font turned into a raw font: text runs mostly repeat their font.
struct RawFontCache {
  QFont font;
  QRawFont raw;
  bool valid = false;
  const QRawFont& rawFor(const QFont& f);
};

// Sets the painter's clip; false when nothing can be drawn (empty clip).
bool applyClip(QPainter& painter, const DeviceClip& clip);

// A hatch or pattern brush's gaps take the background colour in OPAQUE mode.
bool needsBackground(const Paint& paint);

void paintFillPath(QPainter& painter, const QPainterPath& path, const Paint& paint);
void paintFillRegion(QPainter& painter, const QRegion& region, const Paint& paint);
void paintStroke(QPainter& painter, const QPainterPath& path, const QPen& pen);
void paintImage(QPainter& painter, const QImage& image, const QTransform& imageToDevice, bool smooth);
// Glyph origins are device positions; the glyph shapes are rotated by the
// run's angle and then by the linear part of its transform.
void paintText(QPainter& painter, const TextRun& run, bool smooth, RawFontCache& cache);

// The device pixels a primitive can touch, before clipping.
QRect pathPixels(const QPainterPath& path);
QRect strokePixels(const QPainterPath& path, const QPen& pen);
QRect imagePixels(const QImage& image, const QTransform& imageToDevice);
QRect textPixels(const TextRun& run);

}  // namespace platform::gdi
