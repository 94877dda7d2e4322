// Device-dependent bitmaps: making them, describing them (GetObject) and
// reading them back as DIBs (GetDIBits). Pixels are kept at 32 bits; the
// depth a bitmap was made with decides what GetObject and GetDIBits report
// and which colours a monochrome bitmap can hold.

#include <QPainter>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/BitmapApi.h"
#include "platform/gdi/BlitSupport.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Dib.h"
#include "platform/system/LastError.h"

namespace platform {
namespace {

using gdi::BitmapObject;

bool validDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

uint32_t ddbStride(int64_t width, uint32_t bits) { return uint32_t(((width * bits + 15) / 16) * 2); }
uint64_t dibStride(int64_t width, uint32_t bits) { return uint64_t(((width * bits + 31) / 32) * 4); }

bool withinCaps(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= gdi::kMaxDibSide && height <= gdi::kMaxDibSide &&
         width * height * 4 <= gdi::kMaxDibBytes;
}

// A new bitmap of `bits` depth, black as GDI makes them.
std::optional<BitmapObject> blankBitmap(int width, int height, int bits) {
  if (!withinCaps(width, height)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return std::nullopt;
  }
  BitmapObject bitmap;
  bitmap.image = std::make_shared<QImage>(width, height, QImage::Format_RGB32);
  if (bitmap.image->isNull()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return std::nullopt;
  }
  bitmap.image->fill(qRgb(0, 0, 0));
  bitmap.bitsPerPixel = bits;
  return bitmap;
}

// The depth of bitmaps compatible with a context: a memory context's
// selected bitmap's, else the device's.
int compatibleDepth(gdi::DeviceContext& dc) {
  if (dc.isMemoryDc()) {
    if (auto bitmap = gdi::objectAs<BitmapObject>(dc.state.bitmap)) return bitmap->bitsPerPixel;
  }
  return dc.description().bitsPerPixel;
}

void toMonochrome(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = gdi::isWhitish(line[x]) ? 0xFFFFFFFFu : 0xFF000000u;
  }
}

// The colour table GetDIBits writes for `bits` (1, 4 or 8) from a context.
std::vector<QRgb> dibColorTable(gdi::DeviceContext& dc, uint32_t bits) {
  if (bits == 1) return {qRgb(0, 0, 0), qRgb(255, 255, 255)};
  if (bits == 4) return {gdi::vgaColors().begin(), gdi::vgaColors().end()};
  const auto& palette = dc.state.paletteObject;
  if (!palette || dc.state.palette == gdi::stockObject(DEFAULT_PALETTE)) {
    return {gdi::halftoneColors().begin(), gdi::halftoneColors().end()};
  }
  // A selected logical palette gives the table; entries it lacks are black.
  std::vector<QRgb> table(256, qRgb(0, 0, 0));
  for (size_t i = 0; i < palette->entries.size() && i < 256; ++i) {
    const PALETTEENTRY& e = palette->entries[i];
    table[i] = qRgb(e.peRed, e.peGreen, e.peBlue);
  }
  return table;
}

// Nearest entry of a colour table; pictures repeat their colours, so the
// answers are kept.
class NearestColor {
 public:
  explicit NearestColor(const std::vector<QRgb>& table) : table_(table) {}
  uint8_t operator()(QRgb c) {
    c &= 0xFFFFFF;
    if (auto it = cache_.find(c); it != cache_.end()) return it->second;
    int best = 0;
    int64_t bestDistance = INT64_MAX;
    for (size_t i = 0; i < table_.size(); ++i) {
      const int dr = qRed(c) - qRed(table_[i]), dg = qGreen(c) - qGreen(table_[i]), db = qBlue(c) - qBlue(table_[i]);
      const int64_t d = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db;
      if (d < bestDistance) {
        bestDistance = d;
        best = int(i);
        if (d == 0) break;
      }
    }
    if (cache_.size() < (1u << 16)) cache_.emplace(c, uint8_t(best));
    return uint8_t(best);
  }

 private:
  const std::vector<QRgb>& table_;
  std::unordered_map<QRgb, uint8_t> cache_;
};

void writeRow(const QRgb* in, int width, uint32_t bits, bool fields565, NearestColor* nearest, uint8_t* out) {
  switch (bits) {
    case 1:
      for (int x = 0; x < width; ++x) {
        if ((*nearest)(in[x])) out[x >> 3] = uint8_t(out[x >> 3] | (0x80 >> (x & 7)));
      }
      break;
    case 4:
      for (int x = 0; x < width; ++x) out[x >> 1] = uint8_t(out[x >> 1] | ((*nearest)(in[x]) << ((x & 1) ? 0 : 4)));
      break;
    case 8:
      for (int x = 0; x < width; ++x) out[x] = (*nearest)(in[x]);
      break;
    case 16:
      for (int x = 0; x < width; ++x) {
        const uint32_t r = uint32_t(qRed(in[x])), g = uint32_t(qGreen(in[x])), b = uint32_t(qBlue(in[x]));
        const uint32_t v = fields565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                     : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        out[2 * x] = uint8_t(v);
        out[2 * x + 1] = uint8_t(v >> 8);
      }
      break;
    case 24:
      for (int x = 0; x < width; ++x) {
        out[3 * x] = uint8_t(qBlue(in[x]));
        out[3 * x + 1] = uint8_t(qGreen(in[x]));
        out[3 * x + 2] = uint8_t(qRed(in[x]));
      }
      break;
    default:  // 32: the fourth byte of a device bitmap's pixel reads as zero
      for (int x = 0; x < width; ++x) {
        out[4 * x] = uint8_t(qBlue(in[x]));
        out[4 * x + 1] = uint8_t(qGreen(in[x]));
        out[4 * x + 2] = uint8_t(qRed(in[x]));
        out[4 * x + 3] = 0;
      }
      break;
  }
}

}  // namespace

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return nullptr;
  if (width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return gdi::defaultBitmap();
  auto bitmap = blankBitmap(width, height, compatibleDepth(*dc));
  return bitmap ? gdi::addObject(std::move(*bitmap)) : nullptr;
}

