#include "platform/gdi/RasterSurface.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/RasterOps.h"
#include "platform/gdi/Surfaces.h"

namespace platform::gdi {

namespace {

constexpr int kCopyPen = 13, kNop = 11;

// Raster operations through a mask are composed band by band, so that a
// page-sized fill at printer resolution needs only a strip of memory.
constexpr int kBandPixels = 1 << 20;

void prepare(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

}  // namespace

RasterSurface::RasterSurface(std::shared_ptr<QImage> image, const DeviceDescription& description, bool smoothText)
    : image_(std::move(image)), description_(description), smoothText_(smoothText) {}

bool RasterSurface::usable() {
  if (!image_ || image_->isNull()) return false;
  const QImage::Format f = image_->format();
  if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32_Premultiplied)
    image_->convertTo(QImage::Format_ARGB32_Premultiplied);
  return true;
}

template <typename Draw>
void RasterSurface::paint(const QRect& reach, int rop2, bool solidSource, const DeviceClip& clip, const Draw& draw) {
  rop2 = normalizedRop2(rop2);
  if (rop2 == kNop || !usable()) return;
  QRect area = reach.intersected(image_->rect());
  if (clip.active) area = area.intersected(clip.region.boundingRect());
  if (area.isEmpty()) return;

  const std::optional<QPainter::CompositionMode> mode = compositionModeFor(rop2);
  if (rop2 == kCopyPen || (solidSource && mode)) {
    QPainter painter(image_.get());
    prepare(painter);
    if (!applyClip(painter, clip)) return;
    if (rop2 != kCopyPen) painter.setCompositionMode(*mode);
    draw(painter);
    return;
  }

  // Patterns and text under a raster operation: draw the source alone, then
  // combine its covered pixels with the destination.
  const int bandHeight = std::max(1, std::min(area.height(), kBandPixels / std::max(1, area.width())));
  QImage band(area.width(), bandHeight, QImage::Format_ARGB32_Premultiplied);
  for (int top = area.top(); top <= area.bottom(); top += bandHeight) {
    band.fill(Qt::transparent);
    {
      QPainter painter(&band);
      prepare(painter);
      painter.translate(-area.left(), -top);
      // Only this band of the area: the clip also keeps later bands' pixels
      // out of this one's composition.
      const QRegion bandRegion(QRect(area.left(), top, area.width(), bandHeight));
      DeviceClip bandClip{true, clip.active ? clip.region.intersected(bandRegion) : bandRegion};
      if (!applyClip(painter, bandClip)) continue;
      draw(painter);
    }
    composeRop2(*image_, band, QPoint(area.left(), top), rop2);
  }
}

void RasterSurface::fillPath(const QPainterPath& path, const Paint& paint_, const DeviceClip& clip) {
  const bool solid = paint_.brush.style() == Qt::SolidPattern;
  paint(pathPixels(path), paint_.rop2, solid, clip, [&](QPainter& p) { paintFillPath(p, path, paint_); });
}

void RasterSurface::fillRegion(const QRegion& region, const Paint& paint_, const DeviceClip& clip) {
  const bool solid = paint_.brush.style() == Qt::SolidPattern;
  paint(region.boundingRect(), paint_.rop2, solid, clip, [&](QPainter& p) { paintFillRegion(p, region, paint_); });
}

void RasterSurface::strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) {
  const bool solid = pen.brush().style() == Qt::SolidPattern;
  paint(strokePixels(path, pen), rop2, solid, clip, [&](QPainter& p) { paintStroke(p, path, pen); });
}

namespace {

// Qt's raster engine overflows (and crashes) on images scaled far beyond
// the device; such images, and those whose visible part is a small piece of
// a large picture, are sampled here onto the visible pixels only (nearest
// neighbour, as GDI's COLORONCOLOR).
bool needsOwnSampling(const QImage& image, const QTransform& imageToDevice, const QRect& visible) {
  const QRectF mapped = imageToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(image.size())));
  constexpr double kLimit = 1 << 15;
  return mapped.width() > kLimit || mapped.height() > kLimit || std::abs(mapped.left()) > kLimit ||
         std::abs(mapped.top()) > kLimit || mapped.width() * mapped.height() > 16.0 * visible.width() * visible.height();
}

QImage sampled(const QImage& image, const QTransform& toImage, const QRect& visible) {
  const QImage source = image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage out(visible.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  const bool opaque = source.format() == QImage::Format_RGB32;
  for (int y = 0; y < visible.height(); ++y) {
    auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
    for (int x = 0; x < visible.width(); ++x) {
      const QPointF at = toImage.map(QPointF(visible.left() + x + 0.5, visible.top() + y + 0.5));
      if (!(at.x() >= 0 && at.y() >= 0 && at.x() < source.width() && at.y() < source.height())) continue;
      const uint32_t pixel =
          reinterpret_cast<const uint32_t*>(source.constScanLine(int(at.y())))[int(at.x())];
      line[x] = opaque ? (pixel | 0xFF000000u) : pixel;
    }
  }
  return out;
}

}  // namespace

void RasterSurface::drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                              const DeviceClip& clip) {
  if (image.isNull() || !usable()) return;
  bool invertible = false;
  const QTransform toImage = imageToDevice.inverted(&invertible);
  if (!invertible) return;  // a picture of no size
  QRect visible = imagePixels(image, imageToDevice).intersected(image_->rect());
  if (clip.active) visible = visible.intersected(clip.region.boundingRect());
  if (visible.isEmpty()) return;
  if (needsOwnSampling(image, imageToDevice, visible)) {
    const QImage piece = sampled(image, toImage, visible);
    paint(visible, kCopyPen, false, clip, [&](QPainter& p) { p.drawImage(visible.topLeft(), piece); });
    return;
  }
  paint(visible, kCopyPen, false, clip, [&](QPainter& p) { paintImage(p, image, imageToDevice, smooth); });
}

void RasterSurface::drawText(const TextRun& run, const DeviceClip& clip) {
  ensureGuiApplication();
  paint(textPixels(run, smoothText_, fonts_), run.rop2, false, clip, [&](QPainter& p) { paintText(p, run, smoothText_, fonts_, true); });
}

QImage RasterSurface::readPixels(const QRect& rect) const {
  if (!image_ || image_->isNull()) return QImage();
  const QRect r = rect.intersected(image_->rect());
  if (r.isEmpty()) return QImage(0, 0, image_->format());
  return image_->copy(r);
}

void RasterSurface::writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) {
  if (pixels.isNull() || !usable()) return;
  QPainter painter(image_.get());
  prepare(painter);
  if (!applyClip(painter, clip)) return;
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(topLeft, pixels);
}

std::shared_ptr<Surface> makeRasterSurface(std::shared_ptr<QImage> image, const DeviceDescription& description,
                                           bool smoothText) {
  return std::make_shared<RasterSurface>(std::move(image), description, smoothText);
}

}  // namespace platform::gdi
