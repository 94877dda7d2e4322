#include "platform/gdi/RecordingSurface.h"

#include <gtest/gtest.h>

#include "platform/gdi/GuiApplication.h"

namespace platform::gdi {
namespace {

TEST(RecordingSurface, KeepsEachCallInOrderWithItsDeviceData) {
  RecordingSurface surface;
  QPainterPath rect;
  rect.addRect(10, 20, 30, 40);
  Paint red{QBrush(QColor(255, 0, 0)), 7, false, {}};
  const DeviceClip clip{true, QRegion(0, 0, 50, 50)};
  surface.startPage();
  surface.fillPath(rect, red, clip);
  QPainterPath line;
  line.moveTo(1, 2);
  line.lineTo(5, 6);
  surface.strokeCosmetic(line, QPen(QColor(0, 0, 255), 0, Qt::DashLine), 13, {});
  surface.fillRegion(QRegion(3, 4, 5, 6), Paint{QBrush(Qt::green), 13, false, {}}, {});
  surface.drawImage(QImage(4, 2, QImage::Format_RGB32), QTransform::fromScale(2, 3).translate(5, 5), true, {});
  TextRun run;
  run.text = "ab";
  run.positions = {{10, 20}, {18, 20}};
  run.color = Qt::black;
  run.angleDegrees = 90;
  surface.drawText(run, {});
  surface.writePixels(QImage(3, 3, QImage::Format_RGB32), QPoint(7, 8), {});
  surface.endPage();

  ASSERT_EQ(surface.ops.size(), 8u) << surface.describeAll();
  const RecordedOp& fill = surface.ops[1];
  EXPECT_EQ(fill.kind, OpKind::FillPath);
  EXPECT_EQ(fill.bounds, QRectF(10, 20, 30, 40));
  ASSERT_EQ(fill.polygons.size(), 1u);
  EXPECT_EQ(fill.polygons[0].boundingRect(), QRectF(10, 20, 30, 40));
  EXPECT_EQ(fill.color, QColor(255, 0, 0));
  EXPECT_EQ(fill.rop2, 7);
  EXPECT_TRUE(fill.clip.active);
  EXPECT_EQ(fill.clip.region, QRegion(0, 0, 50, 50));

  const RecordedOp& stroke = surface.ops[2];
  EXPECT_EQ(stroke.kind, OpKind::StrokeCosmetic);
  ASSERT_EQ(stroke.polygons.size(), 1u);
  EXPECT_EQ(stroke.polygons[0], QPolygonF({QPointF(1, 2), QPointF(5, 6)}));
  EXPECT_EQ(stroke.pen.style(), Qt::DashLine);
  EXPECT_FALSE(stroke.clip.active);

  EXPECT_EQ(surface.ops[3].region, QRegion(3, 4, 5, 6));
  EXPECT_EQ(surface.ops[4].imageSize, QSize(4, 2));
  EXPECT_EQ(surface.ops[4].bounds, QRectF(10, 15, 8, 6));  // (5,5) scaled by (2,3), 8 x 6
  EXPECT_TRUE(surface.ops[4].smooth);
  EXPECT_EQ(surface.ops[5].text, "ab");
  EXPECT_EQ(surface.ops[5].positions.size(), 2u);
  EXPECT_EQ(surface.ops[5].angleDegrees, 90);
  EXPECT_EQ(surface.ops[6].bounds, QRectF(7, 8, 3, 3));
  EXPECT_EQ(surface.opsOf(OpKind::FillPath).size(), 1u);

  const std::string text = describe(fill);
  EXPECT_NE(text.find("FillPath"), std::string::npos) << text;
  EXPECT_NE(text.find("rop2=7"), std::string::npos) << text;
  EXPECT_NE(text.find("(10,20)"), std::string::npos) << text;
}

TEST(RecordingSurface, KeepsPixelsWhenAsked) {
  DeviceDescription d;
  d.width = 20;
  d.height = 10;
  RecordingSurface surface(d, true);
  surface.fillRegion(QRegion(2, 2, 3, 3), Paint{QBrush(QColor(0, 0, 255)), 13, false, {}}, {});
  const QImage read = surface.readPixels(QRect(0, 0, 100, 100));
  ASSERT_EQ(read.size(), QSize(20, 10));
  EXPECT_EQ(read.pixel(3, 3), 0xFF0000FFu);
  EXPECT_EQ(read.pixel(6, 3), 0xFFFFFFFFu);

  RecordingSurface plain(d);
  EXPECT_EQ(plain.readPixels(QRect(5, 5, 100, 100)).size(), QSize(15, 5));
}

}  // namespace
}  // namespace platform::gdi
