// Graphics objects: pens, brushes and palettes, and selecting, deleting and
// asking about any object.

#include <cstring>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Dib.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace platform::gdi;

namespace {

HGDIOBJ invalidHandle() {
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

bool validHatch(uintptr_t hatch) { return hatch <= HS_DIAGCROSS; }

// Two-colour patterns keep index 0 for black and 1 for white, so that
// drawing can give them the text and background colours.
QImage monochromeIndexed(const QImage& image) {
  QImage mono(image.size(), QImage::Format_Indexed8);
  mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* out = mono.scanLine(y);
    for (int x = 0; x < rgb.width(); ++x) out[x] = qGray(in[x]) >= 128 ? 1 : 0;
  }
  return mono;
}

}  // namespace

HGDIOBJ GetStockObject(int index) { return stockObject(index); }

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return nullptr;
  auto any = objectFromHandle(object);
  if (!any) return invalidHandle();
  DcState& s = dc->state;
  if (std::holds_alternative<PenObject>(*any)) {
    s.penObject = std::shared_ptr<const PenObject>(any, &std::get<PenObject>(*any));
    return std::exchange(s.pen, object);
  }
  if (std::holds_alternative<BrushObject>(*any)) {
    s.brushObject = std::shared_ptr<const BrushObject>(any, &std::get<BrushObject>(*any));
    return std::exchange(s.brush, object);
  }
  if (std::holds_alternative<FontObject>(*any)) {
    s.fontObject = std::shared_ptr<const FontObject>(any, &std::get<FontObject>(*any));
    return std::exchange(s.font, object);
  }
  if (std::holds_alternative<RegionObject>(*any)) {
    int kind = SelectClipRgn(hdc, object);
    return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
  }
  if (std::holds_alternative<BitmapObject>(*any)) {
    if (!dc->isMemoryDc()) return invalidParameter<HGDIOBJ>(nullptr);
    return selectBitmap(*dc, object);
  }
  // Palettes go through SelectPalette.
  return invalidParameter<HGDIOBJ>(nullptr);
}

bool DeleteObject(HGDIOBJ object) {
  if (!object || isDcHandle(object) || !removeObject(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

uint32_t GetObjectType(HGDIOBJ object) {
  if (isDcHandle(object)) {
    DeviceContext* dc = dcFromHandle(reinterpret_cast<HDC>(object));
    if (!dc) return invalidParameter(0u);
    return dc->isMemoryDc() ? OBJ_MEMDC : OBJ_DC;
  }
  auto any = objectFromHandle(object);
  if (!any) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  struct Kind {
    uint32_t operator()(const PenObject& p) const { return p.extended ? OBJ_EXTPEN : OBJ_PEN; }
    uint32_t operator()(const BrushObject&) const { return OBJ_BRUSH; }
    uint32_t operator()(const FontObject&) const { return OBJ_FONT; }
    uint32_t operator()(const PaletteObject&) const { return OBJ_PAL; }
    uint32_t operator()(const RegionObject&) const { return OBJ_REGION; }
    uint32_t operator()(const BitmapObject&) const { return OBJ_BITMAP; }
  };
  return std::visit(Kind{}, *any);
}

HGDIOBJ GetCurrentObject(HDC hdc, uint32_t type) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN:
    case OBJ_EXTPEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_PAL: return dc->state.palette;
    case OBJ_BITMAP: return dc->state.bitmap;
    default: return invalidParameter<HGDIOBJ>(nullptr);
  }
}

HPEN CreatePen(int style, int width, COLORREF color) {
  PenObject pen;
  uint32_t s = style >= 0 && style <= int(PS_INSIDEFRAME) ? uint32_t(style) : PS_SOLID;
  // Wide pens of CreatePen draw solid, whatever dash style was asked for.
  if (width > 1 && s != PS_NULL && s != PS_INSIDEFRAME) s = PS_SOLID;
  pen.style = s;
  pen.width = std::max(width, 0);
  pen.color = color & 0xFFFFFF;
  return addObject(std::move(pen));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return invalidParameter<HGDIOBJ>(nullptr);
  return CreatePen(int(pen->lopnStyle & PS_STYLE_MASK), pen->lopnWidth.x, pen->lopnColor);
}

HPEN ExtCreatePen(uint32_t style, uint32_t width, const LOGBRUSH* brush, uint32_t styleCount,
                  const uint32_t* styles) {
  if (!brush) return invalidParameter<HGDIOBJ>(nullptr);
  const uint32_t type = style & PS_TYPE_MASK, kind = style & PS_STYLE_MASK;
  const uint32_t cap = style & PS_ENDCAP_MASK, join = style & PS_JOIN_MASK;
  if ((type != PS_COSMETIC && type != PS_GEOMETRIC) || kind > PS_ALTERNATE || cap > PS_ENDCAP_FLAT ||
      join > PS_JOIN_MITER || (style & ~(PS_TYPE_MASK | PS_STYLE_MASK | PS_ENDCAP_MASK | PS_JOIN_MASK)))
    return invalidParameter<HGDIOBJ>(nullptr);
  if (type == PS_GEOMETRIC && kind == PS_ALTERNATE) return invalidParameter<HGDIOBJ>(nullptr);
  PenObject pen;
  pen.extended = true;
  pen.style = style;
  pen.width = type == PS_COSMETIC ? 1 : int32_t(std::min<uint32_t>(width, 0x7FFFFFFF));
  pen.color = brush->lbColor & 0xFFFFFF;
  if (kind == PS_USERSTYLE) {
    if (styleCount == 0 || styleCount > 16 || !styles) return invalidParameter<HGDIOBJ>(nullptr);
    bool any = false;
    for (uint32_t i = 0; i < styleCount; ++i) any = any || styles[i] != 0;
    if (!any) return invalidParameter<HGDIOBJ>(nullptr);
    pen.userStyle.assign(styles, styles + styleCount);
  }
  switch (brush->lbStyle) {
    case BS_NULL:
      pen.style = (style & ~PS_STYLE_MASK) | PS_NULL;
      break;
    case BS_HATCHED:
      if (!validHatch(brush->lbHatch)) return invalidParameter<HGDIOBJ>(nullptr);
      if (type == PS_GEOMETRIC) {
        pen.brushStyle = BS_HATCHED;
        pen.brushHatch = uint32_t(brush->lbHatch);
      }
      break;
    default:
      // Solid, and pattern brushes drawn in their colour.
      break;
  }
  return addObject(std::move(pen));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  BrushObject brush;
  brush.style = BS_SOLID;
  brush.color = color & 0xFFFFFF;
  return addObject(std::move(brush));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < 0 || !validHatch(uintptr_t(hatch))) return invalidParameter<HGDIOBJ>(nullptr);
  BrushObject brush;
  brush.style = BS_HATCHED;
  brush.hatch = uint32_t(hatch);
  brush.color = color & 0xFFFFFF;
  return addObject(std::move(brush));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return invalidParameter<HGDIOBJ>(nullptr);
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: {
      BrushObject hollow;
      hollow.style = BS_NULL;
      return addObject(std::move(hollow));
    }
    case BS_HATCHED:
      if (!validHatch(brush->lbHatch)) return invalidParameter<HGDIOBJ>(nullptr);
      return CreateHatchBrush(int(brush->lbHatch), brush->lbColor);
    case BS_PATTERN:
    case BS_PATTERN8X8:
      return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default:
      // Packed DIBs behind a bare pointer have no size to check them
      // against: CreateDIBPatternBrushPt takes them with their size.
      return invalidParameter<HGDIOBJ>(nullptr);
  }
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, uint32_t usage, size_t size) {
  if (!packedDib || size == 0 || usage > DIB_PAL_COLORS) return invalidParameter<HGDIOBJ>(nullptr);
  auto dib = decodePackedDib(std::span(static_cast<const uint8_t*>(packedDib), size), usage, nullptr);
  if (!dib || dib->image.isNull()) return invalidParameter<HGDIOBJ>(nullptr);
  BrushObject brush;
  brush.style = BS_DIBPATTERNPT;
  brush.pattern = dib->image.convertToFormat(QImage::Format_RGB32);
  return addObject(std::move(brush));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto object = objectAs<BitmapObject>(bitmap);
  if (!object || !object->image || object->image->isNull()) return invalidParameter<HGDIOBJ>(nullptr);
  BrushObject brush;
  brush.style = BS_PATTERN;
  if (object->bitsPerPixel == 1) {
    brush.pattern = monochromeIndexed(*object->image);
    brush.monochrome = true;
  } else {
    brush.pattern = object->image->convertToFormat(QImage::Format_RGB32).copy();
  }
  return addObject(std::move(brush));
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) return invalidParameter<HGDIOBJ>(nullptr);
  PaletteObject object;
  object.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return addObject(std::move(object));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, bool /*forceBackground*/) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return nullptr;
  auto object = objectAs<PaletteObject>(palette);
  if (!object) return invalidHandle();
  dc->state.paletteObject = object;
  return std::exchange(dc->state.palette, palette);
}

