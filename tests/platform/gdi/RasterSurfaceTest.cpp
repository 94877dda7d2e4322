#include "platform/gdi/RasterSurface.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QRawFont>
#include <set>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/Surfaces.h"

namespace platform::gdi {
namespace {

constexpr uint32_t kDst = 0x5A3CC3, kPen = 0x0FF0A6;

struct RopCase {
  int rop2;
  uint32_t expected;  // RGB on kDst with kPen
};

// Written out per code, not from a truth table, so a wrong table shows.
const RopCase kRopCases[] = {
    {R2_BLACK, 0x000000},
    {R2_NOTMERGEPEN, ~(kPen | kDst) & 0xFFFFFF},
    {R2_MASKNOTPEN, ~kPen & kDst & 0xFFFFFF},
    {R2_NOTCOPYPEN, ~kPen & 0xFFFFFF},
    {R2_MASKPENNOT, kPen & ~kDst & 0xFFFFFF},
    {R2_NOT, ~kDst & 0xFFFFFF},
    {R2_XORPEN, kPen ^ kDst},
    {R2_NOTMASKPEN, ~(kPen & kDst) & 0xFFFFFF},
    {R2_MASKPEN, kPen & kDst},
    {R2_NOTXORPEN, ~(kPen ^ kDst) & 0xFFFFFF},
    {R2_NOP, kDst},
    {R2_MERGENOTPEN, (~kPen | kDst) & 0xFFFFFF},
    {R2_COPYPEN, kPen},
    {R2_MERGEPENNOT, (kPen | ~kDst) & 0xFFFFFF},
    {R2_MERGEPEN, kPen | kDst},
    {R2_WHITE, 0xFFFFFF},
};

std::shared_ptr<QImage> filledImage(int w, int h, uint32_t rgb, QImage::Format format = QImage::Format_RGB32) {
  auto image = std::make_shared<QImage>(w, h, format);
  image->fill(QColor::fromRgb(0xFF000000u | rgb));
  return image;
}

DeviceDescription describeImage(const QImage& image) {
  DeviceDescription d;
  d.width = image.width();
  d.height = image.height();
  return d;
}

std::set<uint32_t> colorsIn(const QImage& image) {
  std::set<uint32_t> colors;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colors.insert(image.pixel(x, y));
  return colors;
}

QPainterPath rectPath(qreal x, qreal y, qreal w, qreal h) {
  QPainterPath path;
  path.addRect(x, y, w, h);
  return path;
}

// Every code through every primitive, on both pixel formats: the solid
// paths go through Qt's raster modes, the hatch through our own mask.
TEST(RasterSurface, EachRop2GivesTheExactPixel) {
  const QColor pen = QColor::fromRgb(0xFF000000u | kPen);
  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
    for (const RopCase& c : kRopCases) {
      SCOPED_TRACE("rop2 " + std::to_string(c.rop2) + " format " + std::to_string(int(format)));
      auto image = filledImage(40, 10, kDst, format);
      auto surface = makeRasterSurface(image, describeImage(*image));
      surface->fillPath(rectPath(0, 0, 5, 5), Paint{QBrush(pen), c.rop2, false, {}}, {});
      surface->fillRegion(QRegion(10, 0, 5, 5), Paint{QBrush(pen), c.rop2, false, {}}, {});
      QPainterPath line;
      line.moveTo(20, 2);
      line.lineTo(26, 2);
      surface->strokeCosmetic(line, QPen(pen, 0), c.rop2, {});
      // A cross hatch: its line pixels take the operation, its gaps stay.
      surface->fillRegion(QRegion(30, 0, 10, 10), Paint{QBrush(pen, Qt::CrossPattern), c.rop2, false, {}}, {});

      const uint32_t expected = 0xFF000000u | c.expected;
      EXPECT_EQ(image->pixel(2, 2), expected);
      EXPECT_EQ(image->pixel(12, 2), expected);
      EXPECT_EQ(image->pixel(22, 2), expected);
      EXPECT_EQ(image->pixel(5, 2), 0xFF000000u | kDst) << "outside the rectangle";
      EXPECT_EQ(image->pixel(26, 2), 0xFF000000u | kDst) << "last pixel of the line";
      std::set<uint32_t> hatch;
      for (int y = 0; y < 10; ++y)
        for (int x = 30; x < 40; ++x) hatch.insert(image->pixel(x, y));
      EXPECT_TRUE(hatch.count(expected)) << "hatch lines";
      EXPECT_TRUE(hatch.count(0xFF000000u | kDst)) << "hatch gaps";
      EXPECT_LE(hatch.size(), 2u);
    }
  }
}

// A hatch under a raster operation lands on the same pixels as when copied,
// and in OPAQUE mode its gaps take the operation with the background.
TEST(RasterSurface, HatchUnderRasterOperationKeepsThePattern) {
  const QColor pen(0x10, 0x20, 0x30), back(0xC0, 0x80, 0x40);
  auto copied = filledImage(33, 21, 0x000000);
  auto xored = filledImage(33, 21, 0x000000);
  auto opaque = filledImage(33, 21, 0x000000);
  const QPainterPath shape = rectPath(1, 2, 30, 17);
  makeRasterSurface(copied, describeImage(*copied))
      ->fillPath(shape, Paint{QBrush(pen, Qt::DiagCrossPattern), R2_COPYPEN, false, {}}, {});
  // Xor on black is a copy.
  makeRasterSurface(xored, describeImage(*xored))
      ->fillPath(shape, Paint{QBrush(pen, Qt::DiagCrossPattern), R2_XORPEN, false, {}}, {});
  EXPECT_EQ(*copied, *xored);

  makeRasterSurface(opaque, describeImage(*opaque))
      ->fillPath(shape, Paint{QBrush(pen, Qt::DiagCrossPattern), R2_XORPEN, true, back}, {});
  int lines = 0, gaps = 0;
  for (int y = 0; y < 21; ++y) {
    for (int x = 0; x < 33; ++x) {
      const bool inside = shape.contains(QPointF(x + 0.5, y + 0.5));
      const uint32_t expected = !inside ? 0xFF000000u : copied->pixel(x, y) == 0xFF000000u ? back.rgb() : pen.rgb();
      ASSERT_EQ(opaque->pixel(x, y), expected) << x << "," << y;
      if (inside) ++(expected == pen.rgb() ? lines : gaps);
    }
  }
  EXPECT_GT(lines, 20);
  EXPECT_GT(gaps, 20);
}

TEST(RasterSurface, DrawsOnlyInsideTheClip) {
  const DeviceClip clip{true, QRegion(2, 2, 4, 4).united(QRegion(10, 1, 3, 8))};
  for (bool throughMask : {false, true}) {
    SCOPED_TRACE(throughMask ? "pattern with raster operation" : "solid copy");
    auto image = filledImage(16, 12, 0xFFFFFF);
    auto surface = makeRasterSurface(image, describeImage(*image));
    const Paint paint = throughMask ? Paint{QBrush(Qt::black, Qt::Dense1Pattern), R2_NOTXORPEN, false, {}}
                                    : Paint{QBrush(Qt::black), R2_COPYPEN, false, {}};
    surface->fillPath(rectPath(-5, -5, 40, 40), paint, clip);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x)
        if (!clip.region.contains(QPoint(x, y))) {
          ASSERT_EQ(image->pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
        }
    EXPECT_EQ(image->pixel(3, 3), 0xFF000000u);
    EXPECT_EQ(image->pixel(11, 8), 0xFF000000u);
  }
  // An active but empty clip draws nothing.
  auto image = filledImage(8, 8, 0xFFFFFF);
  makeRasterSurface(image, describeImage(*image))
      ->fillRegion(QRegion(0, 0, 8, 8), Paint{QBrush(Qt::black), R2_COPYPEN, false, {}}, DeviceClip{true, {}});
  EXPECT_EQ(colorsIn(*image), std::set<uint32_t>{0xFFFFFFFFu});
}

TEST(RasterSurface, LinesAndCurvesAreNotSmoothed) {
  auto image = filledImage(100, 80, 0xFFFFFF);
  auto surface = makeRasterSurface(image, describeImage(*image));
  QPainterPath diagonal;
  diagonal.moveTo(3, 4);
  diagonal.lineTo(95, 61);
  surface->strokeCosmetic(diagonal, QPen(QColor(0, 0, 0), 0), R2_COPYPEN, {});
  QPainterPath ellipse;
  ellipse.addEllipse(QRectF(20.3, 30.7, 50.2, 33.9));
  surface->fillPath(ellipse, Paint{QBrush(QColor(0, 0, 0)), R2_COPYPEN, false, {}}, {});
  EXPECT_EQ(colorsIn(*image), (std::set<uint32_t>{0xFF000000u, 0xFFFFFFFFu}));
  EXPECT_EQ(image->pixel(3, 4), 0xFF000000u) << "the first pixel of a line is drawn";
}

TEST(RasterSurface, DrawsImagesThroughTheirTransformPixelForPixel) {
  QImage source(2, 2, QImage::Format_RGB32);
  const uint32_t colors[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFF0000FFu, 0xFFFFFF00u}};  // [y][x]
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) source.setPixel(x, y, colors[y][x]);

  auto image = filledImage(100, 100, 0xFFFFFF);
  auto surface = makeRasterSurface(image, describeImage(*image));
  // Ten times larger at (20,30).
  surface->drawImage(source, QTransform::fromScale(10, 10) * QTransform::fromTranslate(20, 30), false, {});
  EXPECT_EQ(image->pixel(20, 30), colors[0][0]);
  EXPECT_EQ(image->pixel(29, 39), colors[0][0]);
  EXPECT_EQ(image->pixel(30, 30), colors[0][1]);
  EXPECT_EQ(image->pixel(20, 40), colors[1][0]);
  EXPECT_EQ(image->pixel(39, 49), colors[1][1]);
  EXPECT_EQ(image->pixel(19, 30), 0xFFFFFFFFu);
  EXPECT_EQ(image->pixel(40, 30), 0xFFFFFFFFu);
  EXPECT_EQ(image->pixel(20, 50), 0xFFFFFFFFu);

  // Turned a quarter clockwise and flipped nowhere else: image x runs down.
  surface->drawImage(source, QTransform(0, 10, -10, 0, 80, 60), false, {});  // x' = 80 - 10y, y' = 60 + 10x
  EXPECT_EQ(image->pixel(75, 65), colors[0][0]);
  EXPECT_EQ(image->pixel(75, 75), colors[0][1]);
  EXPECT_EQ(image->pixel(65, 65), colors[1][0]);
  EXPECT_EQ(colorsIn(*image).size(), 5u) << "nearest neighbour: no blended colours";
}

