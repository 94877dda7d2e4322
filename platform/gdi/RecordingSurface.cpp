#include "platform/gdi/RecordingSurface.h"

#include <sstream>

#include "platform/gdi/Surfaces.h"

namespace platform::gdi {

namespace {

DeviceDescription defaultDescription() {
  DeviceDescription d;
  d.width = 1000;
  d.height = 1000;
  d.widthMm = 265;  // 1000 px at 96 dpi
  d.heightMm = 265;
  return d;
}

void put(std::ostringstream& out, const QPointF& p) { out << '(' << p.x() << ',' << p.y() << ')'; }

void put(std::ostringstream& out, const QRectF& r) {
  out << '[' << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height() << ']';
}

void put(std::ostringstream& out, const QColor& c) {
  out << (c.isValid() ? c.name(QColor::HexArgb).toStdString() : std::string("invalid"));
}

void putPolygons(std::ostringstream& out, const std::vector<QPolygonF>& polygons) {
  // Long outlines are cut short: the message should stay readable.
  constexpr qsizetype kMaxPoints = 12;
  out << " polygons=";
  for (const QPolygonF& polygon : polygons) {
    out << '{';
    for (qsizetype i = 0; i < polygon.size() && i < kMaxPoints; ++i) put(out, polygon[i]);
    if (polygon.size() > kMaxPoints) out << "...(" << polygon.size() << " points)";
    out << '}';
  }
}

std::vector<QPolygonF> polygonsOf(const QPainterPath& path) {
  std::vector<QPolygonF> result;
  for (const QPolygonF& polygon : path.toSubpathPolygons()) result.push_back(polygon);
  return result;
}

}  // namespace

const char* opKindName(OpKind kind) {
  switch (kind) {
    case OpKind::FillPath: return "FillPath";
    case OpKind::FillRegion: return "FillRegion";
    case OpKind::StrokeCosmetic: return "StrokeCosmetic";
    case OpKind::DrawImage: return "DrawImage";
    case OpKind::DrawText: return "DrawText";
    case OpKind::WritePixels: return "WritePixels";
    case OpKind::StartPage: return "StartPage";
    case OpKind::EndPage: return "EndPage";
    case OpKind::Finish: return "Finish";
  }
  return "?";
}

std::string describe(const RecordedOp& op) {
  std::ostringstream out;
  out << opKindName(op.kind);
  switch (op.kind) {
    case OpKind::FillPath:
    case OpKind::FillRegion:
    case OpKind::StrokeCosmetic:
    case OpKind::DrawText:
      out << " color=";
      put(out, op.color);
      out << " rop2=" << op.rop2;
      break;
    default:
      break;
  }
  if (op.kind == OpKind::FillPath || op.kind == OpKind::FillRegion) {
    out << " brushStyle=" << int(op.brush.style());
    if (op.opaqueBackground) {
      out << " background=";
      put(out, op.background);
    }
  }
  if (op.kind == OpKind::StrokeCosmetic) out << " penStyle=" << int(op.pen.style());
  if (op.kind != OpKind::StartPage && op.kind != OpKind::EndPage && op.kind != OpKind::Finish) {
    out << " bounds=";
    put(out, op.bounds);
  }
  if (op.kind == OpKind::FillPath || op.kind == OpKind::StrokeCosmetic) {
    if (op.kind == OpKind::FillPath) out << (op.fillRule == Qt::WindingFill ? " winding" : " alternate");
    putPolygons(out, op.polygons);
  }
  if (op.kind == OpKind::FillRegion) {
    out << " rects=";
    int n = 0;
    for (const QRect& r : op.region) {
      if (++n > 12) {
        out << "...(" << op.region.rectCount() << " rects)";
        break;
      }
      put(out, QRectF(r));
    }
  }
  if (op.kind == OpKind::DrawText) {
    out << " text=\"" << op.text.toStdString() << "\" font=\"" << op.font.family().toStdString()
        << "\" pixelSize=" << op.font.pixelSize() << " angle=" << op.angleDegrees << " positions=";
    for (const QPointF& p : op.positions) put(out, p);
    if (op.glyphIndices) {
      out << " glyphs=";
      for (uint32_t g : op.glyphs) out << g << ' ';
    }
    if (!op.transform.isIdentity()) {
      out << " transform=[" << op.transform.m11() << ' ' << op.transform.m12() << ' ' << op.transform.m21() << ' '
          << op.transform.m22() << ' ' << op.transform.dx() << ' ' << op.transform.dy() << ']';
    }
  }
  if (op.kind == OpKind::DrawImage || op.kind == OpKind::WritePixels) {
    out << " image=" << op.imageSize.width() << 'x' << op.imageSize.height();
  }
  if (op.kind == OpKind::DrawImage) {
    const QTransform& t = op.imageToDevice;
    out << " transform=[" << t.m11() << ' ' << t.m12() << ' ' << t.m21() << ' ' << t.m22() << ' ' << t.dx() << ' '
        << t.dy() << ']' << (op.smooth ? " smooth" : "");
  }
  if (op.kind == OpKind::WritePixels) {
    out << " at=";
    put(out, QPointF(op.topLeft));
  }
  if (op.clip.active) {
    out << " clip=";
    put(out, QRectF(op.clip.region.boundingRect()));
    if (op.clip.region.rectCount() > 1) out << '(' << op.clip.region.rectCount() << " rects)";
  }
  return out.str();
}

RecordingSurface::RecordingSurface() : RecordingSurface(defaultDescription(), false) {}

RecordingSurface::RecordingSurface(const DeviceDescription& description, bool keepPixels)
    : description_(description) {
  if (keepPixels) {
    const int w = description.physicalWidth > 0 ? description.physicalWidth : description.width;
    const int h = description.physicalHeight > 0 ? description.physicalHeight : description.height;
    pixels_ = std::make_shared<QImage>(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    pixels_->fill(Qt::white);
    raster_ = makeRasterSurface(pixels_, description);
  }
}

RecordingSurface::~RecordingSurface() = default;

std::vector<const RecordedOp*> RecordingSurface::opsOf(OpKind kind) const {
  std::vector<const RecordedOp*> result;
  for (const RecordedOp& op : ops)
    if (op.kind == kind) result.push_back(&op);
  return result;
}

std::string RecordingSurface::describeAll() const {
  std::string result;
  for (const RecordedOp& op : ops) {
    result += describe(op);
    result += '\n';
  }
  return result;
}

void RecordingSurface::fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::FillPath;
  op.path = path;
  op.polygons = polygonsOf(path);
  op.fillRule = path.fillRule();
  op.bounds = path.boundingRect();
  op.color = paint.brush.color();
  op.brush = paint.brush;
  op.rop2 = paint.rop2;
  op.opaqueBackground = paint.opaqueBackground;
  op.background = paint.background;
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->fillPath(path, paint, clip);
}

void RecordingSurface::fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::FillRegion;
  op.region = region;
  op.bounds = QRectF(region.boundingRect());
  op.color = paint.brush.color();
  op.brush = paint.brush;
  op.rop2 = paint.rop2;
  op.opaqueBackground = paint.opaqueBackground;
  op.background = paint.background;
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->fillRegion(region, paint, clip);
}

