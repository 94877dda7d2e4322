#include "platform/gdi/Dib.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <bit>

namespace platform::gdi {
namespace {

constexpr uint32_t BI_ALPHABITFIELDS = 6;

uint16_t rd16(std::span<const uint8_t> s, size_t at) { return uint16_t(s[at] | (s[at + 1] << 8)); }
uint32_t rd32(std::span<const uint8_t> s, size_t at) {
  return uint32_t(s[at]) | (uint32_t(s[at + 1]) << 8) | (uint32_t(s[at + 2]) << 16) | (uint32_t(s[at + 3]) << 24);
}

bool withinCaps(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxDibSide && height <= kMaxDibSide &&
         width * height * 4 <= kMaxDibBytes;
}

// One colour channel of a bit-field pixel, scaled to eight bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  std::array<uint8_t, 256> scale{};

  explicit Channel(uint32_t m) : mask(m) {
    if (!mask) return;
    shift = std::countr_zero(mask);
    bits = std::countr_one(mask >> shift);
    if (bits < 8) {
      const uint32_t max = (1u << bits) - 1;
      for (uint32_t v = 0; v <= max; ++v) scale[v] = uint8_t((v * 255 + max / 2) / max);
    }
  }
  uint32_t operator()(uint32_t pixel) const {
    if (!bits) return 0;
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
    return scale[v & 0xFF];
  }
};

std::optional<DecodedDib> decodeCompressed(const DibHeader& h, std::span<const uint8_t> bits, bool keepAlpha) {
  size_t size = bits.size();
  if (h.sizeImage && h.sizeImage < size) size = h.sizeImage;
  if (size == 0) return std::nullopt;
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bits.data()), qsizetype(size));
  QBuffer buffer;
  buffer.setData(data);
  if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
  QImageReader reader(&buffer, h.compression == BI_JPEG ? "jpeg" : "png");
  const QSize declared = reader.size();
  if (!declared.isValid() || !withinCaps(declared.width(), declared.height())) return std::nullopt;
  QImage image;
  if (!reader.read(&image) || image.isNull() || !withinCaps(image.width(), image.height())) return std::nullopt;
  DecodedDib out;
  out.topDown = true;
  out.bitsPerPixel = h.bitCount ? h.bitCount : 24;
  out.hasAlpha = keepAlpha && image.hasAlphaChannel();
  out.image = image.convertToFormat(out.hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (out.image.isNull()) return std::nullopt;
  return out;
}

std::optional<DecodedDib> decodeRle(const DibHeader& h, std::span<const uint8_t> bits, const QRgb* table,
                                    const DibDecodeOptions& options) {
  size_t n = bits.size();
  if (h.sizeImage && h.sizeImage < n) n = h.sizeImage;
  const bool rle8 = h.compression == BI_RLE8;
  QImage image(h.width, h.height, options.keepGaps ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) return std::nullopt;
  image.fill(options.keepGaps ? QRgb(0) : (table[0] | 0xFF000000u));
  const int64_t width = h.width, height = h.height;
  auto put = [&](int64_t x, int64_t y, uint8_t index) {
    if (x < width && y < height) {
      reinterpret_cast<QRgb*>(image.scanLine(int(height - 1 - y)))[x] = table[index] | 0xFF000000u;
    }
  };
  const uint8_t* d = bits.data();
  size_t p = 0;
  int64_t x = 0, y = 0;
  while (p + 2 <= n && y < height) {
    const uint8_t count = d[p], value = d[p + 1];
    p += 2;
    if (count > 0) {
      // Runs past the row's end are clipped, as the pixels there do not exist.
      const int64_t visible = std::min<int64_t>(count, std::max<int64_t>(0, width - x));
      for (int64_t i = 0; i < visible; ++i) {
        put(x + i, y, rle8 ? value : uint8_t((i & 1) ? (value & 0x0F) : (value >> 4)));
      }
      x += count;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (p + 2 > n) return std::nullopt;
      x += d[p];
      y += d[p + 1];
      p += 2;
    } else {  // absolute run, padded to a 16-bit boundary
      const size_t bytes = rle8 ? value : (size_t(value) + 1) / 2;
      if (p + bytes > n) return std::nullopt;
      for (int64_t i = 0; i < value; ++i) {
        if (x + i >= width) break;
        const uint8_t byte = d[p + (rle8 ? size_t(i) : size_t(i) / 2)];
        put(x + i, y, rle8 ? byte : uint8_t((i & 1) ? (byte & 0x0F) : (byte >> 4)));
      }
      x += value;
      p += bytes + (bytes & 1);
    }
  }
  DecodedDib out;
  out.image = std::move(image);
  out.bitsPerPixel = h.bitCount;
  out.hasAlpha = false;
  return out;
}

