// Blits, DIB drawing and gradients on the raster surface: where the pixels
// land and what they become.

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/gdi/BitmapApi.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/Surfaces.h"
#include "tests/platform/gdi/DibBytes.h"

namespace {

using namespace platform;
using namespace dibtest;

constexpr QRgb kWhite = 0xFFFFFFFF, kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00,
               kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;

// A context drawing on an image the test reads.
struct Canvas {
  std::shared_ptr<QImage> image;
  HDC dc = nullptr;
  Canvas(int w, int h, QRgb fill = kWhite) : image(std::make_shared<QImage>(w, h, QImage::Format_RGB32)) {
    image->fill(fill);
    gdi::DeviceDescription d;
    d.width = w;
    d.height = h;
    d.widthMm = w * 254 / 960;
    d.heightMm = h * 254 / 960;
    dc = CreateSurfaceDC(gdi::makeRasterSurface(image, d));
  }
  ~Canvas() { DeleteDC(dc); }
  QRgb at(int x, int y) const { return image->pixel(x, y); }
};

// A memory context with a 32-bit bitmap of the given pixels (top row first).
struct MemoryBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  MemoryBitmap(HDC reference, int w, int h, const std::vector<QRgb>& pixels, uint32_t bits = 32) {
    dc = CreateCompatibleDC(reference);
    if (bits == 32) {
      std::vector<uint8_t> data;
      for (QRgb c : pixels) data.insert(data.end(), {uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c)), 0});
      bitmap = CreateBitmap(w, h, 1, 32, data.data());
    } else {
      // Monochrome: rows of 16-bit words, white pixels set.
      const int stride = (w + 15) / 16 * 2;
      std::vector<uint8_t> data(size_t(stride * h), 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (pixels[size_t(y * w + x)] == kWhite) data[size_t(y * stride + x / 8)] |= uint8_t(0x80 >> (x % 8));
      bitmap = CreateBitmap(w, h, 1, 1, data.data());
    }
    old = SelectObject(dc, bitmap);
  }
  ~MemoryBitmap() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

// 2 x 2, 24 bits: red, green on top; blue, yellow below.
Bytes quadBits(bool topDown) {
  const Bytes top = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0}, bottom = {0xFF, 0, 0, 0, 0xFF, 0xFF, 0, 0};
  Bytes bits = topDown ? top : bottom;
  const Bytes& second = topDown ? bottom : top;
  bits.insert(bits.end(), second.begin(), second.end());
  return bits;
}

int stretchQuad(HDC dc, int x, int y, int w, int h, int xs, int ys, int ws, int hs, bool topDown = false,
                uint32_t rop = SRCCOPY) {
  const Bytes header = infoHeader(2, topDown ? -2 : 2, 24);
  const Bytes bits = quadBits(topDown);
  return StretchDIBits(dc, x, y, w, h, xs, ys, ws, hs, bits.data(), bits.size(),
                       reinterpret_cast<const BITMAPINFO*>(header.data()), header.size(), DIB_RGB_COLORS, rop);
}

struct Placement {
  std::string name;
  int x, y, w, h, xs, ys, ws, hs;
  bool topDown;
  std::map<std::pair<int, int>, QRgb> expected;
};
std::ostream& operator<<(std::ostream& out, const Placement& p) { return out << p.name; }

