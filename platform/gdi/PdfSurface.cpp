#include "platform/gdi/PdfSurface.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <algorithm>
#include <vector>

#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/RasterOps.h"
#include "platform/gdi/Surfaces.h"

namespace platform::gdi {

namespace {

constexpr int kCopyPen = 13, kNop = 11;

// Replays a recorded call onto another surface.
void replay(const RecordedOp& op, Surface& target) {
  switch (op.kind) {
    case OpKind::FillPath:
      target.fillPath(op.path, Paint{op.brush, op.rop2, op.opaqueBackground, op.background}, op.clip);
      break;
    case OpKind::FillRegion:
      target.fillRegion(op.region, Paint{op.brush, op.rop2, op.opaqueBackground, op.background}, op.clip);
      break;
    case OpKind::StrokeCosmetic:
      target.strokeCosmetic(op.path, op.pen, op.rop2, op.clip);
      break;
    case OpKind::DrawImage:
      target.drawImage(op.image, op.imageToDevice, op.smooth, op.clip);
      break;
    case OpKind::DrawText: {
      TextRun run;
      run.font = op.font;
      run.text = op.text;
      run.positions = op.positions;
      run.glyphIndices = op.glyphIndices;
      run.glyphs = op.glyphs;
      run.color = op.color;
      run.angleDegrees = op.angleDegrees;
      run.transform = op.transform;
      run.rop2 = op.rop2;
      target.drawText(run, op.clip);
      break;
    }
    case OpKind::WritePixels:
      target.writePixels(op.image, op.topLeft, op.clip);
      break;
    default:
      break;
  }
}

// The pixels that differ between two pictures of the same size, as bands
// of runs (rows with the same runs share a band).
QRegion changedPixels(const QImage& before, const QImage& after) {
  std::vector<QRect> rects;
  std::vector<std::pair<int, int>> runs, previous;
  size_t bandStart = 0;
  for (int y = 0; y < after.height(); ++y) {
    const auto* b = reinterpret_cast<const uint32_t*>(before.constScanLine(y));
    const auto* a = reinterpret_cast<const uint32_t*>(after.constScanLine(y));
    runs.clear();
    for (int x = 0; x < after.width();) {
      if (a[x] == b[x]) {
        ++x;
        continue;
      }
      const int from = x;
      while (x < after.width() && a[x] != b[x]) ++x;
      runs.emplace_back(from, x - from);
    }
    if (!runs.empty() && runs == previous) {
      for (size_t i = bandStart; i < rects.size(); ++i) rects[i].setHeight(rects[i].height() + 1);
      continue;
    }
    bandStart = rects.size();
    for (const auto& [x, width] : runs) rects.emplace_back(x, y, width, 1);
    previous = runs;
  }
  QRegion region;
  if (!rects.empty()) region.setRects(rects.data(), int(rects.size()));
  return region;
}

struct ColorRect {
  QRect rect;
  uint32_t color;
};

constexpr size_t kMaxColorRects = 4096;

// The changed pixels as rectangles of one colour each (runs of a row,
// extended down while the next row has the same run); false when there
// would be more than `limit`.
bool colorRuns(const QImage& before, const QImage& after, size_t limit, std::vector<ColorRect>& rects) {
  struct Run {
    int x, width;
    uint32_t color;
    size_t rect;
  };
  std::vector<Run> previous, current;
  for (int y = 0; y < after.height(); ++y) {
    const auto* b = reinterpret_cast<const uint32_t*>(before.constScanLine(y));
    const auto* a = reinterpret_cast<const uint32_t*>(after.constScanLine(y));
    current.clear();
    size_t p = 0;
    for (int x = 0; x < after.width();) {
      if (a[x] == b[x]) {
        ++x;
        continue;
      }
      const int from = x;
      const uint32_t color = a[x];
      while (x < after.width() && a[x] != b[x] && a[x] == color) ++x;
      // Runs of both rows are in x order: walk the previous row alongside.
      while (p < previous.size() && previous[p].x < from) ++p;
      if (p < previous.size() && previous[p].x == from && previous[p].width == x - from &&
          previous[p].color == color) {
        rects[previous[p].rect].rect.setBottom(y);
        current.push_back({from, x - from, color, previous[p].rect});
      } else {
        if (rects.size() >= limit) return false;
        rects.push_back({QRect(from, y, x - from, 1), color});
        current.push_back({from, x - from, color, rects.size() - 1});
      }
    }
    std::swap(previous, current);
  }
  return true;
}

QPageLayout paperLayout(double widthMm, double heightMm) {
  widthMm = std::clamp(widthMm, 1.0, 10000.0);
  heightMm = std::clamp(heightMm, 1.0, 10000.0);
  const bool landscape = widthMm > heightMm;
  const QSizeF portrait = landscape ? QSizeF(heightMm, widthMm) : QSizeF(widthMm, heightMm);
  // Exact: a size a little off A4 must not snap to A4.
  const QPageSize size(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
  QPageLayout layout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                     QPageLayout::Millimeter);
  layout.setMode(QPageLayout::FullPageMode);
  return layout;
}

}  // namespace

PdfSurface::PdfSurface(const std::string& path, const DeviceDescription& description, double paperWidthMm,
                       double paperHeightMm)
    : path_(path), description_(description), writer_(QString::fromStdString(path)) {
  ensureGuiApplication();
  writer_.setCreator(QStringLiteral("Folisto Brelvane"));
  writer_.setResolution(std::max(description.dpiX, 1));
  writer_.setPageLayout(paperLayout(paperWidthMm, paperHeightMm));
}

PdfSurface::~PdfSurface() {
  if (!finished_) finish();
}

void PdfSurface::placeOnPage() {
  // Device pixel (0,0) is the printable area's corner.
  const double yScale = description_.dpiY > 0 && description_.dpiX > 0
                            ? double(std::max(description_.dpiX, 1)) / description_.dpiY
                            : 1.0;
  painter_.setTransform(QTransform(1, 0, 0, yScale, description_.physicalOffsetX,
                                   description_.physicalOffsetY * yScale));
}

bool PdfSurface::startPage() {
  if (finished_ || failed_) return false;
  if (pageOpen_) endPage();
  if (!begun_) {
    if (!painter_.begin(&writer_)) {
      failed_ = true;
      return false;
    }
    begun_ = true;
    painter_.setRenderHint(QPainter::Antialiasing, false);
    // Without it QPdfWriter stores colour images as JPEG.
    painter_.setRenderHint(QPainter::LosslessImageRendering, true);
  } else if (!writer_.newPage()) {
    failed_ = true;
    return false;
  }
  pageOpen_ = true;
  log_ = std::make_unique<RecordingSurface>(description_);
  shadow_.reset();
  return true;
}

bool PdfSurface::endPage() {
  if (!pageOpen_) return !failed_;
  pageOpen_ = false;
  log_.reset();
  shadow_.reset();
  return !failed_;
}

bool PdfSurface::finish() {
  if (finished_) return !failed_;
  endPage();
  finished_ = true;
  if (!begun_) return !failed_;
  if (!painter_.end()) failed_ = true;
  const QFileInfo file(QString::fromStdString(path_));
  if (!file.exists() || file.size() == 0) failed_ = true;
  return !failed_;
}

bool PdfSurface::ensurePage() { return pageOpen_ || startPage(); }

RasterSurface& PdfSurface::shadow() const {
  if (!shadow_) {
    auto image = std::make_shared<QImage>(std::max(description_.width, 1), std::max(description_.height, 1),
                                          QImage::Format_RGB32);
    image->fill(Qt::white);
    shadow_ = std::make_unique<RasterSurface>(image, description_, false);
    if (log_) {
      for (const RecordedOp& op : log_->ops) replay(op, *shadow_);
      log_->clear();
    }
  }
  return *shadow_;
}

template <typename PdfDraw>
void PdfSurface::drawVector(const DeviceClip& clip, const PdfDraw& onPage,
                            const std::function<void(Surface&)>& onRaster) {
  if (!ensurePage()) return;
  painter_.save();
  placeOnPage();
  if (applyClip(painter_, clip)) onPage(painter_);
  painter_.restore();
  if (shadow_)
    onRaster(*shadow_);
  else if (log_)
    onRaster(*log_);
}

void PdfSurface::drawThroughShadow(const QRect& reach, const DeviceClip& clip,
                                   const std::function<void(Surface&)>& onRaster) {
  if (!ensurePage()) return;
  RasterSurface& raster = shadow();
  QRect area = reach.intersected(raster.image()->rect());
  if (clip.active) area = area.intersected(clip.region.boundingRect());
  if (area.isEmpty()) {
    onRaster(raster);
    return;
  }
  const QImage before = raster.readPixels(area);
  onRaster(raster);
  const QImage after = raster.readPixels(area);
  // Only the changed pixels go on the page. PDF renderers smooth images
  // drawn at less than four times their size (poppler does), so where the
  // change has few colour runs (a raster operation on solid shapes) it goes
  // as rectangles of colour, which print exactly; otherwise as the composed
  // picture clipped to the changed pixels.
  std::vector<ColorRect> rects;
  const bool asRects = colorRuns(before, after, kMaxColorRects, rects);
  if (asRects && rects.empty()) return;
  painter_.save();
  placeOnPage();
  if (asRects) {
    for (const ColorRect& r : rects) painter_.fillRect(r.rect.translated(area.topLeft()), QColor::fromRgb(r.color));
  } else {
    painter_.setClipRegion(changedPixels(before, after).translated(area.topLeft()));
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.drawImage(area.topLeft(), after);
  }
  painter_.restore();
}

void PdfSurface::fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) {
  const int rop2 = normalizedRop2(paint.rop2);
  if (rop2 == kNop || finished_) return;
  auto onRaster = [&](Surface& s) { s.fillPath(path, paint, clip); };
  // Nothing, or coordinates that are not numbers: nothing to put in the file.
  const QRect reach = pathPixels(path);
  if (reach.isEmpty()) return;
  if (rop2 != kCopyPen) return drawThroughShadow(reach, clip, onRaster);
  drawVector(clip, [&](QPainter& p) { paintFillPath(p, path, paint); }, onRaster);
}

