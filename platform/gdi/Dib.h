#pragma once
// Device-independent bitmaps: parsing their headers and decoding their
// pixels into images, with every size checked against the bytes at hand.

#include <QImage>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiTypes.h"

namespace platform::gdi {

// Nothing larger is decoded: each side at most kMaxDibSide pixels, the
// decoded image at most kMaxDibBytes.
inline constexpr int64_t kMaxDibSide = 32768;
inline constexpr int64_t kMaxDibBytes = int64_t(256) << 20;

struct DecodedDib {
  QImage image;  // row 0 is the top row
  bool monochrome = false;  // 1 bit per pixel; color0 and color1 are its two colours
  bool hasAlpha = false;    // image is ARGB32 premultiplied with alpha that matters
  QRgb color0 = 0, color1 = 0;
  bool topDown = false;     // the DIB stores its top row first (negative height)
  int bitsPerPixel = 0;
};

// The header of a DIB, as far as decoding needs it.
struct DibHeader {
  uint32_t headerSize = 0;  // 12 (core), 40, 52, 56, 108, 124 ...
  int32_t width = 0;
  int32_t height = 0;       // always positive; see topDown
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = BI_RGB;
  uint32_t sizeImage = 0;
  uint32_t colorsUsed = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
  uint32_t tableEntries = 0;   // colour table entries the DIB carries
  uint32_t tableOffset = 0;    // where the colour table starts in the header span
  uint32_t entrySize = 4;      // 3 for core headers, 2 for DIB_PAL_COLORS
  uint32_t infoSize = 0;       // header + masks + colour table: where packed bits start
  uint64_t stride() const { return ((uint64_t(width) * bitCount + 31) / 32) * 4; }
};

// Parses the header span (header, masks, colour table). Null when the header
// is malformed, truncated or beyond the caps.
std::optional<DibHeader> parseDibHeader(std::span<const uint8_t> header, uint32_t usage);

struct DibDecodeOptions {
  bool keepAlpha = false;  // 32-bit DIBs keep their alpha (ARGB32 premultiplied)
  bool keepGaps = false;   // pixels RLE skips stay transparent instead of colour 0
};

// Decodes a DIB into an image whose row 0 is the top row: Format_RGB32, or
// ARGB32 premultiplied when `keepAlpha` and the DIB has 32 bits with some
// alpha. DIB_PAL_COLORS tables index `palette` (the default palette when
// null). Null when the DIB is malformed or larger than the caps.
std::optional<DecodedDib> decodeDib(std::span<const uint8_t> header, std::span<const uint8_t> bits, uint32_t usage,
                                    const PaletteObject* palette, bool keepAlpha);
std::optional<DecodedDib> decodeDib(std::span<const uint8_t> header, std::span<const uint8_t> bits, uint32_t usage,
                                    const PaletteObject* palette, const DibDecodeOptions& options);
// A packed DIB: header, colour table and bits in one block.
std::optional<DecodedDib> decodePackedDib(std::span<const uint8_t> packed, uint32_t usage,
                                          const PaletteObject* palette);

// The 20 colours of GDI's default palette.
const std::array<PALETTEENTRY, 20>& defaultPaletteEntries();
// The 16 colours of a 4-bit colour table (the VGA colours).
const std::array<QRgb, 16>& vgaColors();
// The 256 colours of an 8-bit colour table made without a logical palette:
// the default palette's colours at both ends, a 6x6x6 cube and greys between.
const std::array<QRgb, 256>& halftoneColors();

}  // namespace platform::gdi