void fillColorTable(const DibHeader& h, std::span<const uint8_t> header, uint32_t usage,
                    const PaletteObject* palette, QRgb* table) {
  std::fill(table, table + 256, qRgb(0, 0, 0));
  if (h.bitCount > 8 || h.tableOffset >= header.size()) return;
  const size_t available = (header.size() - h.tableOffset) / h.entrySize;
  const size_t entries = std::min<size_t>(h.tableEntries, available);
  for (size_t i = 0; i < entries; ++i) {
    const size_t at = h.tableOffset + i * h.entrySize;
    if (usage == DIB_PAL_COLORS) {
      const uint16_t index = rd16(header, at);
      if (palette) {
        if (index < palette->entries.size()) {
          const PALETTEENTRY& e = palette->entries[index];
          table[i] = qRgb(e.peRed, e.peGreen, e.peBlue);
        }
      } else if (index < defaultPaletteEntries().size()) {
        const PALETTEENTRY& e = defaultPaletteEntries()[index];
        table[i] = qRgb(e.peRed, e.peGreen, e.peBlue);
      }
    } else {
      table[i] = qRgb(header[at + 2], header[at + 1], header[at]);
    }
  }
}

}  // namespace

std::optional<DibHeader> parseDibHeader(std::span<const uint8_t> header, uint32_t usage) {
  if (header.size() < 4) return std::nullopt;
  DibHeader h;
  h.headerSize = rd32(header, 0);
  uint32_t maskBytes = 0;
  if (h.headerSize == 12) {
    if (header.size() < 12) return std::nullopt;
    h.width = rd16(header, 4);
    h.height = rd16(header, 6);
    h.bitCount = rd16(header, 10);
  } else if (h.headerSize >= 40 && h.headerSize <= header.size()) {
    h.width = int32_t(rd32(header, 4));
    const int32_t height = int32_t(rd32(header, 8));
    if (height == INT32_MIN) return std::nullopt;
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bitCount = rd16(header, 14);
    h.compression = rd32(header, 16);
    h.sizeImage = rd32(header, 20);
    h.colorsUsed = rd32(header, 32);
    if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
      size_t at = 40;
      const uint32_t count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
      if (h.headerSize < 52) {
        // Masks follow a plain info header.
        maskBytes = count * 4;
        at = h.headerSize;
        if (header.size() < size_t(h.headerSize) + maskBytes) return std::nullopt;
      }
      h.redMask = rd32(header, at);
      h.greenMask = rd32(header, at + 4);
      h.blueMask = rd32(header, at + 8);
      if (count == 4 || h.headerSize >= 56) h.alphaMask = rd32(header, at + 12);
      if (!h.redMask && !h.greenMask && !h.blueMask) return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  if (!withinCaps(h.width, h.height)) return std::nullopt;

  switch (h.compression) {
    case BI_RGB:
      if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 && h.bitCount != 24 &&
          h.bitCount != 32)
        return std::nullopt;
      if (h.bitCount == 16) h.redMask = 0x7C00, h.greenMask = 0x03E0, h.blueMask = 0x001F;
      if (h.bitCount == 32) h.redMask = 0xFF0000, h.greenMask = 0xFF00, h.blueMask = 0xFF;
      break;
    case BI_RLE8:
      if (h.bitCount != 8 || h.topDown) return std::nullopt;
      break;
    case BI_RLE4:
      if (h.bitCount != 4 || h.topDown) return std::nullopt;
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      if (h.bitCount != 16 && h.bitCount != 32) return std::nullopt;
      break;
    case BI_JPEG:
    case BI_PNG:
      break;
    default:
      return std::nullopt;
  }

  h.entrySize = usage == DIB_PAL_COLORS ? 2 : (h.headerSize == 12 ? 3 : 4);
  h.tableOffset = h.headerSize + maskBytes;
  if (h.bitCount >= 1 && h.bitCount <= 8) {
    const uint32_t max = 1u << h.bitCount;
    h.tableEntries = h.colorsUsed == 0 ? max : std::min(h.colorsUsed, max);
  } else {
    // Deeper DIBs may carry an optimisation palette that only moves the bits.
    h.tableEntries = std::min<uint32_t>(h.colorsUsed, 256);
  }
  h.infoSize = h.tableOffset + h.tableEntries * h.entrySize;
  return h;
}

std::optional<DecodedDib> decodeDib(std::span<const uint8_t> header, std::span<const uint8_t> bits, uint32_t usage,
                                    const PaletteObject* palette, bool keepAlpha) {
  DibDecodeOptions options;
  options.keepAlpha = keepAlpha;
  return decodeDib(header, bits, usage, palette, options);
}

