// Bitmap records: blits with and without a source bitmap, DIBs to the
// device, alpha and transparent blends, and DIB pattern brushes. Header,
// colour table and pixels are checked against the record and copied out
// before anything decodes them; pictures larger than the data can describe
// are refused here.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/Gdi.h"

namespace platform::emf {

namespace {

constexpr uint32_t CBM_INIT = 4;
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;        // a 600 dpi A3 page and then some
constexpr uint64_t kMaxPatternPixels = uint64_t{1} << 22;  // brushes repeat small tiles
constexpr size_t kInfoPadding = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

// The source fields shared by the blit records, at their offsets.
struct SourceFields {
  int32_t x = 0, y = 0;
  XFORM xform{1, 0, 0, 1, 0, 0};
  uint32_t usage = 0, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
};

std::optional<SourceFields> readSource(const RecordReader& r, uint64_t xAt, uint64_t xformAt, uint64_t usageAt) {
  const auto x = r.get<int32_t>(xAt), y = r.get<int32_t>(xAt + 4);
  const auto xform = r.get<XFORM>(xformAt);
  const auto usage = r.get<uint32_t>(usageAt), offBmi = r.get<uint32_t>(usageAt + 4);
  const auto cbBmi = r.get<uint32_t>(usageAt + 8), offBits = r.get<uint32_t>(usageAt + 12);
  const auto cbBits = r.get<uint32_t>(usageAt + 16);
  if (!x || !y || !xform || !usage || !offBmi || !cbBmi || !offBits || !cbBits) return std::nullopt;
  return SourceFields{*x, *y, *xform, *usage, *offBmi, *cbBmi, *offBits, *cbBits};
}

// The source rectangle through the source DC's transform, when that is a
// plain scale and offset (as recorded blits have); else as it stands.
void mapSource(const XFORM& t, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
  if (t.eM12 != 0 || t.eM21 != 0 || !std::isfinite(t.eM11) || !std::isfinite(t.eM22) || !std::isfinite(t.eDx) ||
      !std::isfinite(t.eDy) || t.eM11 == 0 || t.eM22 == 0)
    return;
  const auto fit = [](double v) { return static_cast<int32_t>(std::clamp(std::round(v), -1e9, 1e9)); };
  const double x0 = x * double(t.eM11) + t.eDx, y0 = y * double(t.eM22) + t.eDy;
  x = fit(x0);
  y = fit(y0);
  w = fit(w * double(t.eM11));
  h = fit(h * double(t.eM22));
}

// StretchDIBits counts source rows of a bottom-up DIB from its bottom row;
// blit records count them from the top.
int32_t dibRowFromTop(const RecordDib& dib, int32_t y, int32_t h) {
  if (dib.height < 0) return y;
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{dib.height} - y - h, -(int64_t{1} << 30), int64_t{1} << 30));
}

// A memory context with the DIB selected, for the blits that take one.
class SourceDc {
 public:
  SourceDc(HDC target, const RecordDib& dib, uint32_t usage) {
    bitmap_ = CreateDIBitmap(target, &dib.bitmapInfo()->bmiHeader, CBM_INIT, dib.bits.data(), dib.bits.size(),
                             dib.bitmapInfo(), dib.info.size(), usage);
    if (bitmap_ == nullptr) return;
    dc_ = CreateCompatibleDC(target);
    if (dc_ != nullptr) old_ = SelectObject(dc_, bitmap_);
  }
  ~SourceDc() {
    if (dc_ != nullptr) {
      if (old_ != nullptr) SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  SourceDc(const SourceDc&) = delete;
  SourceDc& operator=(const SourceDc&) = delete;
  HDC dc() const { return old_ != nullptr ? dc_ : nullptr; }

 private:
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// A monochrome device bitmap from a 1-bit DIB (word-aligned rows, top row
// first, 1 for the lighter colour), as masks and mono brushes need.
HBITMAP monoBitmap(const RecordDib& dib) {
  if (dib.bitCount != 1 || dib.width <= 0 || dib.height == 0) return nullptr;
  const auto* header = &dib.bitmapInfo()->bmiHeader;
  if (header->biSize >= sizeof(BITMAPINFOHEADER) && header->biCompression != BI_RGB) return nullptr;
  const uint64_t width = uint64_t(dib.width);
  const uint64_t height = uint64_t(std::abs(int64_t{dib.height}));
  const uint64_t dibStride = (width + 31) / 32 * 4;
  const uint64_t rowBytes = (width + 15) / 16 * 2;
  if (dibStride * height > dib.bits.size()) return nullptr;
  // The colour table says which bit value is the lighter one.
  bool invert = false;
  const size_t colours = header->biSize >= sizeof(BITMAPINFOHEADER) ? header->biSize : 12;
  const size_t entry = header->biSize >= sizeof(BITMAPINFOHEADER) ? 4 : 3;
  if (dib.info.size() >= colours + 2 * entry) {
    const uint8_t* c = dib.info.data() + colours;
    invert = int(c[0]) + c[1] + c[2] > int(c[entry]) + c[entry + 1] + c[entry + 2];
  }
  std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * height));
  for (uint64_t row = 0; row < height; ++row) {
    const uint64_t from = dib.height > 0 ? height - 1 - row : row;
    const uint8_t* src = dib.bits.data() + from * dibStride;
    uint8_t* dst = rows.data() + row * rowBytes;
    for (uint64_t i = 0; i < rowBytes; ++i) dst[i] = static_cast<uint8_t>(invert ? ~src[i] : src[i]);
  }
  return CreateBitmap(dib.width, static_cast<int>(height), 1, 1, rows.data());
}

}  // namespace

