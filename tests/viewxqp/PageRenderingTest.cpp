// Drawing pages into device contexts and the geometry queries: the image
// filter, the fit of a page at its recorded scale and what that leaves in
// the caller's context, and the results for pages that cannot be loaded.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/Surfaces.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"
#include "viewxqp/viewxqp.h"

namespace {

using platform::RECTL;
using platform::SIZEL;

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// A bottom-up 24-bit DIB of one colour: header, then rows padded to 4 bytes.
std::vector<uint8_t> solidDib(int width, int height, uint8_t r, uint8_t g, uint8_t b, std::vector<uint8_t>& bits) {
  std::vector<uint8_t> info;
  put32(info, 40);
  put32(info, uint32_t(width));
  put32(info, uint32_t(height));
  put32(info, 1 | (24 << 16));
  put32(info, 0);
  const uint32_t stride = uint32_t((width * 3 + 3) & ~3);
  put32(info, stride * uint32_t(height));
  put32(info, 0);
  put32(info, 0);
  put32(info, 0);
  put32(info, 0);
  bits.assign(size_t(stride) * height, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bits[y * stride + x * 3] = b;
      bits[y * stride + x * 3 + 1] = g;
      bits[y * stride + x * 3 + 2] = r;
    }
  return info;
}

// EMR_STRETCHDIBITS (81) or EMR_SETDIBITSTODEVICE (80) of a solid block at
// (x, y), `size` logical units square, from a 2 x 2 DIB.
std::vector<uint8_t> dibRecord(uint32_t type, int32_t x, int32_t y, int32_t size, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> bits;
  const std::vector<uint8_t> info = solidDib(2, 2, r, g, b, bits);
  const uint32_t fixed = type == 81 ? 80 : 76;  // record bytes before the bitmap header
  std::vector<uint8_t> payload;
  for (int32_t v : {x, y, x + size, y + size}) put32(payload, uint32_t(v));  // rclBounds
  put32(payload, uint32_t(x));
  put32(payload, uint32_t(y));
  put32(payload, 0);  // xSrc
  put32(payload, 0);  // ySrc
  put32(payload, 2);  // cxSrc
  put32(payload, 2);  // cySrc
  put32(payload, fixed);
  put32(payload, uint32_t(info.size()));
  put32(payload, fixed + uint32_t(info.size()));
  put32(payload, uint32_t(bits.size()));
  put32(payload, 0);  // DIB_RGB_COLORS
  if (type == 81) {
    put32(payload, platform::SRCCOPY);
    put32(payload, uint32_t(size));  // cxDest
    put32(payload, uint32_t(size));  // cyDest
  } else {
    put32(payload, 0);  // iStartScan
    put32(payload, 2);  // cScans
  }
  payload.insert(payload.end(), info.begin(), info.end());
  payload.insert(payload.end(), bits.begin(), bits.end());
  return payload;
}

class PageRenderingTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::gdi::ensureGuiApplication(); }

  // A page file with the given pages.
  std::string pageFile(std::vector<std::vector<uint8_t>> pages, const std::string& name = "job.qzm") {
    fbtest::PageFileLayout layout;
    layout.pages = std::move(pages);
    const std::string path = dir.file(name);
    fbtest::writeFile(path, fbtest::pageFileBytes(layout));
    return path;
  }

  // A raster context over a white picture of `w` x `h` at `dpi`.
  HDC rasterDc(int w, int h, int dpi = 96, int printableW = 0, int printableH = 0) {
    image = std::make_shared<QImage>(w, h, QImage::Format_RGB32);
    image->fill(Qt::white);
    platform::gdi::DeviceDescription d;
    d.width = printableW ? printableW : w;
    d.height = printableH ? printableH : h;
    d.dpiX = d.dpiY = dpi;
    d.widthMm = int(d.width * 25.4 / (dpi ? dpi : 96));
    d.heightMm = int(d.height * 25.4 / (dpi ? dpi : 96));
    return platform::CreateSurfaceDC(platform::gdi::makeRasterSurface(image, d));
  }

  QRgb pixel(int x, int y) const { return image->pixel(x, y) & 0xFFFFFF; }

  fbtest::TempDir dir;
  std::shared_ptr<QImage> image;
};

