#include "platform/gdi/Dib.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <string>

#include "tests/platform/gdi/DibBytes.h"

namespace {

using namespace dibtest;
using platform::gdi::decodeDib;
using platform::gdi::decodePackedDib;
using platform::gdi::DibDecodeOptions;

constexpr QRgb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kBlack = 0xFF000000;

struct DibCase {
  DibCase(std::string n, Bytes h, Bytes b, int w, int ht, std::vector<QRgb> p)
      : name(std::move(n)), header(std::move(h)), bits(std::move(b)), width(w), height(ht), pixels(std::move(p)) {}
  std::string name;
  Bytes header;  // header, masks, colour table
  Bytes bits;
  int width = 0, height = 0;
  std::vector<QRgb> pixels;  // top row first
  uint32_t usage = platform::DIB_RGB_COLORS;
  DibDecodeOptions options;
  bool monochrome = false;
  bool hasAlpha = false;
};

std::ostream& operator<<(std::ostream& out, const DibCase& c) { return out << c.name; }

const platform::gdi::PaletteObject& testPalette() {
  static const platform::gdi::PaletteObject palette{{{255, 0, 0, 0}, {0, 255, 0, 0}}};
  return palette;
}

std::vector<DibCase> validCases() {
  std::vector<DibCase> cases;
  {
    DibCase c{"OneBitBottomUp", infoHeader(3, 2, 1), {0xA0, 0, 0, 0, 0x60, 0, 0, 0}, 3, 2, {}};
    putColors(c.header, {0x112233, 0xAABBCC});
    c.pixels = {0xFF112233, 0xFFAABBCC, 0xFFAABBCC, 0xFFAABBCC, 0xFF112233, 0xFFAABBCC};
    c.monochrome = true;
    cases.push_back(c);
  }
  {
    DibCase c{"FourBitsWithColorsUsed", infoHeader(3, 1, 4, platform::BI_RGB, 4), {0x31, 0x20, 0, 0}, 3, 1, {}};
    putColors(c.header, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    c.pixels = {kBlue, kRed, kGreen};
    cases.push_back(c);
  }
  {
    // Index 5 lies past the three-entry table: black.
    DibCase c{"EightBitsTopDown", infoHeader(2, -2, 8, platform::BI_RGB, 3), {2, 0, 0, 0, 1, 5, 0, 0}, 2, 2, {}};
    putColors(c.header, {0x010203, 0x040506, 0x070809});
    c.pixels = {0xFF070809, 0xFF010203, 0xFF040506, kBlack};
    cases.push_back(c);
  }
  cases.push_back({"SixteenBits555", infoHeader(4, 1, 16), {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}, 4, 1,
                   {kRed, kGreen, kBlue, 0xFF848484}});
  {
    DibCase c{"SixteenBitFields565", infoHeader(3, 1, 16, platform::BI_BITFIELDS),
              {0x00, 0xF8, 0xE0, 0x07, 0x10, 0x84, 0, 0}, 3, 1, {kRed, kGreen, 0xFF848284}};
    put32(c.header, 0xF800);
    put32(c.header, 0x07E0);
    put32(c.header, 0x001F);
    cases.push_back(c);
  }
  // The last row may come without its padding.
  cases.push_back({"TwentyFourBitsBottomUp", infoHeader(2, 2, 24),
                   {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0}, 2, 2,
                   {kBlue, kGreen, 0xFF112233, 0xFF445566}});
  cases.push_back({"ThirtyTwoBitsAlphaIgnored", infoHeader(2, 1, 32),
                   {0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60, 0x00}, 2, 1, {0xFF302010, 0xFF605040}});
  {
    DibCase c{"ThirtyTwoBitsAlphaKept", infoHeader(2, 1, 32), {0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60, 0x00}, 2,
              1, {0x80302010, 0x00000000}};
    c.options.keepAlpha = true;
    c.hasAlpha = true;
    cases.push_back(c);
  }
  {
    // All alpha zero: nothing to blend with, so the DIB is opaque.
    DibCase c{"ThirtyTwoBitsZeroAlphaOpaque", infoHeader(1, 1, 32), {0x10, 0x20, 0x30, 0x00}, 1, 1, {0xFF302010}};
    c.options.keepAlpha = true;
    cases.push_back(c);
  }
  {
    DibCase c{"V5HeaderMasks", infoHeader(1, 1, 32, platform::BI_BITFIELDS, 0, 124), {0x11, 0x22, 0x33, 0x00}, 1,
              1, {0xFF112233}};
    putMasksAt(c.header, 40, 0x000000FF, 0x0000FF00, 0x00FF0000);
    cases.push_back(c);
  }
  {
    DibCase c{"V4Header24Bits", infoHeader(1, 1, 24, platform::BI_RGB, 0, 108), {0x03, 0x02, 0x01, 0}, 1, 1,
              {0xFF010203}};
    cases.push_back(c);
  }
  {
    // Core header: 16-bit sizes, RGBTRIPLE colour table of 2^bits entries.
    DibCase c{"CoreHeader", {}, {1, 0, 0, 0}, 2, 1, {0xFF060504, 0xFF030201}};
    put32(c.header, 12);
    put16(c.header, 2);
    put16(c.header, 1);
    put16(c.header, 1);
    put16(c.header, 8);
    Bytes table(256 * 3, 0);
    table[0] = 1, table[1] = 2, table[2] = 3, table[3] = 4, table[4] = 5, table[5] = 6;
    c.header.insert(c.header.end(), table.begin(), table.end());
    cases.push_back(c);
  }
  {
    DibCase c{"PaletteIndices", infoHeader(2, 1, 8, platform::BI_RGB, 2), {0, 1, 0, 0}, 2, 1, {kGreen, kRed}};
    put16(c.header, 1);
    put16(c.header, 0);
    c.usage = platform::DIB_PAL_COLORS;
    cases.push_back(c);
  }
  {
    // Runs, an odd absolute run with its pad byte, end of line, delta and
    // end of bitmap; skipped pixels take colour 0.
    const Bytes rle = {3, 1, 0, 0,           // y0: three red
                       0, 3, 2, 3, 2, 0,     // y1: green blue green, padded
                       0, 0,                 //     end of line
                       0, 2, 3, 0, 1, 3,     // y2: skip three, one blue
                       0, 1};
    DibCase c{"Rle8Escapes", infoHeader(4, 3, 8, platform::BI_RLE8, 4, 40, uint32_t(rle.size())), rle, 4, 3, {}};
    putColors(c.header, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    c.pixels = {kBlack, kBlack, kBlack, kBlue, kGreen, kBlue, kGreen, kBlack, kRed, kRed, kRed, kBlack};
    cases.push_back(c);
    DibCase gaps = c;
    gaps.name = "Rle8GapsTransparent";
    gaps.options.keepGaps = true;
    gaps.pixels = {0, 0, 0, kBlue, kGreen, kBlue, kGreen, 0, kRed, kRed, kRed, 0};
    cases.push_back(gaps);
  }
  {
    const Bytes rle = {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1};
    DibCase c{"Rle4Escapes", infoHeader(5, 2, 4, platform::BI_RLE4, 4), rle, 5, 2,
              {kBlue, kRed, kGreen, kBlack, kBlack, kRed, kGreen, kRed, kGreen, kRed}};
    putColors(c.header, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    cases.push_back(c);
  }
  {
    QImage source(2, 2, QImage::Format_RGB32);
    source.setPixel(0, 0, kRed);
    source.setPixel(1, 0, kGreen);
    source.setPixel(0, 1, kBlue);
    source.setPixel(1, 1, kBlack);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    source.save(&buffer, "PNG");
    DibCase c{"Png", infoHeader(2, 2, 0, platform::BI_PNG, 0, 40, uint32_t(png.size())),
              Bytes(png.begin(), png.end()), 2, 2, {kRed, kGreen, kBlue, kBlack}};
    cases.push_back(c);
  }
  return cases;
}

class DibFormats : public ::testing::TestWithParam<DibCase> {};

TEST_P(DibFormats, DecodesToKnownPixels) {
  const DibCase& c = GetParam();
  const auto* palette = c.usage == platform::DIB_PAL_COLORS ? &testPalette() : nullptr;
  const auto dib = decodeDib(c.header, c.bits, c.usage, palette, c.options);
  ASSERT_TRUE(dib.has_value());
  ASSERT_EQ(dib->image.width(), c.width);
  ASSERT_EQ(dib->image.height(), c.height);
  EXPECT_EQ(dib->monochrome, c.monochrome);
  EXPECT_EQ(dib->hasAlpha, c.hasAlpha);
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      const QRgb got = reinterpret_cast<const QRgb*>(dib->image.constScanLine(y))[x];
      const QRgb want = c.pixels[size_t(y * c.width + x)];
      EXPECT_EQ(got, want) << "pixel " << x << "," << y << std::hex << " got 0x" << got << " want 0x" << want;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, DibFormats, ::testing::ValuesIn(validCases()),
                         [](const auto& param) { return param.param.name; });

TEST(DibFormatsExtra, MonochromeKeepsItsTwoColours) {
  Bytes header = infoHeader(1, 1, 1);
  putColors(header, {0x102030, 0x405060});
  const auto dib = decodeDib(header, Bytes{0x80, 0, 0, 0}, platform::DIB_RGB_COLORS, nullptr, false);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->color0, 0xFF102030u);
  EXPECT_EQ(dib->color1, 0xFF405060u);
  EXPECT_EQ(dib->image.pixel(0, 0), 0xFF405060u);
}

TEST(DibFormatsExtra, PaletteIndicesWithoutPaletteUseTheDefaultPalette) {
  Bytes header = infoHeader(1, 1, 8, platform::BI_RGB, 1);
  put16(header, 13);  // default palette entry 13: red
  const auto dib = decodeDib(header, Bytes{0, 0, 0, 0}, platform::DIB_PAL_COLORS, nullptr, false);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->image.pixel(0, 0), kRed);
}

struct BadDib {
  std::string name;
  Bytes header;
  Bytes bits;
};
std::ostream& operator<<(std::ostream& out, const BadDib& c) { return out << c.name; }

std::vector<BadDib> badCases() {
  std::vector<BadDib> cases;
  const Bytes fourRows(64, 0);
  cases.push_back({"HeaderSizeTooSmall", infoHeader(1, 1, 24, 0, 0, 39), fourRows});
  {
    Bytes h = infoHeader(1, 1, 24);
    h.resize(30);
    cases.push_back({"HeaderLongerThanSpan", h, {}});
  }
  cases.push_back({"EmptyHeader", {}, fourRows});
  cases.push_back({"ZeroWidth", infoHeader(0, 1, 24), fourRows});
  cases.push_back({"NegativeWidth", infoHeader(-4, 1, 24), fourRows});
  cases.push_back({"ZeroHeight", infoHeader(1, 0, 24), fourRows});
  cases.push_back({"MostNegativeHeight", infoHeader(1, INT32_MIN, 24), fourRows});
  cases.push_back({"HugeSide", infoHeader(100000, 1, 24), fourRows});
  cases.push_back({"HugeArea", infoHeader(20000, 20000, 1), fourRows});
  cases.push_back({"BadDepth", infoHeader(1, 1, 7), fourRows});
  cases.push_back({"Rle8WithTwentyFourBits", infoHeader(1, 1, 24, platform::BI_RLE8), fourRows});
  cases.push_back({"TopDownRle", infoHeader(1, -1, 8, platform::BI_RLE8), fourRows});
  cases.push_back({"UnknownCompression", infoHeader(1, 1, 24, 9), fourRows});
  cases.push_back({"BitFieldsWithoutMasks", infoHeader(1, 1, 16, platform::BI_BITFIELDS), fourRows});
  {
    Bytes h = infoHeader(1, 1, 16, platform::BI_BITFIELDS);
    Bytes zeros(12, 0);
    h.insert(h.end(), zeros.begin(), zeros.end());
    cases.push_back({"ZeroMasks", h, fourRows});
  }
  cases.push_back({"TruncatedBits", infoHeader(2, 2, 24), Bytes(13, 0)});
  cases.push_back({"NoBits", infoHeader(1, 1, 32), {}});
  cases.push_back({"RleAbsoluteRunPastEnd", infoHeader(4, 1, 8, platform::BI_RLE8), {0, 10, 1, 2}});
  cases.push_back({"RleDeltaTruncated", infoHeader(4, 1, 8, platform::BI_RLE8), {0, 2, 5}});
  cases.push_back({"Rle4AbsoluteRunPastEnd", infoHeader(4, 1, 4, platform::BI_RLE4), {0, 9, 0x12, 0x34}});
  cases.push_back({"PngGarbage", infoHeader(2, 2, 0, platform::BI_PNG), {0x89, 'P', 'N', 'G', 1, 2, 3}});
  cases.push_back({"JpegEmpty", infoHeader(2, 2, 0, platform::BI_JPEG), {}});
  return cases;
}

class MalformedDibs : public ::testing::TestWithParam<BadDib> {};

TEST_P(MalformedDibs, AreRefused) {
  const BadDib& c = GetParam();
  // Exact-size copies: reading past either span is an error the sanitizers see.
  const Bytes header(c.header), bits(c.bits);
  EXPECT_FALSE(decodeDib(header, bits, platform::DIB_RGB_COLORS, nullptr, true).has_value());
  Bytes packed = header;
  packed.insert(packed.end(), bits.begin(), bits.end());
  EXPECT_FALSE(decodePackedDib(packed, platform::DIB_RGB_COLORS, nullptr).has_value());
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedDibs, ::testing::ValuesIn(badCases()),
                         [](const auto& param) { return param.param.name; });

TEST(PackedDib, BitsFollowTheColourTableOfColorsUsed) {
  Bytes packed = infoHeader(2, 1, 8, platform::BI_RGB, 2);
  putColors(packed, {0x00FF00, 0x0000FF});
  packed.insert(packed.end(), {1, 0, 0, 0});
  const auto dib = decodePackedDib(packed, platform::DIB_RGB_COLORS, nullptr);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->image.pixel(0, 0), kBlue);
  EXPECT_EQ(dib->image.pixel(1, 0), kGreen);
}

TEST(PackedDib, BitsFollowTheMasksOfAPlainHeader) {
  Bytes packed = infoHeader(1, 1, 16, platform::BI_BITFIELDS);
  put32(packed, 0xF800);
  put32(packed, 0x07E0);
  put32(packed, 0x001F);
  packed.insert(packed.end(), {0xE0, 0x07, 0, 0});
  const auto dib = decodePackedDib(packed, platform::DIB_RGB_COLORS, nullptr);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->image.pixel(0, 0), kGreen);
}

TEST(PackedDib, ColourTableCutShortIsRefused) {
  Bytes packed = infoHeader(2, 1, 8, platform::BI_RGB, 200);
  putColors(packed, {0x00FF00});
  EXPECT_FALSE(decodePackedDib(packed, platform::DIB_RGB_COLORS, nullptr));
}

}  // namespace