std::optional<RecordDib> Playback::dibFromRecord(const RecordReader& r, uint32_t offBmi, uint32_t cbBmi,
                                                 uint32_t offBits, uint32_t cbBits) const {
  if (cbBmi < sizeof(BITMAPCOREHEADER) || !r.fits(offBmi, cbBmi) || !r.fits(offBits, cbBits)) return std::nullopt;
  const auto headerSize = r.get<uint32_t>(offBmi);
  if (!headerSize || *headerSize > cbBmi) return std::nullopt;
  RecordDib dib;
  uint32_t compression = BI_RGB;
  if (*headerSize == sizeof(BITMAPCOREHEADER)) {
    const auto core = r.get<BITMAPCOREHEADER>(offBmi);
    dib.width = core->bcWidth;
    dib.height = core->bcHeight;
    dib.bitCount = core->bcBitCount;
  } else if (*headerSize >= sizeof(BITMAPINFOHEADER)) {
    const auto info = r.get<BITMAPINFOHEADER>(offBmi);
    dib.width = info->biWidth;
    dib.height = info->biHeight;
    dib.bitCount = info->biBitCount;
    compression = info->biCompression;
  } else {
    return std::nullopt;
  }
  if (dib.width <= 0 || dib.height == 0 || dib.height == INT32_MIN) return std::nullopt;
  const uint64_t pixels = uint64_t(dib.width) * uint64_t(std::abs(int64_t{dib.height}));
  if (pixels > kMaxPixels) return std::nullopt;
  if (compression == BI_RGB || compression == BI_BITFIELDS) {
    // Uncompressed pixels must all be there.
    if (dib.bitCount == 0 || dib.bitCount > 32) return std::nullopt;
    const uint64_t stride = (uint64_t(dib.width) * dib.bitCount + 31) / 32 * 4;
    if (stride * uint64_t(std::abs(int64_t{dib.height})) > cbBits) return std::nullopt;
  } else if (pixels > (uint64_t{1} << 22) + uint64_t{cbBits} * 512) {
    // Compressed data cannot describe a picture much larger than itself.
    return std::nullopt;
  }
  const uint8_t* info = r.bytes(offBmi, cbBmi);
  const uint8_t* bits = r.bytes(offBits, cbBits);
  // Zeros after the header and colours, for readers that look at a full
  // BITMAPINFOHEADER or colour table; the sizes passed on are the real ones.
  dib.info.assign(info, info + cbBmi);
  dib.info.resize(std::max<size_t>(cbBmi, kInfoPadding), 0);
  dib.bits.assign(bits, bits + cbBits);
  return dib;
}