void RecordingSurface::strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::StrokeCosmetic;
  op.path = path;
  op.polygons = polygonsOf(path);
  op.bounds = path.boundingRect();
  op.color = pen.color();
  op.pen = pen;
  op.rop2 = rop2;
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->strokeCosmetic(path, pen, rop2, clip);
}

void RecordingSurface::drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                                 const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::DrawImage;
  op.image = image;
  op.imageSize = image.size();
  op.imageToDevice = imageToDevice;
  op.smooth = smooth;
  op.bounds = imageToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(image.size())));
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->drawImage(image, imageToDevice, smooth, clip);
}

void RecordingSurface::drawText(const TextRun& run, const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::DrawText;
  op.text = run.text;
  op.positions = run.positions;
  op.glyphIndices = run.glyphIndices;
  op.glyphs = run.glyphs;
  op.font = run.font;
  op.color = run.color;
  op.angleDegrees = run.angleDegrees;
  op.transform = run.transform;
  op.rop2 = run.rop2;
  if (!run.positions.empty()) {
    QPolygonF origins;
    for (const QPointF& p : run.positions) origins << p;
    op.bounds = origins.boundingRect();
  }
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->drawText(run, clip);
}

QImage RecordingSurface::readPixels(const QRect& rect) const {
  if (raster_) return raster_->readPixels(rect);
  const int w = description_.physicalWidth > 0 ? description_.physicalWidth : description_.width;
  const int h = description_.physicalHeight > 0 ? description_.physicalHeight : description_.height;
  const QRect r = rect.intersected(QRect(0, 0, w, h));
  QImage result(std::max(r.width(), 0), std::max(r.height(), 0), QImage::Format_RGB32);
  result.fill(Qt::white);
  return result;
}

void RecordingSurface::writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) {
  RecordedOp op;
  op.kind = OpKind::WritePixels;
  op.image = pixels;
  op.imageSize = pixels.size();
  op.topLeft = topLeft;
  op.bounds = QRectF(QRect(topLeft, pixels.size()));
  op.clip = clip;
  ops.push_back(std::move(op));
  if (raster_) raster_->writePixels(pixels, topLeft, clip);
}

bool RecordingSurface::startPage() {
  RecordedOp op;
  op.kind = OpKind::StartPage;
  ops.push_back(std::move(op));
  return true;
}

bool RecordingSurface::endPage() {
  RecordedOp op;
  op.kind = OpKind::EndPage;
  ops.push_back(std::move(op));
  return true;
}

bool RecordingSurface::finish() {
  RecordedOp op;
  op.kind = OpKind::Finish;
  ops.push_back(std::move(op));
  return true;
}

}  // namespace platform::gdi
