#include "platform/gdi/SurfacePainting.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <algorithm>
#include <cmath>

namespace platform::gdi {

const QRawFont& RawFontCache::rawFor(const QFont& f) {
  if (!valid || !(font == f) || font.styleStrategy() != f.styleStrategy()) {
    font = f;
    raw = QRawFont::fromFont(f);
    valid = true;
  }
  return raw;
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

void paintText(QPainter& painter, const TextRun& run, bool smooth, RawFontCache& cache) {
  if (run.positions.empty()) return;
  const QFont font = textFont(run.font, smooth);
  const QTransform shape = glyphShapeTransform(run);
  bool invertible = false;
  const QTransform toGlyphSpace = shape.inverted(&invertible);
  if (!invertible) return;

  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing, smooth);
  painter.setTransform(shape, true);
  painter.setPen(run.color);
  painter.setFont(font);
  const QRawFont& raw = cache.rawFor(font);

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
      if (raw.isValid() && raw.supportsCharacter(ucs4)) {
        const QList<quint32> indices = raw.glyphIndexesForString(group);
        if (!indices.isEmpty()) {
          glyphs.push_back(indices.front());
          positions.push_back(at);
          continue;
        }
      }
      // Characters the font lacks come from fontconfig's fallback fonts.
      if (!group[0].isSpace()) painter.drawText(at, group);
    }
  }
  if (!glyphs.isEmpty() && raw.isValid()) {
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

}  // namespace

QRect pathPixels(const QPainterPath& path) { return saturatedRect(path.controlPointRect()).adjusted(-1, -1, 1, 1); }

QRect strokePixels(const QPainterPath& path, const QPen& pen) {
  const int extra = 2 + int(std::min(pen.widthF(), 1e6));
  return saturatedRect(path.controlPointRect()).adjusted(-extra, -extra, extra, extra);
}

QRect imagePixels(const QImage& image, const QTransform& imageToDevice) {
  return saturatedRect(imageToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(image.size())))).adjusted(-1, -1, 1, 1);
}

QRect textPixels(const TextRun& run) {
  if (run.positions.empty()) return QRect();
  QPolygonF origins;
  for (const QPointF& p : run.positions) origins << p;
  const QFontMetricsF metrics(run.font);
  const QTransform shape = glyphShapeTransform(run);
  // A glyph reaches at most a few ems from its origin in any direction.
  const double em = std::max({metrics.height(), metrics.maxWidth(), double(run.font.pixelSize()), 1.0});
  const QRectF box = shape.mapRect(QRectF(-em, -2 * em, 3 * em, 4 * em));
  const QRectF bounds = origins.boundingRect().adjusted(box.left(), box.top(), box.right(), box.bottom());
  return saturatedRect(bounds).adjusted(-2, -2, 2, 2);
}

}  // namespace platform::gdi