TEST(RasterSurface, WritesAndReadsPixelsExactly) {
  auto image = filledImage(20, 20, 0x123456, QImage::Format_ARGB32_Premultiplied);
  auto surface = makeRasterSurface(image, describeImage(*image));
  QImage patch(4, 3, QImage::Format_RGB32);
  patch.fill(QColor(0xAB, 0xCD, 0xEF));
  surface->writePixels(patch, QPoint(18, 5), DeviceClip{true, QRegion(0, 0, 19, 20)});
  const QImage read = surface->readPixels(QRect(16, 4, 10, 10));
  ASSERT_EQ(read.size(), QSize(4, 10));
  EXPECT_EQ(read.pixel(2, 1), 0xFFABCDEFu);
  EXPECT_EQ(read.pixel(3, 1), 0xFF123456u) << "clipped";
  EXPECT_EQ(read.pixel(2, 0), 0xFF123456u);
}

class RasterText : public ::testing::Test {
 protected:
  void SetUp() override { ensureGuiApplication(); }

  static TextRun run(const QString& text, QPointF origin, qreal advance, int pixelSize) {
    TextRun r;
    r.font = QFont("DejaVu Sans");
    r.font.setPixelSize(pixelSize);
    r.text = text;
    for (int i = 0; i < text.size(); ++i) r.positions.push_back(origin + QPointF(advance * i, 0));
    r.color = Qt::black;
    return r;
  }