void PdfSurface::fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) {
  const int rop2 = normalizedRop2(paint.rop2);
  if (rop2 == kNop || finished_) return;
  auto onRaster = [&](Surface& s) { s.fillRegion(region, paint, clip); };
  if (rop2 != kCopyPen) return drawThroughShadow(region.boundingRect(), clip, onRaster);
  drawVector(clip, [&](QPainter& p) { paintFillRegion(p, region, paint); }, onRaster);
}

void PdfSurface::strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) {
  rop2 = normalizedRop2(rop2);
  if (rop2 == kNop || finished_) return;
  auto onRaster = [&](Surface& s) { s.strokeCosmetic(path, pen, rop2, clip); };
  const QRect reach = strokePixels(path, pen);
  if (reach.isEmpty()) return;
  if (rop2 != kCopyPen) return drawThroughShadow(reach, clip, onRaster);
  drawVector(clip, [&](QPainter& p) { paintStroke(p, path, pen); }, onRaster);
}

void PdfSurface::drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                           const DeviceClip& clip) {
  if (finished_ || imagePixels(image, imageToDevice).isEmpty()) return;
  drawVector(clip, [&](QPainter& p) { paintImage(p, image, imageToDevice, smooth); },
             [&](Surface& s) { s.drawImage(image, imageToDevice, smooth, clip); });
}

