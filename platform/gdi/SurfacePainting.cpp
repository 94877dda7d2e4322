#include "platform/gdi/SurfacePainting.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <algorithm>
#include <cmath>

namespace platform::gdi {

const QRawFont& RawFontCache::rawFor(const QFont& f) {
  if (!valid || !(font == f) || font.styleStrategy() != f.styleStrategy()) {
    font = f;
    raw = QRawFont::fromFont(f);
    outlines.clear();
    glyphOf.clear();
    pixelSize = std::max(QFontInfo(f).pixelSize(), 1);
    const QFontMetricsF metrics(f);
    em = std::max({metrics.height(), metrics.maxWidth(), pixelSize, 1.0});
    valid = true;
  }
  return raw;
}

quint32 RawFontCache::glyphFor(char32_t ucs4, const QString& group) {
  auto it = glyphOf.find(ucs4);
  if (it == glyphOf.end()) {
    quint32 glyph = 0;
    if (raw.isValid() && raw.supportsCharacter(ucs4)) {
      const QList<quint32> indices = raw.glyphIndexesForString(group);
      if (!indices.isEmpty()) glyph = indices.front();
    }
    // Bounded by the characters of the runs drawn in this font.
    it = glyphOf.insert(ucs4, glyph);
  }
  return *it;
}

const QPainterPath& RawFontCache::outline(quint32 glyph) {
  auto it = outlines.find(glyph);
  if (it == outlines.end()) {
    // Bounded: a font has at most 65536 glyphs, and a new font clears it.
    QPainterPath path = raw.pathForGlyph(glyph);
    path.setFillRule(Qt::WindingFill);
    it = outlines.insert(glyph, path);
  }
  return *it;
}

bool applyClip(QPainter& painter, const DeviceClip& clip) {
  if (!clip.active) {
    painter.setClipping(false);
    return true;
  }
  if (clip.region.isEmpty()) return false;
  painter.setClipRegion(clip.region);
  return true;
}

bool needsBackground(const Paint& paint) {
  if (!paint.opaqueBackground) return false;
  const Qt::BrushStyle style = paint.brush.style();
  if (style >= Qt::Dense1Pattern && style <= Qt::DiagCrossPattern) return true;
  // Two-colour patterns given as bitmaps draw only their set bits.
  return style == Qt::TexturePattern && paint.brush.texture().depth() == 1;
}

void paintFillPath(QPainter& painter, const QPainterPath& path, const Paint& paint) {
  if (paint.brush.style() == Qt::NoBrush) return;
  if (needsBackground(paint)) painter.fillPath(path, paint.background);
  painter.fillPath(path, paint.brush);
}

void paintFillRegion(QPainter& painter, const QRegion& region, const Paint& paint) {
  if (paint.brush.style() == Qt::NoBrush || region.isEmpty()) return;
  const bool background = needsBackground(paint);
  for (const QRect& r : region) {
    if (background) painter.fillRect(r, paint.background);
    painter.fillRect(r, paint.brush);
  }
}

void paintStroke(QPainter& painter, const QPainterPath& path, const QPen& pen) {
  if (pen.style() == Qt::NoPen) return;
  QPen cosmetic = pen;
  cosmetic.setCosmetic(true);
  // GDI leaves out the last pixel of a line; Qt's flat cap does the same.
  cosmetic.setCapStyle(Qt::FlatCap);
  painter.strokePath(path, cosmetic);
}

void paintImage(QPainter& painter, const QImage& image, const QTransform& imageToDevice, bool smooth) {
  if (image.isNull()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  painter.setTransform(imageToDevice, true);
  painter.drawImage(QPointF(0, 0), image);
  painter.restore();
}

namespace {

// FreeType glyphs larger than this come without bitmaps in Qt 6.4.
constexpr double kLargestCachedGlyph = 60;

QFont textFont(const QFont& font, bool smooth) {
  QFont f = font;
  const int others = int(f.styleStrategy()) & ~int(QFont::PreferAntialias | QFont::NoAntialias);
  f.setStyleStrategy(QFont::StyleStrategy(others | (smooth ? QFont::PreferAntialias : QFont::NoAntialias)));
  return f;
}

// Rotation (GDI's counter-clockwise sense on a y-down device) then the
// run's linear transform.
QTransform glyphShapeTransform(const TextRun& run) {
  const QTransform& t = run.transform;
  return QTransform().rotate(-run.angleDegrees) * QTransform(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0);
}

}  // namespace

void paintText(QPainter& painter, const TextRun& run, bool smooth, RawFontCache& cache, bool largeAsOutlines) {
  if (run.positions.empty()) return;
  const QFont font = textFont(run.font, smooth);
  const QTransform shape = glyphShapeTransform(run);
  bool invertible = false;
  const QTransform toGlyphSpace = shape.inverted(&invertible);
  if (!invertible) return;
  // Size of a glyph on the device, as Qt's font engine judges it.
  const QTransform onDevice = shape * painter.transform();
  const QRawFont& raw = cache.rawFor(font);
  const double pixels = cache.pixelSize * std::sqrt(std::abs(onDevice.determinant()));
  const bool outlines = largeAsOutlines && pixels > kLargestCachedGlyph;

  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing, smooth);
  painter.setTransform(shape, true);
  painter.setPen(run.color);
  painter.setFont(font);

  QList<quint32> glyphs;
  QList<QPointF> positions;
  if (run.glyphIndices) {
    const size_t n = std::min(run.glyphs.size(), run.positions.size());
    for (size_t i = 0; i < n; ++i) {
      glyphs.push_back(run.glyphs[i]);
      positions.push_back(toGlyphSpace.map(run.positions[i]));
    }
  } else {
    const QString& text = run.text;
    size_t index = 0;
    for (qsizetype i = 0; i < text.size() && index < run.positions.size(); ++index) {
      const qsizetype length =
          text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
      const QString group = text.mid(i, length);
      i += length;
      const char32_t ucs4 = length == 2 ? QChar::surrogateToUcs4(group[0], group[1]) : group[0].unicode();
      const QPointF at = toGlyphSpace.map(run.positions[index]);
      if (const quint32 glyph = cache.glyphFor(ucs4, group)) {
        glyphs.push_back(glyph);
        positions.push_back(at);
        continue;
      }
      // Characters the font lacks come from fontconfig's fallback fonts.
      if (group[0].isSpace()) continue;
      if (outlines) {
        QPainterPath path;
        path.addText(at, font, group);
        painter.fillPath(path, run.color);
      } else {
        painter.drawText(at, group);
      }
    }
  }
  if (outlines && raw.isValid()) {
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (qsizetype i = 0; i < glyphs.size(); ++i) all.addPath(cache.outline(glyphs[i]).translated(positions[i]));
    painter.fillPath(all, run.color);
    if ((font.underline() || font.strikeOut()) && !glyphs.isEmpty()) {
      // The lines glyph runs would carry, from the first origin to the end
      // of the last glyph.
      const QList<QPointF> advances = raw.advancesForGlyphIndexes(QList<quint32>{glyphs.back()});
      const qreal start = positions.front().x();
      const qreal end = positions.back().x() + (advances.isEmpty() ? 0 : advances.front().x());
      const qreal thickness = std::max<qreal>(1, raw.lineThickness());
      const qreal baseline = positions.front().y();
      QPainterPath lines;
      if (font.underline()) lines.addRect(QRectF(start, baseline + raw.underlinePosition(), end - start, thickness));
      if (font.strikeOut()) lines.addRect(QRectF(start, baseline - raw.xHeight() / 2 - thickness / 2, end - start, thickness));
      painter.fillPath(lines, run.color);
    }
  } else if (!glyphs.isEmpty() && raw.isValid()) {
    QGlyphRun glyphRun;
    glyphRun.setRawFont(raw);
    glyphRun.setGlyphIndexes(glyphs);
    glyphRun.setPositions(positions);
    glyphRun.setUnderline(font.underline());
    glyphRun.setStrikeOut(font.strikeOut());
    painter.drawGlyphRun(QPointF(0, 0), glyphRun);
  }
  painter.restore();
}

namespace {

QRect saturatedRect(const QRectF& r) {
  // Coordinates far outside any device would overflow int.
  constexpr double kLimit = 1 << 28;
  if (!std::isfinite(r.left()) || !std::isfinite(r.top()) || !std::isfinite(r.right()) || !std::isfinite(r.bottom()))
    return QRect();
  const double l = std::clamp(std::floor(r.left()), -kLimit, kLimit);
  const double t = std::clamp(std::floor(r.top()), -kLimit, kLimit);
  const double rr = std::clamp(std::ceil(r.right()), -kLimit, kLimit);
  const double b = std::clamp(std::ceil(r.bottom()), -kLimit, kLimit);
  return QRect(QPoint(int(l), int(t)), QPoint(int(rr), int(b)));
}

// Widened by `n` pixels each side; nothing stays nothing.
QRect grown(const QRect& r, int n) { return r.isEmpty() ? QRect() : r.adjusted(-n, -n, n, n); }

}  // namespace

QRect pathPixels(const QPainterPath& path) { return grown(saturatedRect(path.controlPointRect()), 1); }

QRect strokePixels(const QPainterPath& path, const QPen& pen) {
  const int extra = 2 + int(std::min(pen.widthF(), 1e6));
  return grown(saturatedRect(path.controlPointRect()), extra);
}

QRect imagePixels(const QImage& image, const QTransform& imageToDevice) {
  return grown(saturatedRect(imageToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(image.size())))), 1);
}

QRect textPixels(const TextRun& run, bool smooth, RawFontCache& cache) {
  if (run.positions.empty()) return QRect();
  QPolygonF origins;
  for (const QPointF& p : run.positions) origins << p;
  cache.rawFor(textFont(run.font, smooth));
  const QTransform shape = glyphShapeTransform(run);
  // A glyph reaches at most a few ems from its origin in any direction.
  const double em = cache.em;
  const QRectF box = shape.mapRect(QRectF(-em, -2 * em, 3 * em, 4 * em));
  const QRectF bounds = origins.boundingRect().adjusted(box.left(), box.top(), box.right(), box.bottom());
  return grown(saturatedRect(bounds), 2);
}

}  // namespace platform::gdi