uint32_t RealizePalette(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0xFFFFFFFF;
  if (!dc->description().palette || !dc->state.paletteObject) return 0;
  return uint32_t(std::min<size_t>(dc->state.paletteObject->entries.size(), 236));
}

uint32_t GetSystemPaletteEntries(HDC hdc, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !dc->description().palette) return 0;
  constexpr uint32_t kSize = 256;
  if (!entries) return kSize;
  if (start >= kSize) return 0;
  // The static colours at both ends, the realized palette between.
  const auto& statics = defaultPaletteEntries();
  const std::vector<PALETTEENTRY>* logical = dc->state.paletteObject ? &dc->state.paletteObject->entries : nullptr;
  uint32_t n = std::min(count, kSize - start);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t index = start + i;
    PALETTEENTRY e{0, 0, 0, 0};
    if (index < 10) e = statics[index];
    else if (index >= kSize - 10) e = statics[index - (kSize - 20)];
    else if (logical && dc->state.palette != stockObject(DEFAULT_PALETTE) && index - 10 < logical->size())
      e = (*logical)[index - 10];
    e.peFlags = 0;
    entries[i] = e;
  }
  return n;
}

uint32_t SetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, const PALETTEENTRY* entries) {
  auto object = objectAs<PaletteObject>(palette);
  if (!object || isStockObject(palette)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!entries || start >= object->entries.size()) return 0;
  PaletteObject changed = *object;
  uint32_t n = uint32_t(std::min<size_t>(count, changed.entries.size() - start));
  std::copy(entries, entries + n, changed.entries.begin() + start);
  return replaceObject(palette, std::move(changed)) ? n : 0;
}

bool ResizePalette(HPALETTE palette, uint32_t count) {
  auto object = objectAs<PaletteObject>(palette);
  if (!object || isStockObject(palette)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (count == 0 || count > 1024) return invalidParameter(false);
  PaletteObject changed = *object;
  changed.entries.resize(count, PALETTEENTRY{0, 0, 0, 0});
  return replaceObject(palette, std::move(changed));
}

}  // namespace platform

namespace platform::gdi {

void restoreSelectedBitmap(DeviceContext& dc, HBITMAP shown) {
  HBITMAP wanted = dc.state.bitmap;
  dc.state.bitmap = shown;
  if (!objectAs<BitmapObject>(wanted) || !selectBitmap(dc, wanted)) selectBitmap(dc, defaultBitmap());
}

}  // namespace platform::gdi