// A page of 100 x 100 logical units (MM_TEXT on a 96-dpi device, frame to
// match) with a red stretched picture on the left, a blue picture set to
// the device on the right, and a black filled rectangle at the bottom.
std::vector<uint8_t> picturePage() {
  fbtest::EmfWriter emf({0, 0, 2646, 2646}, {0, 0, 99, 99}, {1920, 1080}, {508, 286});
  emf.record(81, dibRecord(81, 0, 0, 40, 255, 0, 0));
  emf.record(80, dibRecord(80, 60, 0, 2, 0, 0, 255));
  emf.record(39, {3, 0, 0, 0});           // EMR_CREATEBRUSHINDIRECT slot 3, solid black
  emf.record(37, {3});                    // EMR_SELECTOBJECT
  emf.rectangle(10, 70, 90, 90);
  return emf.finish();
}

TEST_F(PageRenderingTest, WithoutImagesTheStretchedPictureIsLeftOutButSetDibitsIsDrawn) {
  const std::string file = pageFile({picturePage()});
  for (const int drawImages : {1, 0}) {
    HDC hdc = rasterDc(100, 100);
    ASSERT_EQ(NewViewXQP(hdc, file.c_str(), 1, 0, 0, 100, 100, drawImages), 1);
    EXPECT_EQ(pixel(20, 20), drawImages ? 0xFF0000u : 0xFFFFFFu) << "stretched picture, drawImages " << drawImages;
    EXPECT_EQ(pixel(60, 0), 0x0000FFu) << "set to the device, drawImages " << drawImages;
    EXPECT_EQ(pixel(50, 80), 0x000000u) << "the rectangle, drawImages " << drawImages;
    platform::DeleteDC(hdc);
  }
}

TEST_F(PageRenderingTest, PagesThatCannotBeLoadedDrawNothing) {
  const std::string missing = dir.file("missing.qzm");
  HDC hdc = rasterDc(50, 50);
  platform::SetMapMode(hdc, platform::MM_LOMETRIC);
  EXPECT_EQ(ViewXQP(hdc, missing.c_str(), 1, 0, 0, 50, 50, 0, 1, 1, 0), 1);
  EXPECT_EQ(NewViewXQP(hdc, missing.c_str(), 1, 0, 0, 50, 50, 1), 0);
  EXPECT_EQ(ViewFullXQPImage(hdc, missing.c_str(), 1, 0, 0), 0);
  EXPECT_EQ(GetISFullPrint(hdc, missing.c_str(), 1), 0);
  EXPECT_EQ(platform::GetMapMode(hdc), platform::MM_LOMETRIC) << "the context is left untouched";
  EXPECT_EQ(GetXQPPixels(missing.c_str()), 0);
  EXPECT_EQ(GetXQPImageWidth(missing.c_str()), 0);
  EXPECT_EQ(GetXQPImageHeight(missing.c_str()), 0);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(pixel(x, y), 0xFFFFFFu);
  platform::DeleteDC(hdc);
}

TEST_F(PageRenderingTest, APageNumberBeyondTheCountDrawsTheLastPage) {
  fbtest::EmfWriter first, last;
  first.record(39, {3, 0, 0x0000FF, 0}).record(37, {3}).rectangle(0, 0, 2000, 2000);
  last.record(39, {3, 0, 0xFF0000, 0}).record(37, {3}).rectangle(0, 0, 2000, 2000);
  const std::string file = pageFile({first.finish(), last.finish()});
  HDC hdc = rasterDc(40, 40);
  ASSERT_EQ(ViewXQP(hdc, file.c_str(), 7, 0, 0, 40, 40, 0, 1, 1, 0), 1);
  EXPECT_EQ(pixel(1, 1), 0x0000FFu) << "blue (0x00bbggrr 0xFF0000) is the last page";
  platform::DeleteDC(hdc);
}

TEST_F(PageRenderingTest, SizeQueriesReadPageOne) {
  // Recorded at 4960 pixels over 210 mm: 599 dpi once truncated.
  fbtest::EmfWriter emf({0, 0, 21000, 29700}, {0, 0, 4000, 6000}, {4960, 7016}, {210, 297});
  const std::string file = pageFile({emf.finish(), fbtest::makeEmf()});
  EXPECT_EQ(GetXQPPixels(file.c_str()), 599);
  EXPECT_EQ(GetXQPImageWidth(file.c_str()), 4960);
  EXPECT_EQ(GetXQPImageHeight(file.c_str()), 7016);
}