std::optional<DecodedDib> decodeDib(std::span<const uint8_t> header, std::span<const uint8_t> bits, uint32_t usage,
                                    const PaletteObject* palette, const DibDecodeOptions& options) {
  const auto parsed = parseDibHeader(header, usage);
  if (!parsed) return std::nullopt;
  const DibHeader& h = *parsed;
  if (h.compression == BI_JPEG || h.compression == BI_PNG) return decodeCompressed(h, bits, options.keepAlpha);

  std::array<QRgb, 256> table;
  fillColorTable(h, header, usage, palette, table.data());
  if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
    auto out = decodeRle(h, bits, table.data(), options);
    if (out) out->topDown = false;
    return out;
  }

  const uint64_t stride = h.stride();
  const uint64_t rowBytes = (uint64_t(h.width) * h.bitCount + 7) / 8;
  // The last row may lack its padding.
  if (bits.size() < stride * uint64_t(h.height - 1) + rowBytes) return std::nullopt;

  const bool deep = h.bitCount == 32;
  QImage image(h.width, h.height, deep ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  if (image.isNull()) return std::nullopt;
  const Channel red(h.redMask), green(h.greenMask), blue(h.blueMask), alpha(h.alphaMask);
  const bool plain32 = deep && h.redMask == 0xFF0000 && h.greenMask == 0xFF00 && h.blueMask == 0xFF;
  bool anyAlpha = false;
  const int width = h.width;
  for (int r = 0; r < h.height; ++r) {
    const uint8_t* row = bits.data() + stride * uint64_t(r);
    QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(h.topDown ? r : h.height - 1 - r));
    switch (h.bitCount) {
      case 1:
        for (int x = 0; x < width; ++x) out[x] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int x = 0; x < width; ++x) out[x] = table[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
        break;
      case 8:
        for (int x = 0; x < width; ++x) out[x] = table[row[x]];
        break;
      case 16:
        for (int x = 0; x < width; ++x) {
          const uint32_t px = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
          out[x] = qRgb(int(red(px)), int(green(px)), int(blue(px)));
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          const uint32_t px = uint32_t(row[4 * x]) | (uint32_t(row[4 * x + 1]) << 8) |
                              (uint32_t(row[4 * x + 2]) << 16) | (uint32_t(row[4 * x + 3]) << 24);
          uint32_t a;
          if (plain32) {
            // The top byte of a plain 32-bit pixel is the alpha blends read.
            out[x] = px;
            a = px >> 24;
          } else {
            a = h.alphaMask ? alpha(px) : 0;
            out[x] = qRgba(int(red(px)), int(green(px)), int(blue(px)), int(a));
          }
          anyAlpha |= a != 0;
        }
        break;
      default:
        return std::nullopt;
    }
  }

  DecodedDib result;
  result.topDown = h.topDown;
  result.bitsPerPixel = h.bitCount;
  if (h.bitCount == 1) {
    result.monochrome = true;
    result.color0 = table[0];
    result.color1 = table[1];
  }
  if (deep) {
    result.hasAlpha = options.keepAlpha && anyAlpha;
    for (int r = 0; r < h.height; ++r) {
      QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(r));
      for (int x = 0; x < width; ++x) {
        if (result.hasAlpha) {
          // Premultiplied colour never exceeds its alpha.
          const int a = qAlpha(line[x]);
          line[x] = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a), std::min(qBlue(line[x]), a), a);
        } else {
          line[x] |= 0xFF000000u;
        }
      }
    }
    if (!result.hasAlpha) image.reinterpretAsFormat(QImage::Format_RGB32);
  }
  result.image = std::move(image);
  return result;
}

std::optional<DecodedDib> decodePackedDib(std::span<const uint8_t> packed, uint32_t usage,
                                          const PaletteObject* palette) {
  const auto h = parseDibHeader(packed, usage);
  if (!h || h->infoSize > packed.size()) return std::nullopt;
  return decodeDib(packed.first(h->infoSize), packed.subspan(h->infoSize), usage, palette, false);
}

const std::array<PALETTEENTRY, 20>& defaultPaletteEntries() {
  static const std::array<PALETTEENTRY, 20> entries{{
      {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
      {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
      {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
      {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
  }};
  return entries;
}

const std::array<QRgb, 16>& vgaColors() {
  static const std::array<QRgb, 16> colors{
      qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
      qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
      qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
      qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
  };
  return colors;
}

const std::array<QRgb, 256>& halftoneColors() {
  static const std::array<QRgb, 256> colors = [] {
    std::array<QRgb, 256> c{};
    const auto& def = defaultPaletteEntries();
    for (int i = 0; i < 10; ++i) {
      c[i] = qRgb(def[i].peRed, def[i].peGreen, def[i].peBlue);
      c[246 + i] = qRgb(def[10 + i].peRed, def[10 + i].peGreen, def[10 + i].peBlue);
    }
    int at = 10;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) c[at++] = qRgb(r * 51, g * 51, b * 51);
    for (int i = 1; i <= 20; ++i) {
      const int v = i * 255 / 21;
      c[at++] = qRgb(v, v, v);
    }
    return c;
  }();
  return colors;
}

}  // namespace platform::gdi