HBITMAP CreateBitmap(int width, int height, uint32_t planes, uint32_t bitsPerPixel, const void* bits) {
  if (width < 0 || height < 0 || planes != 1 || bitsPerPixel == 0 || bitsPerPixel > 32) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return gdi::defaultBitmap();
  const uint32_t depth = bitsPerPixel == 1 ? 1 : bitsPerPixel <= 4 ? 4 : bitsPerPixel <= 8 ? 8
                         : bitsPerPixel <= 16 ? 16 : bitsPerPixel <= 24 ? 24 : 32;
  auto bitmap = blankBitmap(width, height, int(depth));
  if (!bitmap) return nullptr;
  if (bits) {
    // Device bitmap rows are padded to 16 bits, top row first.
    const auto* data = static_cast<const uint8_t*>(bits);
    const uint32_t stride = ddbStride(width, depth);
    const auto& vga = gdi::vgaColors();
    const auto& halftone = gdi::halftoneColors();
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = data + size_t(stride) * size_t(y);
      QRgb* out = reinterpret_cast<QRgb*>(bitmap->image->scanLine(y));
      for (int x = 0; x < width; ++x) {
        switch (depth) {
          case 1: out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0); break;
          case 4: out[x] = vga[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)]; break;
          case 8: out[x] = halftone[row[x]]; break;
          case 16: {
            const uint32_t v = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
            auto five = [](uint32_t c) { return int((c << 3) | (c >> 2)); };
            out[x] = qRgb(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
            break;
          }
          case 24: out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
          default: out[x] = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
        }
      }
    }
  }
  return gdi::addObject(std::move(*bitmap));
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, uint32_t init, const void* bits, size_t bitsSize,
                       const BITMAPINFO* info, size_t infoSize, uint32_t usage) {
  if (!header) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  gdi::DeviceContext* dc = hdc ? gdi::dcOrFail(hdc) : nullptr;
  if (hdc && !dc) return nullptr;
  int width = 0, height = 0;
  if (header->biSize == sizeof(BITMAPCOREHEADER)) {
    const auto* core = reinterpret_cast<const BITMAPCOREHEADER*>(header);
    width = core->bcWidth;
    height = core->bcHeight;
  } else if (header->biSize >= sizeof(BITMAPINFOHEADER)) {
    width = header->biWidth;
    height = header->biHeight == INT32_MIN ? 0 : std::abs(header->biHeight);
  }
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int depth = dc ? compatibleDepth(*dc) : 32;
  auto bitmap = blankBitmap(width, height, depth);
  if (!bitmap) return nullptr;
  if ((init & CBM_INIT) && bits && info) {
    const auto dib = gdi::decodeDib({reinterpret_cast<const uint8_t*>(info), infoSize},
                                    {static_cast<const uint8_t*>(bits), bitsSize}, usage,
                                    dc ? dc->state.paletteObject.get() : nullptr, depth == 32);
    if (!dib) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    if (dib->hasAlpha) {
      // 32-bit device bitmaps keep the alpha bytes AlphaBlend reads.
      *bitmap->image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
      bitmap->image->fill(0);
    }
    {
      QPainter painter(bitmap->image.get());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(0, 0, dib->image);
    }
    if (depth == 1) toMonochrome(*bitmap->image);
  }
  return gdi::addObject(std::move(*bitmap));
}

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  auto held = gdi::objectFromHandle(object);
  if (!held) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  // The structure describing the object, or none (regions).
  std::vector<uint8_t> bytes;
  bool partialAllowed = false;
  auto put = [&bytes](const auto& value) {
    bytes.resize(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
  };
  if (const auto* pen = std::get_if<gdi::PenObject>(held.get())) {
    LOGPEN p{};
    p.lopnStyle = pen->style;
    p.lopnWidth = {pen->width, 0};
    p.lopnColor = pen->color;
    put(p);
  } else if (const auto* brush = std::get_if<gdi::BrushObject>(held.get())) {
    LOGBRUSH b{};
    b.lbStyle = brush->style;
    b.lbColor = brush->color;
    b.lbHatch = brush->hatch;
    put(b);
  } else if (const auto* font = std::get_if<gdi::FontObject>(held.get())) {
    put(font->logfont);
    partialAllowed = true;
  } else if (const auto* palette = std::get_if<gdi::PaletteObject>(held.get())) {
    put(uint16_t(palette->entries.size()));
  } else if (const auto* bitmap = std::get_if<gdi::BitmapObject>(held.get())) {
    BITMAP b{};
    b.bmType = 0;
    b.bmWidth = bitmap->image ? bitmap->image->width() : 0;
    b.bmHeight = bitmap->image ? bitmap->image->height() : 0;
    b.bmWidthBytes = int32_t(ddbStride(b.bmWidth, uint32_t(bitmap->bitsPerPixel)));
    b.bmPlanes = 1;
    b.bmBitsPixel = uint16_t(bitmap->bitsPerPixel);
    b.bmBits = nullptr;
    put(b);
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = int(bytes.size());
  if (!buffer) return needed;
  if (size < needed) {
    // Fonts give as much of the LOGFONT as there is room for; the rest nothing.
    if (!partialAllowed || size <= 0) return 0;
    std::memcpy(buffer, bytes.data(), size_t(size));
    return size;
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  return needed;
}

int GetDIBits(HDC hdc, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info,
              uint32_t usage) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return 0;
  auto object = gdi::objectAs<BitmapObject>(bitmap);
  if (!object || !object->image) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAPINFOHEADER& h = info->bmiHeader;
  const QImage& image = *object->image;
  const int width = image.width(), height = image.height();

  if (h.biBitCount == 0) {
    // Only the bitmap's description is asked for.
    if (bits) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = uint16_t(object->bitsPerPixel);
    h.biCompression = BI_RGB;
    h.biSizeImage = uint32_t(dibStride(width, h.biBitCount) * uint64_t(height));
    h.biXPelsPerMeter = h.biYPelsPerMeter = 0;
    h.biClrUsed = h.biClrImportant = 0;
    return 1;
  }
  const uint32_t depth = h.biBitCount;
  const bool fields = h.biCompression == BI_BITFIELDS;
  if (!validDepth(depth) || (h.biCompression != BI_RGB && !(fields && (depth == 16 || depth == 32)))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  // Colour table (or bit-field masks) after the header.
  auto* table = reinterpret_cast<uint8_t*>(info) + h.biSize;
  std::vector<QRgb> colors;
  if (depth <= 8) {
    colors = dibColorTable(*dc, depth);
    const size_t entries = size_t(1) << depth;
    colors.resize(entries, qRgb(0, 0, 0));
    for (size_t i = 0; i < entries; ++i) {
      if (usage == DIB_PAL_COLORS) {
        const uint16_t index = uint16_t(i);
        std::memcpy(table + 2 * i, &index, 2);
      } else {
        const RGBQUAD q{uint8_t(qBlue(colors[i])), uint8_t(qGreen(colors[i])), uint8_t(qRed(colors[i])), 0};
        std::memcpy(table + 4 * i, &q, 4);
      }
    }
  } else if (fields) {
    const uint32_t masks[3] = {depth == 16 ? 0xF800u : 0xFF0000u, depth == 16 ? 0x07E0u : 0xFF00u,
                               depth == 16 ? 0x001Fu : 0xFFu};
    std::memcpy(table, masks, sizeof masks);
  }

  const bool topDown = h.biHeight < 0;
  const int64_t outWidth = h.biWidth, outHeight = h.biHeight == INT32_MIN ? 0 : std::abs(int64_t(h.biHeight));
  if (!bits) {
    // The caller learns the sizes before it gives room for the bits.
    h.biWidth = width;
    h.biHeight = topDown ? -height : height;
    h.biPlanes = 1;
    h.biSizeImage = uint32_t(dibStride(width, depth) * uint64_t(height));
    return 1;
  }
  if (!withinCaps(outWidth, outHeight)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const uint64_t stride = dibStride(outWidth, depth);
  if (start >= outHeight) return 0;
  const uint32_t count = uint32_t(std::min<int64_t>(lines, outHeight - start));
  NearestColor nearest(colors);
  std::vector<QRgb> row(size_t(outWidth), qRgb(0, 0, 0));
  auto* out = static_cast<uint8_t*>(bits);
  for (uint32_t j = 0; j < count; ++j) {
    // Scan lines count from the bottom of a bottom-up DIB.
    const int64_t scan = int64_t(start) + j;
    const int64_t y = topDown ? scan : outHeight - 1 - scan;
    std::fill(row.begin(), row.end(), qRgb(0, 0, 0));
    if (y < height) {
      const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(int(y)));
      std::copy(in, in + std::min<int64_t>(width, outWidth), row.begin());
    }
    uint8_t* line = out + stride * j;
    std::memset(line, 0, size_t(stride));
    writeRow(row.data(), int(outWidth), depth, fields, &nearest, line);
  }
  h.biSizeImage = uint32_t(stride * uint64_t(outHeight));
  return int(count);
}

}  // namespace platform