// Recorded at 300 dpi (3000 pixels over 254 mm, frame 25400 wide), shown on
// a 600-dpi device: window 1, viewport 2, so the device holds twice its
// size in recording pixels.
std::vector<uint8_t> page300(int32_t boundsRight, int32_t boundsBottom) {
  fbtest::EmfWriter emf({0, 0, 25400, 25400}, {0, 0, boundsRight, boundsBottom}, {3000, 3000}, {254, 254});
  return emf.finish();
}

TEST_F(PageRenderingTest, FullPrintFitsUpToTheScaledPrintableAreaExactly) {
  struct Case {
    int32_t right, bottom;
    int32_t expected;
  } cases[] = {
      {2000, 3000, 1},  // HORZRES x s and VERTRES x s exactly
      {2001, 3000, 0},
      {2000, 3001, 0},
      {10, 10, 1},
  };
  for (const Case& c : cases) {
    const std::string file = pageFile({page300(c.right, c.bottom)});
    HDC hdc = rasterDc(8, 8, 600, 4000, 6000);
    platform::SetMapMode(hdc, platform::MM_LOMETRIC);
    platform::SetViewportOrgEx(hdc, 7, 9, nullptr);
    EXPECT_EQ(GetISFullPrint(hdc, file.c_str(), 1), c.expected) << c.right << " x " << c.bottom;
    platform::SIZE window{}, viewport{};
    platform::POINT origin{};
    platform::GetWindowExtEx(hdc, &window);
    platform::GetViewportExtEx(hdc, &viewport);
    platform::GetViewportOrgEx(hdc, &origin);
    EXPECT_EQ(platform::GetMapMode(hdc), platform::MM_ANISOTROPIC);
    if (c.expected) {
      EXPECT_EQ(window.cx, 1);
      EXPECT_EQ(window.cy, 1);
      EXPECT_EQ(viewport.cx, 2);
      EXPECT_EQ(viewport.cy, 2);
    } else {
      EXPECT_EQ(window.cx, 1);
      EXPECT_EQ(window.cy, 1);
      EXPECT_EQ(viewport.cx, 1);
      EXPECT_EQ(viewport.cy, 1);
    }
    EXPECT_EQ(origin.x, 7) << "the viewport origin is not changed";
    EXPECT_EQ(origin.y, 9);
    platform::DeleteDC(hdc);
  }
}

TEST_F(PageRenderingTest, FullPrintWithoutAnyResolutionReportsNoFit) {
  // A frame of width 0 has no resolution; with a device of 0 dpi the
  // greatest common divisor is 0 too.
  fbtest::EmfWriter emf({0, 0, 0, 100}, {0, 0, 1, 1}, {3000, 3000}, {254, 254});
  const std::string file = pageFile({emf.finish()});
  HDC hdc = rasterDc(8, 8, 0);
  EXPECT_EQ(GetISFullPrint(hdc, file.c_str(), 1), 0);
  platform::SIZE viewport{};
  platform::GetViewportExtEx(hdc, &viewport);
  EXPECT_EQ(viewport.cx, 1);
  platform::DeleteDC(hdc);
}

TEST_F(PageRenderingTest, FullImageDrawsOneLogicalUnitPerRecordingPixel) {
  // 50 x 50 recording pixels (96 dpi device), a black filled rectangle over
  // all of it; drawn at (10, 20) in MM_TEXT it covers device pixels 10..59.
  fbtest::EmfWriter emf({0, 0, 1323, 1323}, {0, 0, 49, 49}, {1920, 1080}, {508, 286});
  emf.record(39, {3, 0, 0, 0}).record(37, {3}).rectangle(0, 0, 50, 50);
  const std::string file = pageFile({emf.finish()});
  HDC hdc = rasterDc(100, 100);
  ASSERT_EQ(ViewFullXQPImage(hdc, file.c_str(), 1, 10, 20), 1);
  EXPECT_EQ(pixel(9, 40), 0xFFFFFFu);
  EXPECT_EQ(pixel(12, 22), 0x000000u);
  EXPECT_EQ(pixel(55, 60), 0x000000u);
  EXPECT_EQ(pixel(62, 40), 0xFFFFFFu);
  platform::DeleteDC(hdc);
}

}  // namespace