Outcome Playback::bitmapRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_MASKBLT: {
      const auto dest = r.get<RECT>(24);  // x, y, cx, cy
      const auto rop = r.get<uint32_t>(40);
      const auto source = readSource(r, 44, 52, 80);
      if (!dest || !rop || !source) return Outcome::Malformed;
      const int32_t x = dest->left, y = dest->top, cx = dest->right, cy = dest->bottom;
      if (source->cbBmi == 0) {
        // No source bitmap: a pattern blit.
        PatBlt(hdc_, x, y, cx, cy, *rop & 0x00FFFFFF);
        return Outcome::Played;
      }
      int32_t sx = source->x, sy = source->y, scx = cx, scy = cy;
      if (type == EMR_STRETCHBLT) {
        const auto w = r.get<int32_t>(100), h = r.get<int32_t>(104);
        if (!w || !h) return Outcome::Malformed;
        scx = *w;
        scy = *h;
      }
      mapSource(source->xform, sx, sy, scx, scy);
      const auto dib = dibFromRecord(r, source->offBmi, source->cbBmi, source->offBits, source->cbBits);
      if (!dib) return Outcome::Malformed;
      const size_t infoSize = source->cbBmi;
      if (type == EMR_MASKBLT) {
        const auto mx = r.get<int32_t>(100), my = r.get<int32_t>(104);
        const auto maskUsage = r.get<uint32_t>(108), offMask = r.get<uint32_t>(112);
        const auto cbMask = r.get<uint32_t>(116), offMaskBits = r.get<uint32_t>(120);
        const auto cbMaskBits = r.get<uint32_t>(124);
        if (!mx || !my || !maskUsage || !offMask || !cbMask || !offMaskBits || !cbMaskBits) return Outcome::Malformed;
        if (*cbMask != 0) {
          const auto maskDib = dibFromRecord(r, *offMask, *cbMask, *offMaskBits, *cbMaskBits);
          if (!maskDib) return Outcome::Malformed;
          SourceDc src(hdc_, *dib, source->usage);
          HBITMAP mask = monoBitmap(*maskDib);
          if (src.dc() != nullptr && mask != nullptr)
            MaskBlt(hdc_, x, y, cx, cy, src.dc(), sx, sy, mask, *mx, *my, *rop);
          if (mask != nullptr) DeleteObject(mask);
          return Outcome::Played;
        }
      }
      // Without a mask a mask blit is its foreground operation.
      const uint32_t operation = type == EMR_MASKBLT ? (*rop & 0x00FFFFFF) : *rop;
      StretchDIBits(hdc_, x, y, cx, cy, sx, dibRowFromTop(*dib, sy, scy), scx, scy, dib->bits.data(),
                    dib->bits.size(), dib->bitmapInfo(), infoSize, source->usage, operation);
      return Outcome::Played;
    }
    case EMR_PLGBLT: {
      std::vector<POINT> corners;
      const auto sx = r.get<int32_t>(48), sy = r.get<int32_t>(52);
      const auto scx = r.get<int32_t>(56), scy = r.get<int32_t>(60);
      const auto source = readSource(r, 48, 64, 92);
      const auto mx = r.get<int32_t>(112), my = r.get<int32_t>(116);
      const auto offMask = r.get<uint32_t>(124), cbMask = r.get<uint32_t>(128);
      const auto offMaskBits = r.get<uint32_t>(132), cbMaskBits = r.get<uint32_t>(136);
      if (!r.array(24, 3, corners) || !sx || !sy || !scx || !scy || !source || !mx || !my || !offMask || !cbMask ||
          !offMaskBits || !cbMaskBits)
        return Outcome::Malformed;
      if (source->cbBmi == 0) return Outcome::Played;
      const auto dib = dibFromRecord(r, source->offBmi, source->cbBmi, source->offBits, source->cbBits);
      if (!dib) return Outcome::Malformed;
      HBITMAP mask = nullptr;
      if (*cbMask != 0) {
        const auto maskDib = dibFromRecord(r, *offMask, *cbMask, *offMaskBits, *cbMaskBits);
        if (!maskDib) return Outcome::Malformed;
        mask = monoBitmap(*maskDib);
      }
      SourceDc src(hdc_, *dib, source->usage);
      if (src.dc() != nullptr) PlgBlt(hdc_, corners.data(), src.dc(), *sx, *sy, *scx, *scy, mask, *mx, *my);
      if (mask != nullptr) DeleteObject(mask);
      return Outcome::Played;
    }
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS: {
      const auto x = r.get<int32_t>(24), y = r.get<int32_t>(28);
      const auto sx = r.get<int32_t>(32), sy = r.get<int32_t>(36);
      const auto scx = r.get<int32_t>(40), scy = r.get<int32_t>(44);
      const auto offBmi = r.get<uint32_t>(48), cbBmi = r.get<uint32_t>(52);
      const auto offBits = r.get<uint32_t>(56), cbBits = r.get<uint32_t>(60);
      const auto usage = r.get<uint32_t>(64);
      const auto a = r.get<uint32_t>(68), b = r.get<uint32_t>(72);  // startScan, scans | rop, cxDest
      if (!x || !y || !sx || !sy || !scx || !scy || !offBmi || !cbBmi || !offBits || !cbBits || !usage || !a || !b)
        return Outcome::Malformed;
      if (type == EMR_STRETCHDIBITS) {
        const auto cyDest = r.get<int32_t>(76);
        if (!cyDest) return Outcome::Malformed;
        if (*cbBmi == 0) {
          PatBlt(hdc_, *x, *y, static_cast<int32_t>(*b), *cyDest, *a & 0x00FFFFFF);
          return Outcome::Played;
        }
        const auto dib = dibFromRecord(r, *offBmi, *cbBmi, *offBits, *cbBits);
        if (!dib) return Outcome::Malformed;
        StretchDIBits(hdc_, *x, *y, static_cast<int32_t>(*b), *cyDest, *sx, *sy, *scx, *scy, dib->bits.data(),
                      dib->bits.size(), dib->bitmapInfo(), *cbBmi, *usage, *a);
        return Outcome::Played;
      }
      if (*cbBmi == 0) return Outcome::Played;
      const auto dib = dibFromRecord(r, *offBmi, *cbBmi, *offBits, *cbBits);
      if (!dib) return Outcome::Malformed;
      const uint64_t rows = uint64_t(std::abs(int64_t{dib->height}));
      if (*a == 0 && *b >= rows) {
        // The whole DIB: drawn in logical units, so that it scales with the
        // playback as the rest of the picture does.
        StretchDIBits(hdc_, *x, *y, *scx, *scy, *sx, *sy, *scx, *scy, dib->bits.data(), dib->bits.size(),
                      dib->bitmapInfo(), *cbBmi, *usage, SRCCOPY);
      } else {
        SetDIBitsToDevice(hdc_, *x, *y, static_cast<uint32_t>(*scx), static_cast<uint32_t>(*scy), *sx, *sy, *a, *b,
                          dib->bits.data(), dib->bits.size(), dib->bitmapInfo(), *cbBmi, *usage);
      }
      return Outcome::Played;
    }
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT: {
      const auto dest = r.get<RECT>(24);
      const auto parameter = r.get<uint32_t>(40);  // BLENDFUNCTION or transparent colour
      const auto source = readSource(r, 44, 52, 80);
      const auto scx = r.get<int32_t>(100), scy = r.get<int32_t>(104);
      if (!dest || !parameter || !source || !scx || !scy) return Outcome::Malformed;
      if (source->cbBmi == 0) return Outcome::Played;
      const auto dib = dibFromRecord(r, source->offBmi, source->cbBmi, source->offBits, source->cbBits);
      if (!dib) return Outcome::Malformed;
      int32_t sx = source->x, sy = source->y, w = *scx, h = *scy;
      mapSource(source->xform, sx, sy, w, h);
      SourceDc src(hdc_, *dib, source->usage);
      if (src.dc() == nullptr) return Outcome::Played;
      if (type == EMR_ALPHABLEND) {
        BLENDFUNCTION blend;
        std::memcpy(&blend, &*parameter, sizeof blend);
        AlphaBlend(hdc_, dest->left, dest->top, dest->right, dest->bottom, src.dc(), sx, sy, w, h, blend);
      } else {
        TransparentBlt(hdc_, dest->left, dest->top, dest->right, dest->bottom, src.dc(), sx, sy, w, h,
                       *parameter & 0x00FFFFFF);
      }
      return Outcome::Played;
    }
    default:
      return Outcome::Ignored;
  }
}

