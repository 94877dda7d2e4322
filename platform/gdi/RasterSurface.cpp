#include "platform/gdi/RasterSurface.h"

#include <algorithm>

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

void RasterSurface::drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                              const DeviceClip& clip) {
  paint(imagePixels(image, imageToDevice), kCopyPen, false, clip,
        [&](QPainter& p) { paintImage(p, image, imageToDevice, smooth); });
}

void RasterSurface::drawText(const TextRun& run, const DeviceClip& clip) {
  ensureGuiApplication();
  paint(textPixels(run), run.rop2, false, clip, [&](QPainter& p) { paintText(p, run, smoothText_, fonts_); });
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
