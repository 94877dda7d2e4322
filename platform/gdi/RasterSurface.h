#pragma once
// A surface over a QImage shared with its owner (a screen picture, a memory
// bitmap, an export page). A painter is opened per call: others (bitmap
// calls, another context) may paint on or replace the same image between
// calls, and QPainter's begin costs half a microsecond.

#include <memory>

#include "platform/gdi/Surface.h"
#include "platform/gdi/SurfacePainting.h"

namespace platform::gdi {

class RasterSurface : public Surface {
 public:
  RasterSurface(std::shared_ptr<QImage> image, const DeviceDescription& description, bool smoothText);

  const std::shared_ptr<QImage>& image() const { return image_; }

  const DeviceDescription& description() const override { return description_; }
  void fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) override;
  void fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) override;
  void strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) override;
  void drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                 const DeviceClip& clip) override;
  void drawText(const TextRun& run, const DeviceClip& clip) override;
  QImage readPixels(const QRect& rect) const override;
  void writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) override;

 private:
  template <typename Draw>
  void paint(const QRect& reach, int rop2, bool solidSource, const DeviceClip& clip, const Draw& draw);
  bool usable();

  std::shared_ptr<QImage> image_;
  DeviceDescription description_;
  bool smoothText_ = false;
  RawFontCache fonts_;
};

}  // namespace platform::gdi