Outcome Playback::dibBrushRecord(const RecordReader& r) {
  const auto index = r.get<uint32_t>(8), usage = r.get<uint32_t>(12);
  const auto offBmi = r.get<uint32_t>(16), cbBmi = r.get<uint32_t>(20);
  const auto offBits = r.get<uint32_t>(24), cbBits = r.get<uint32_t>(28);
  if (!index || !usage || !offBmi || !cbBmi || !offBits || !cbBits || !validSlot(*index)) return Outcome::Malformed;
  const auto dib = dibFromRecord(r, *offBmi, *cbBmi, *offBits, *cbBits);
  if (!dib || uint64_t(dib->width) * uint64_t(std::abs(int64_t{dib->height})) > kMaxPatternPixels)
    return Outcome::Malformed;
  HBRUSH brush = nullptr;
  if (r.type() == EMR_CREATEMONOBRUSH) {
    // Monochrome patterns draw in the text and background colours.
    if (HBITMAP bitmap = monoBitmap(*dib)) {
      brush = CreatePatternBrush(bitmap);
      DeleteObject(bitmap);
    }
  }
  if (brush == nullptr) {
    std::vector<uint8_t> packed(dib->info.begin(), dib->info.begin() + *cbBmi);
    packed.insert(packed.end(), dib->bits.begin(), dib->bits.end());
    brush = CreateDIBPatternBrushPt(packed.data(), *usage, packed.size());
  }
  if (brush != nullptr) storeObject(*index, brush);
  return Outcome::Played;
}

}  // namespace platform::emf