  // The bounding box of the non-white pixels.
  static QRect ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) != 0xFFFFFFFFu) box |= QRect(x, y, 1, 1);
    return box;
  }
};

TEST_F(RasterText, DrawsCharactersAtTheirOriginsWithoutSmoothing) {
  auto image = filledImage(200, 100, 0xFFFFFF);
  auto surface = makeRasterSurface(image, describeImage(*image));
  surface->drawText(run("HH", QPointF(20, 60), 100, 40), {});
  const QRect box = ink(*image);
  ASSERT_FALSE(box.isEmpty());
  // Baseline at 60, capital height about 0.73 em; the second H starts 100
  // pixels further.
  EXPECT_GE(box.left(), 20);
  EXPECT_LE(box.left(), 26);
  EXPECT_LE(box.bottom(), 60);
  EXPECT_GE(box.bottom(), 58);
  EXPECT_NEAR(box.top(), 60 - 29, 3);
  EXPECT_GE(box.right(), 120);
  EXPECT_LT(box.right(), 160);
  EXPECT_EQ(image->pixel(70, 45), 0xFFFFFFFFu) << "nothing between the two origins' glyphs";
  EXPECT_EQ(colorsIn(*image), (std::set<uint32_t>{0xFF000000u, 0xFFFFFFFFu}));

  // The same glyphs given by index draw the same pixels.
  auto byIndex = filledImage(200, 100, 0xFFFFFF);
  TextRun indices = run("HH", QPointF(20, 60), 100, 40);
  indices.glyphIndices = true;
  for (quint32 g : QRawFont::fromFont(indices.font).glyphIndexesForString("HH")) indices.glyphs.push_back(g);
  makeRasterSurface(byIndex, describeImage(*byIndex))->drawText(indices, {});
  EXPECT_EQ(*image, *byIndex);
}

