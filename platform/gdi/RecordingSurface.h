#pragma once
// A surface that keeps what it is asked to draw, in device space, for tests
// to assert: one plain record per call, in call order. It can also keep the
// pixels (a raster surface behind it) for callers that read the destination
// back.

#include <QColor>
#include <QPolygonF>
#include <QRectF>
#include <string>
#include <vector>

#include "platform/gdi/Surface.h"

namespace platform::gdi {

enum class OpKind {
  FillPath,
  FillRegion,
  StrokeCosmetic,
  DrawImage,
  DrawText,
  WritePixels,
  StartPage,
  EndPage,
  Finish,
};

const char* opKindName(OpKind kind);

// One recorded call. Only the fields of its kind are meaningful; the others
// keep their defaults.
struct RecordedOp {
  OpKind kind = OpKind::FillPath;

  // FillPath / StrokeCosmetic: the path and its subpaths as polygons (curves
  // flattened); FillRegion: the region. `bounds` is the device bounding
  // rectangle of whatever was drawn (paths, region, image or text origins).
  QPainterPath path;
  std::vector<QPolygonF> polygons;
  Qt::FillRule fillRule = Qt::OddEvenFill;
  QRegion region;
  QRectF bounds;

  // Colour: the brush's, the pen's or the text's.
  QColor color;
  int rop2 = 13;
  QBrush brush;                 // FillPath, FillRegion
  bool opaqueBackground = false;
  QColor background;
  QPen pen;                     // StrokeCosmetic

  DeviceClip clip;

  // DrawText
  QString text;
  std::vector<QPointF> positions;
  bool glyphIndices = false;
  std::vector<uint32_t> glyphs;
  QFont font;
  qreal angleDegrees = 0;
  QTransform transform;

  // DrawImage / WritePixels (the image itself is a cheap shared copy)
  QImage image;
  QSize imageSize;
  QTransform imageToDevice;
  bool smooth = false;
  QPoint topLeft;
};

// The record as one line of text, for failure messages.
std::string describe(const RecordedOp& op);

class RecordingSurface : public Surface {
 public:
  // A 96 dpi screen-like device of 1000 x 1000 pixels unless told otherwise.
  RecordingSurface();
  // With `keepPixels`, a white raster picture of the description's size
  // (physical size when given) is drawn too, so that readPixels answers
  // what was drawn; without, readPixels gives white.
  explicit RecordingSurface(const DeviceDescription& description, bool keepPixels = false);
  ~RecordingSurface() override;

  std::vector<RecordedOp> ops;

  // The records of one kind, in order.
  std::vector<const RecordedOp*> opsOf(OpKind kind) const;
  // Every record, one per line.
  std::string describeAll() const;
  void clear() { ops.clear(); }
  // The kept pixels, or null without keepPixels.
  std::shared_ptr<QImage> pixels() const { return pixels_; }

  const DeviceDescription& description() const override { return description_; }
  void fillPath(const QPainterPath& path, const Paint& paint, const DeviceClip& clip) override;
  void fillRegion(const QRegion& region, const Paint& paint, const DeviceClip& clip) override;
  void strokeCosmetic(const QPainterPath& path, const QPen& pen, int rop2, const DeviceClip& clip) override;
  void drawImage(const QImage& image, const QTransform& imageToDevice, bool smooth,
                 const DeviceClip& clip) override;
  void drawText(const TextRun& run, const DeviceClip& clip) override;
  QImage readPixels(const QRect& rect) const override;
  void writePixels(const QImage& pixels, const QPoint& topLeft, const DeviceClip& clip) override;
  bool startPage() override;
  bool endPage() override;
  bool finish() override;

 private:
  DeviceDescription description_;
  std::shared_ptr<QImage> pixels_;
  std::shared_ptr<Surface> raster_;
};

}  // namespace platform::gdi
