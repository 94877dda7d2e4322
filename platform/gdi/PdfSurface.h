#pragma once
// The pages of a printer job as a PDF file. Vector primitives go to the PDF
// as they are; operations that read the destination (raster operations
// other than a plain copy, writePixels, readPixels) are composed on a
// page-sized raster shadow and their changed pixels are placed on the page
// as a lossless image, so the printed page equals the preview. The shadow
// is made (by replaying the page's calls so far) only on a page that needs
// it: at 600 dpi it takes 140 MB.

#include <QPainter>
#include <QPdfWriter>
#include <functional>
#include <memory>
#include <string>

#include "platform/gdi/RasterSurface.h"
#include "platform/gdi/RecordingSurface.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/SurfacePainting.h"

namespace platform::gdi {

class PdfSurface : public Surface {
 public:
  PdfSurface(const std::string& path, const DeviceDescription& description, double paperWidthMm,
             double paperHeightMm);
  ~PdfSurface() override;
  PdfSurface(const PdfSurface&) = delete;
  PdfSurface& operator=(const PdfSurface&) = delete;

  const DeviceDescription& description() const override { return description_; }
  void fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) override;
  void fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) override;
  void strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) override;
  void drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                 const DeviceClip& clip) override;
  void drawText(const TextRun& run, const DeviceClip& clip) override;
  // What the page shows so far (through the shadow, which this makes).
  QImage readPixels(const QRect& rect) const override;
  void writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) override;
  // A drawing call outside a page starts one. finish() writes the file and
  // is false when it could not be written; with no page at all there is no
  // file.
  bool startPage() override;
  bool endPage() override;
  bool finish() override;

 private:
  // Draws a copy-mode primitive on the page (and the shadow or the log).
  template <typename PdfDraw>
  void drawVector(const DeviceClip& clip, const PdfDraw& onPage, const std::function<void(Surface&)>& onRaster);
  // Composes a destination-reading primitive on the shadow and puts the
  // pixels it changed on the page.
  void drawThroughShadow(const QRect& reach, const DeviceClip& clip, const std::function<void(Surface&)>& onRaster);
  bool ensurePage();
  RasterSurface& shadow() const;
  void placeOnPage();

  std::string path_;
  DeviceDescription description_;
  QPdfWriter writer_;
  QPainter painter_;
  bool begun_ = false, pageOpen_ = false, finished_ = false, failed_ = false;
  RawFontCache fonts_;
  // This page's calls until a shadow exists; the shadow afterwards.
  std::unique_ptr<RecordingSurface> log_;
  mutable std::unique_ptr<RasterSurface> shadow_;
};

}  // namespace platform::gdi