void PdfSurface::drawText(const TextRun& run, const DeviceClip& clip) {
  const int rop2 = normalizedRop2(run.rop2);
  if (rop2 == kNop || finished_) return;
  auto onRaster = [&](Surface& s) { s.drawText(run, clip); };
  const QRect reach = textPixels(run, true, fonts_);
  if (reach.isEmpty()) return;
  if (rop2 != kCopyPen) return drawThroughShadow(reach, clip, onRaster);
  drawVector(clip, [&](QPainter& p) { paintText(p, run, true, fonts_, false); }, onRaster);
}

QImage PdfSurface::readPixels(const QRect& rect) const {
  if (!pageOpen_) {
    QImage blank(rect.intersected(QRect(0, 0, description_.width, description_.height)).size(),
                 QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
  }
  return shadow().readPixels(rect);
}

void PdfSurface::writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) {
  if (finished_ || pixels.isNull()) return;
  drawThroughShadow(QRect(topLeft, pixels.size()), clip, [&](Surface& s) { s.writePixels(pixels, topLeft, clip); });
}

std::shared_ptr<Surface> makePdfSurface(const std::string& path, const DeviceDescription& description,
                                        double paperWidthMm, double paperHeightMm) {
  return std::make_shared<PdfSurface>(path, description, paperWidthMm, paperHeightMm);
}

}  // namespace platform::gdi