TEST_F(RasterText, SmoothTextOnlyWhenAsked) {
  auto image = filledImage(120, 60, 0xFFFFFF);
  makeRasterSurface(image, describeImage(*image), true)->drawText(run("Sa", QPointF(10, 45), 40, 36), {});
  EXPECT_GT(colorsIn(*image).size(), 2u);
}

TEST_F(RasterText, RotatesGlyphsAboutTheirOrigin) {
  auto image = filledImage(100, 200, 0xFFFFFF);
  auto surface = makeRasterSurface(image, describeImage(*image));
  TextRun r = run("H", QPointF(60, 150), 0, 40);
  r.angleDegrees = 90;  // reads upwards: the glyph's top points left
  surface->drawText(r, {});
  const QRect box = ink(*image);
  ASSERT_FALSE(box.isEmpty());
  EXPECT_LE(box.right(), 60);
  EXPECT_NEAR(box.left(), 60 - 29, 3);
  EXPECT_LE(box.bottom(), 150);
  EXPECT_GE(box.bottom(), 144);
  EXPECT_LT(box.top(), 130);
}

// Glyphs beyond Qt's 64-pixel glyph cache (12 points at 600 dpi is 100
// pixels) draw as well as small ones, rotated or not.
TEST_F(RasterText, LargeTextAtPrinterSizesDraws) {
  for (int pixelSize : {65, 100, 600}) {
    for (qreal angle : {0.0, 30.0}) {
      SCOPED_TRACE("pixel size " + std::to_string(pixelSize) + " angle " + std::to_string(angle));
      auto image = filledImage(2 * pixelSize + 40, pixelSize * 2, 0xFFFFFF);
      auto surface = makeRasterSurface(image, describeImage(*image));
      TextRun r = run("Wg", QPointF(20, pixelSize * 1.2), pixelSize, pixelSize);
      r.angleDegrees = angle;
      surface->drawText(r, {});
      const QRect box = ink(*image);
      EXPECT_GT(box.height(), pixelSize * 0.7);
      EXPECT_GT(box.width(), pixelSize * 1.4);
      EXPECT_EQ(colorsIn(*image).size(), 2u);
    }
  }
}

}  // namespace
}  // namespace platform::gdi
