#pragma once
// Drawing one surface primitive on a QPainter, in the painter's current
// coordinate system and composition mode. Shared by the raster and PDF
// surfaces so that the printed page and the preview draw alike.

#include <QPainter>
#include <QHash>
#include <QRawFont>

#include "platform/gdi/Surface.h"

namespace platform::gdi {

// Last font turned into a raw font: text runs mostly repeat their font.
struct RawFontCache {
  QFont font;
  QRawFont raw;
  bool valid = false;
  QHash<quint32, QPainterPath> outlines;  // of `raw`'s glyphs
  QHash<char32_t, quint32> glyphOf;       // 0: the font lacks the character
  double pixelSize = 1;                   // as the font engine has it
  double em = 1;                          // the farthest a glyph reaches, about
  const QRawFont& rawFor(const QFont& f);
  const QPainterPath& outline(quint32 glyph);
  quint32 glyphFor(char32_t ucs4, const QString& group);
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
// run's angle and then by the linear part of its transform. With
// `largeAsOutlines`, glyphs too large for Qt's glyph cache are filled as
// (cached) outlines: Qt 6.4's raster engine draws nothing for glyphs between
// its FreeType engine's fixed 64-pixel limit and a raised
// QT_MAX_CACHED_GLYPH_SIZE, and re-reads outlines on every draw above it.
void paintText(QPainter& painter, const TextRun& run, bool smooth, RawFontCache& cache, bool largeAsOutlines);

// The device pixels a primitive can touch, before clipping.
QRect pathPixels(const QPainterPath& path);
QRect strokePixels(const QPainterPath& path, const QPen& pen);
QRect imagePixels(const QImage& image, const QTransform& imageToDevice);
QRect textPixels(const TextRun& run, bool smooth, RawFontCache& cache);

}  // namespace platform::gdi