const Placement kPlacements[] = {
    {"OneToOne", 2, 2, 2, 2, 0, 0, 2, 2, false,
     {{{2, 2}, kRed}, {{3, 2}, kGreen}, {{2, 3}, kBlue}, {{3, 3}, kYellow}, {{1, 1}, kWhite}, {{4, 4}, kWhite}}},
    {"TopDownSameAsBottomUp", 2, 2, 2, 2, 0, 0, 2, 2, true,
     {{{2, 2}, kRed}, {{3, 2}, kGreen}, {{2, 3}, kBlue}, {{3, 3}, kYellow}}},
    {"StretchedTwice", 2, 2, 4, 4, 0, 0, 2, 2, false,
     {{{2, 2}, kRed}, {{3, 3}, kRed}, {{4, 2}, kGreen}, {{5, 3}, kGreen}, {{2, 4}, kBlue}, {{5, 5}, kYellow},
      {{6, 6}, kWhite}, {{1, 2}, kWhite}}},
    {"MirroredByDestinationWidth", 4, 2, -2, 2, 0, 0, 2, 2, false,
     {{{2, 2}, kGreen}, {{3, 2}, kRed}, {{2, 3}, kYellow}, {{3, 3}, kBlue}, {{4, 2}, kWhite}}},
    {"FlippedByDestinationHeight", 2, 4, 2, -2, 0, 0, 2, 2, false,
     {{{2, 2}, kBlue}, {{3, 2}, kYellow}, {{2, 3}, kRed}, {{3, 3}, kGreen}, {{2, 4}, kWhite}}},
    {"MirroredBySourceWidth", 2, 2, 2, 2, 2, 0, -2, 2, false, {{{2, 2}, kGreen}, {{3, 2}, kRed}}},
    // A bottom-up DIB's source origin is its lower-left corner.
    {"BottomUpSourceOrigin", 2, 2, 1, 1, 0, 0, 1, 1, false, {{{2, 2}, kBlue}, {{3, 2}, kWhite}}},
    {"TopDownSourceOrigin", 2, 2, 1, 1, 0, 0, 1, 1, true, {{{2, 2}, kRed}}},
    {"SourcePartlyOutside", 2, 2, 4, 2, 0, 0, 4, 2, false,
     {{{2, 2}, kRed}, {{3, 2}, kGreen}, {{4, 2}, kWhite}, {{5, 3}, kWhite}}},
};

class StretchDIBitsPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(StretchDIBitsPlacement, PutsEachSourcePixelWhereGdiDoes) {
  const Placement& p = GetParam();
  Canvas canvas(8, 8);
  EXPECT_EQ(stretchQuad(canvas.dc, p.x, p.y, p.w, p.h, p.xs, p.ys, p.ws, p.hs, p.topDown), std::abs(p.hs));
  for (const auto& [xy, colour] : p.expected) {
    EXPECT_EQ(canvas.at(xy.first, xy.second), colour) << "at " << xy.first << "," << xy.second;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, StretchDIBitsPlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& param) { return param.param.name; });

TEST(StretchDIBits, FollowsTheMappingMode) {
  Canvas canvas(8, 8);
  SetMapMode(canvas.dc, MM_ANISOTROPIC);
  SetWindowExtEx(canvas.dc, 1, 1, nullptr);
  SetViewportExtEx(canvas.dc, 2, 2, nullptr);
  stretchQuad(canvas.dc, 1, 1, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(canvas.at(2, 2), kRed);
  EXPECT_EQ(canvas.at(3, 3), kRed);
  EXPECT_EQ(canvas.at(5, 5), kYellow);
  EXPECT_EQ(canvas.at(6, 6), kWhite);
  EXPECT_EQ(canvas.at(1, 1), kWhite);
}

TEST(StretchDIBits, RasterOperationReadsTheDestination) {
  Canvas canvas(4, 4, 0xFF808080);
  stretchQuad(canvas.dc, 0, 0, 2, 2, 0, 0, 2, 2, false, SRCAND);
  EXPECT_EQ(canvas.at(0, 0), 0xFF800000u);  // red & grey
  EXPECT_EQ(canvas.at(1, 1), 0xFF808000u);  // yellow & grey
  EXPECT_EQ(canvas.at(2, 2), 0xFF808080u);
  stretchQuad(canvas.dc, 0, 0, 2, 2, 0, 0, 2, 2, false, SRCINVERT);
  EXPECT_EQ(canvas.at(0, 0), 0xFF7F0000u);  // red ^ (red & grey)
}

TEST(StretchDIBits, RleGapsLeaveTheDestinationAlone) {
  Bytes header = infoHeader(3, 1, 8, BI_RLE8, 2);
  putColors(header, {0x000000, 0xFF0000});
  const Bytes bits = {0, 2, 2, 0, 1, 1, 0, 1};  // skip two, one red
  Canvas canvas(3, 1);
  StretchDIBits(canvas.dc, 0, 0, 3, 1, 0, 0, 3, 1, bits.data(), bits.size(),
                reinterpret_cast<const BITMAPINFO*>(header.data()), header.size(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(canvas.at(0, 0), kWhite);
  EXPECT_EQ(canvas.at(1, 0), kWhite);
  EXPECT_EQ(canvas.at(2, 0), kRed);
}

TEST(StretchDIBits, MalformedDibIsRefusedAndDrawsNothing) {
  Canvas canvas(4, 4);
  const Bytes header = infoHeader(2, 2, 24);
  const Bytes bits(10, 0);  // two rows need 14 bytes
  EXPECT_EQ(StretchDIBits(canvas.dc, 0, 0, 2, 2, 0, 0, 2, 2, bits.data(), bits.size(),
                          reinterpret_cast<const BITMAPINFO*>(header.data()), header.size(), DIB_RGB_COLORS,
                          SRCCOPY),
            0);
  EXPECT_EQ(canvas.at(0, 0), kWhite);
}

TEST(SetDIBitsToDevice, DrawsOnlyTheScanLinesGiven) {
  const Bytes header = infoHeader(2, 2, 24);
  const Bytes bits = quadBits(false);
  Canvas canvas(6, 6);
  // All lines, unstretched even under a scaling mapping: only the origin maps.
  SetMapMode(canvas.dc, MM_ANISOTROPIC);
  SetWindowExtEx(canvas.dc, 1, 1, nullptr);
  SetViewportExtEx(canvas.dc, 2, 2, nullptr);
  EXPECT_EQ(SetDIBitsToDevice(canvas.dc, 1, 1, 2, 2, 0, 0, 0, 2, bits.data(), bits.size(),
                              reinterpret_cast<const BITMAPINFO*>(header.data()), header.size(), DIB_RGB_COLORS),
            2);
  EXPECT_EQ(canvas.at(2, 2), kRed);
  EXPECT_EQ(canvas.at(3, 3), kYellow);
  EXPECT_EQ(canvas.at(4, 4), kWhite);

  // Only scan 0 (the bottom row) in the bits: it lands on the rectangle's lower row.
  Canvas partial(4, 4);
  const Bytes bottomOnly(bits.begin(), bits.begin() + 8);
  EXPECT_EQ(SetDIBitsToDevice(partial.dc, 1, 1, 2, 2, 0, 0, 0, 1, bottomOnly.data(), bottomOnly.size(),
                              reinterpret_cast<const BITMAPINFO*>(header.data()), header.size(), DIB_RGB_COLORS),
            1);
  EXPECT_EQ(partial.at(1, 1), kWhite);
  EXPECT_EQ(partial.at(1, 2), kBlue);
  EXPECT_EQ(partial.at(2, 2), kYellow);
}

// S, D and P per channel: R, G, B.
constexpr QRgb kS = 0xFFF0CC00, kD = 0xFFAAAAFF, kP = 0xFF3C0F81;

struct RopBlit {
  std::string name;
  uint32_t rop;
  QRgb expected;  // written out by hand
};
std::ostream& operator<<(std::ostream& out, const RopBlit& r) { return out << r.name; }

const RopBlit kRopBlits[] = {
    {"SRCCOPY", SRCCOPY, 0xFFF0CC00},     {"SRCAND", SRCAND, 0xFFA08800},
    {"SRCPAINT", SRCPAINT, 0xFFFAEEFF},   {"SRCINVERT", SRCINVERT, 0xFF5A66FF},
    {"NOTSRCCOPY", NOTSRCCOPY, 0xFF0F33FF}, {"MERGECOPY", MERGECOPY, 0xFF300C00},
    {"PATINVERT", PATINVERT, 0xFF96A57E}, {"DSTINVERT", DSTINVERT, 0xFF555500},
    {"PATCOPY", PATCOPY, 0xFF3C0F81},     {"PSDPxax", 0x00B8074A, 0xFFAC8B81},
};

class BitBltRops : public ::testing::TestWithParam<RopBlit> {};

TEST_P(BitBltRops, CombinePatternSourceAndDestination) {
  const RopBlit& r = GetParam();
  Canvas canvas(3, 1, kD);
  MemoryBitmap source(canvas.dc, 1, 1, {kS});
  HBRUSH brush = CreateSolidBrush(RGB(0x3C, 0x0F, 0x81));
  HGDIOBJ oldBrush = SelectObject(canvas.dc, brush);
  EXPECT_TRUE(BitBlt(canvas.dc, 1, 0, 1, 1, source.dc, 0, 0, r.rop));
  EXPECT_EQ(canvas.at(1, 0), r.expected) << std::hex << canvas.at(1, 0);
  EXPECT_EQ(canvas.at(0, 0), kD);
  EXPECT_EQ(canvas.at(2, 0), kD);
  SelectObject(canvas.dc, oldBrush);
  DeleteObject(brush);
}

INSTANTIATE_TEST_SUITE_P(Table, BitBltRops, ::testing::ValuesIn(kRopBlits),
                         [](const auto& param) { return param.param.name; });

TEST(BitBlt, MonochromeSourceTakesTextAndBackgroundColours) {
  Canvas canvas(2, 1);
  MemoryBitmap mono(canvas.dc, 2, 1, {kWhite, kBlack}, 1);
  SetTextColor(canvas.dc, RGB(255, 0, 0));
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  EXPECT_TRUE(BitBlt(canvas.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(canvas.at(0, 0), kBlue);
  EXPECT_EQ(canvas.at(1, 0), kRed);
}

TEST(BitBlt, ColourToMonochromeMakesTheSourceBackgroundWhite) {
  Canvas canvas(2, 1);
  MemoryBitmap colour(canvas.dc, 2, 1, {kGreen, kRed});
  MemoryBitmap mono(canvas.dc, 2, 1, {kBlack, kWhite}, 1);
  SetBkColor(colour.dc, RGB(0, 255, 0));
  EXPECT_TRUE(BitBlt(mono.dc, 0, 0, 2, 1, colour.dc, 0, 0, SRCCOPY));
  // Read back through a colour blit with black text on white.
  EXPECT_TRUE(BitBlt(canvas.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(canvas.at(0, 0), kWhite);
  EXPECT_EQ(canvas.at(1, 0), kBlack);
}

TEST(BitBlt, MirroredStretchFromAMemoryContext) {
  Canvas canvas(4, 1);
  MemoryBitmap source(canvas.dc, 2, 1, {kRed, kGreen});
  EXPECT_TRUE(StretchBlt(canvas.dc, 4, 0, -4, 1, source.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(canvas.at(0, 0), kGreen);
  EXPECT_EQ(canvas.at(1, 0), kGreen);
  EXPECT_EQ(canvas.at(2, 0), kRed);
  EXPECT_EQ(canvas.at(3, 0), kRed);
}

TEST(PatBlt, RefusesOperationsThatNeedASource) {
  Canvas canvas(2, 1);
  EXPECT_FALSE(PatBlt(canvas.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_TRUE(PatBlt(canvas.dc, 0, 0, 1, 1, BLACKNESS));
  EXPECT_EQ(canvas.at(0, 0), kBlack);
  EXPECT_EQ(canvas.at(1, 0), kWhite);
}

TEST(MaskBlt, MaskChoosesForegroundOrBackgroundOperation) {
  Canvas canvas(3, 1);
  MemoryBitmap source(canvas.dc, 3, 1, {kRed, kGreen, kBlue});
  HBITMAP mask = [] {
    const uint8_t bits[2] = {0xA0, 0};  // white, black, white
    return CreateBitmap(3, 1, 1, 1, bits);
  }();
  // Source where white, destination kept where black.
  EXPECT_TRUE(MaskBlt(canvas.dc, 0, 0, 3, 1, source.dc, 0, 0, mask, 0, 0, 0xAACC0020));
  EXPECT_EQ(canvas.at(0, 0), kRed);
  EXPECT_EQ(canvas.at(1, 0), kWhite);
  EXPECT_EQ(canvas.at(2, 0), kBlue);
  // Background BLACKNESS, foreground DSTINVERT.
  EXPECT_TRUE(MaskBlt(canvas.dc, 0, 0, 3, 1, source.dc, 0, 0, mask, 0, 0, 0x00550009));
  EXPECT_EQ(canvas.at(0, 0), 0xFF00FFFFu);
  EXPECT_EQ(canvas.at(1, 0), kBlack);
  DeleteObject(mask);
}

TEST(TransparentBlt, KeyColourLeavesTheDestination) {
  Canvas canvas(4, 1);
  MemoryBitmap source(canvas.dc, 2, 1, {kRed, kGreen});
  EXPECT_TRUE(TransparentBlt(canvas.dc, 0, 0, 4, 1, source.dc, 0, 0, 2, 1, RGB(0, 255, 0)));
  EXPECT_EQ(canvas.at(0, 0), kRed);
  EXPECT_EQ(canvas.at(1, 0), kRed);
  EXPECT_EQ(canvas.at(2, 0), kWhite);
  EXPECT_EQ(canvas.at(3, 0), kWhite);
  EXPECT_FALSE(TransparentBlt(canvas.dc, 0, 0, -4, 1, source.dc, 0, 0, 2, 1, 0));
}

bool near(QRgb a, QRgb b, int tolerance = 2) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

TEST(AlphaBlend, ConstantAlphaMixesWithTheDestination) {
  Canvas canvas(2, 1, kBlack);
  MemoryBitmap source(canvas.dc, 1, 1, {kWhite});
  EXPECT_TRUE(AlphaBlend(canvas.dc, 0, 0, 1, 1, source.dc, 0, 0, 1, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
  EXPECT_TRUE(near(canvas.at(0, 0), 0xFF808080)) << std::hex << canvas.at(0, 0);
  EXPECT_EQ(canvas.at(1, 0), kBlack);
  // The source rectangle must lie inside the source.
  EXPECT_FALSE(AlphaBlend(canvas.dc, 0, 0, 1, 1, source.dc, 0, 0, 2, 1, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
}

TEST(AlphaBlend, PerPixelAlphaIsPremultiplied) {
  Canvas canvas(2, 1);
  // Half-transparent red, premultiplied; then fully transparent.
  Bytes header = infoHeader(2, 1, 32);
  const Bytes bits = {0, 0, 0x80, 0x80, 0, 0, 0, 0};
  auto dib = gdi::decodeDib(header, bits, DIB_RGB_COLORS, nullptr, true);
  ASSERT_TRUE(dib);
  gdi::BlitSource source;
  source.image = &dib->image;
  source.rect = QRectF(0, 0, 2, 1);
  EXPECT_TRUE(gdi::alphaBlendFrom(canvas.dc, 0, 0, 2, 1, source, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}));
  EXPECT_TRUE(near(canvas.at(0, 0), 0xFFFF7F7F)) << std::hex << canvas.at(0, 0);
  EXPECT_EQ(canvas.at(1, 0), kWhite);
}

TEST(GetDIBits, ThirtyTwoBitsBottomUpAndTopDown) {
  Canvas canvas(1, 1);
  MemoryBitmap memory(canvas.dc, 3, 2, {kRed, kGreen, kBlue, kYellow, kWhite, kBlack});
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * 4, 0);
  auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  // Asked for its description first.
  EXPECT_NE(GetDIBits(memory.dc, memory.bitmap, 0, 2, nullptr, bmi, DIB_RGB_COLORS), 0);
  EXPECT_EQ(bmi->bmiHeader.biWidth, 3);
  EXPECT_EQ(bmi->bmiHeader.biHeight, 2);
  EXPECT_EQ(bmi->bmiHeader.biBitCount, 32);
  EXPECT_EQ(bmi->bmiHeader.biSizeImage, 24u);

  std::vector<uint8_t> bits(24, 0xEE);
  EXPECT_EQ(GetDIBits(memory.dc, memory.bitmap, 0, 2, bits.data(), bmi, DIB_RGB_COLORS), 2);
  const std::vector<uint8_t> bottomUp = {0, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0,    0, 0, 0,
                                         0, 0,    0xFF, 0, 0,    0xFF, 0,    0, 0xFF, 0, 0, 0};
  EXPECT_EQ(bits, bottomUp);

  bmi->bmiHeader.biHeight = -2;
  EXPECT_EQ(GetDIBits(memory.dc, memory.bitmap, 0, 2, bits.data(), bmi, DIB_RGB_COLORS), 2);
  EXPECT_EQ(std::vector<uint8_t>(bits.begin(), bits.begin() + 12),
            std::vector<uint8_t>(bottomUp.begin() + 12, bottomUp.end()));

  // One scan line from scan 1: the top row of a bottom-up DIB.
  bmi->bmiHeader.biHeight = 2;
  std::vector<uint8_t> one(12, 0xEE);
  EXPECT_EQ(GetDIBits(memory.dc, memory.bitmap, 1, 1, one.data(), bmi, DIB_RGB_COLORS), 1);
  EXPECT_EQ(one, std::vector<uint8_t>(bottomUp.begin() + 12, bottomUp.end()));
}

TEST(GetDIBits, EightBitsThroughTheSelectedPalette) {
  Canvas canvas(1, 1);
  MemoryBitmap memory(canvas.dc, 3, 1, {kRed, kWhite, 0xFF0000F0});
  std::vector<uint8_t> storage(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
  auto* logPalette = reinterpret_cast<LOGPALETTE*>(storage.data());
  logPalette->palVersion = 0x300;
  logPalette->palNumEntries = 3;
  logPalette->palPalEntry[0] = {255, 255, 255, 0};
  logPalette->palPalEntry[1] = {0, 0, 255, 0};
  logPalette->palPalEntry[2] = {255, 0, 0, 0};
  HPALETTE palette = CreatePalette(logPalette);
  HPALETTE oldPalette = SelectPalette(memory.dc, palette, false);

  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * 4, 0xEE);
  auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  bmi->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bits(4, 0xEE);
  EXPECT_EQ(GetDIBits(memory.dc, memory.bitmap, 0, 1, bits.data(), bmi, DIB_RGB_COLORS), 1);
  EXPECT_EQ(bits, (std::vector<uint8_t>{2, 0, 1, 0}));  // nearest entries; the row padded with zero
  // The table is the palette's, then black.
  const uint8_t* table = info.data() + sizeof(BITMAPINFOHEADER);
  EXPECT_EQ(std::vector<uint8_t>(table, table + 16),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bmi->bmiHeader.biSizeImage, 4u);

  SelectPalette(memory.dc, oldPalette, false);
  DeleteObject(palette);
  // With the default palette: a fixed 256-colour table ending in white.
  EXPECT_EQ(GetDIBits(memory.dc, memory.bitmap, 0, 1, bits.data(), bmi, DIB_RGB_COLORS), 1);
  EXPECT_EQ(std::vector<uint8_t>(table + 255 * 4, table + 256 * 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0}));
  EXPECT_EQ(std::vector<uint8_t>(table + bits[1] * 4, table + bits[1] * 4 + 4),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0}));
  EXPECT_EQ(std::vector<uint8_t>(table + bits[0] * 4, table + bits[0] * 4 + 4),
            (std::vector<uint8_t>{0, 0, 0xFF, 0}));
}

TEST(Bitmaps, CompatibleBitmapDepths) {
  Canvas canvas(1, 1);
  BITMAP info{};
  HBITMAP colour = CreateCompatibleBitmap(canvas.dc, 5, 3);
  ASSERT_EQ(GetObjectA(colour, sizeof info, &info), int(sizeof info));
  EXPECT_EQ(info.bmWidth, 5);
  EXPECT_EQ(info.bmHeight, 3);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(info.bmWidthBytes, 20);
  // A new memory context holds a monochrome bitmap, so its compatible bitmaps are monochrome.
  HDC memory = CreateCompatibleDC(canvas.dc);
  HBITMAP mono = CreateCompatibleBitmap(memory, 5, 3);
  ASSERT_EQ(GetObjectA(mono, sizeof info, &info), int(sizeof info));
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(info.bmWidthBytes, 2);
  EXPECT_EQ(CreateCompatibleBitmap(canvas.dc, -1, 3), nullptr);
  DeleteObject(colour);
  DeleteObject(mono);
  DeleteDC(memory);
}

TEST(Bitmaps, GetObjectDescribesEachKind) {
  HPEN pen = CreatePen(PS_DASH, 1, RGB(1, 2, 3));  // wider dashed pens become solid
  LOGPEN logPen{};
  EXPECT_EQ(GetObjectA(pen, 0, nullptr), int(sizeof(LOGPEN)));
  EXPECT_EQ(GetObjectA(pen, sizeof logPen, &logPen), int(sizeof(LOGPEN)));
  EXPECT_EQ(logPen.lopnStyle, PS_DASH);
  EXPECT_EQ(logPen.lopnWidth.x, 1);
  EXPECT_EQ(logPen.lopnColor, RGB(1, 2, 3));
  EXPECT_EQ(GetObjectA(pen, 4, &logPen), 0);

  HBRUSH brush = CreateHatchBrush(HS_CROSS, RGB(4, 5, 6));
  LOGBRUSH logBrush{};
  EXPECT_EQ(GetObjectA(brush, sizeof logBrush, &logBrush), int(sizeof(LOGBRUSH)));
  EXPECT_EQ(logBrush.lbStyle, BS_HATCHED);
  EXPECT_EQ(logBrush.lbColor, RGB(4, 5, 6));
  EXPECT_EQ(logBrush.lbHatch, HS_CROSS);

  LOGFONTW font{};
  EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof font, &font), int(sizeof font));
  LOGFONTW part{};
  EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), 8, &part), 8);
  EXPECT_EQ(part.lfHeight, font.lfHeight);

  uint16_t entries = 0;
  EXPECT_EQ(GetObjectA(GetStockObject(DEFAULT_PALETTE), sizeof entries, &entries), 2);
  EXPECT_EQ(entries, 20);

  HRGN region = CreateRectRgn(0, 0, 1, 1);
  EXPECT_EQ(GetObjectA(region, 64, &font), 0);
  EXPECT_EQ(GetObjectA(nullptr, 64, &font), 0);
  DeleteObject(pen);
  DeleteObject(brush);
  DeleteObject(region);
}

TRIVERTEX vertex(int x, int y, uint16_t r, uint16_t g, uint16_t b) { return TRIVERTEX{x, y, r, g, b, 0}; }

TEST(GradientFill, RectangleCornersHorizontalAndVertical) {
  const TRIVERTEX v[2] = {vertex(0, 0, 0xFF00, 0, 0), vertex(8, 4, 0, 0, 0xFF00)};
  const GRADIENT_RECT rect{0, 1};
  Canvas h(10, 6);
  EXPECT_TRUE(GradientFill(h.dc, v, 2, &rect, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(h.at(0, 0), kRed);
  EXPECT_EQ(h.at(0, 3), kRed);
  EXPECT_EQ(h.at(7, 0), qRgb(31, 0, 223));  // 7/8 of the way
  EXPECT_EQ(h.at(7, 3), qRgb(31, 0, 223));
  EXPECT_EQ(h.at(8, 0), kWhite);
  EXPECT_EQ(h.at(0, 4), kWhite);

  Canvas vert(10, 6);
  EXPECT_TRUE(GradientFill(vert.dc, v, 2, &rect, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(vert.at(0, 0), kRed);
  EXPECT_EQ(vert.at(7, 0), kRed);
  EXPECT_EQ(vert.at(0, 3), qRgb(63, 0, 191));
  EXPECT_EQ(vert.at(8, 3), kWhite);
}

TEST(GradientFill, TriangleInterpolatesFromItsVertices) {
  const TRIVERTEX v[3] = {vertex(0, 0, 0xFF00, 0, 0), vertex(16, 0, 0, 0xFF00, 0), vertex(0, 16, 0, 0, 0xFF00)};
  const GRADIENT_TRIANGLE triangle{0, 1, 2};
  Canvas canvas(16, 16);
  EXPECT_TRUE(GradientFill(canvas.dc, v, 3, &triangle, 1, GRADIENT_FILL_TRIANGLE));
  EXPECT_GT(qRed(canvas.at(0, 0)), 230);
  EXPECT_GT(qGreen(canvas.at(14, 0)), 200);
  EXPECT_GT(qBlue(canvas.at(0, 14)), 200);
  EXPECT_EQ(canvas.at(12, 12), kWhite);  // beyond the hypotenuse
}

TEST(GradientFill, BadIndexOrModeIsRefusedBeforeDrawing) {
  const TRIVERTEX v[2] = {vertex(0, 0, 0, 0, 0), vertex(4, 4, 0, 0, 0)};
  const GRADIENT_RECT rects[2] = {{0, 1}, {0, 2}};
  Canvas canvas(4, 4);
  EXPECT_FALSE(GradientFill(canvas.dc, v, 2, rects, 2, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(canvas.at(0, 0), kWhite);
  EXPECT_FALSE(GradientFill(canvas.dc, v, 2, rects, 1, 3));
  EXPECT_EQ(canvas.at(0, 0), kWhite);
}

}  // namespace
