#include "tests/support/EmfRecorder.h"

#include <algorithm>
#include <cstring>

namespace fbtest {

namespace {

using platform::POINT;
using platform::RECT;
using platform::RECTL;

// The EMR_ numbers this recorder writes.
enum : uint32_t {
  kPolyline = 4,
  kPolygon = 3,
  kPolyPolyline = 7,
  kSetWindowExt = 9,
  kSetWindowOrg = 10,
  kSetViewportExt = 11,
  kSetViewportOrg = 12,
  kSetMapMode = 17,
  kSetBkMode = 18,
  kSetPolyFillMode = 19,
  kSetTextAlign = 22,
  kSetTextColor = 24,
  kSetBkColor = 25,
  kMoveTo = 27,
  kSetMetaRgn = 28,
  kExcludeClipRect = 29,
  kIntersectClipRect = 30,
  kSaveDc = 33,
  kRestoreDc = 34,
  kSetWorldTransform = 35,
  kModifyWorldTransform = 36,
  kSelectObject = 37,
  kCreatePen = 38,
  kCreateBrushIndirect = 39,
  kDeleteObject = 40,
  kEllipse = 42,
  kRectangle = 43,
  kLineTo = 54,
  kBeginPath = 59,
  kEndPath = 60,
  kFillPath = 62,
  kStrokePath = 64,
  kGdiComment = 70,
  kFillRgn = 71,
  kExtSelectClipRgn = 75,
  kBitBlt = 76,
  kStretchDibits = 81,
  kExtCreateFont = 82,
  kExtTextOutW = 84,
  kPolyBezier16 = 85,
  kPolygon16 = 86,
  kPolyline16 = 87,
  kPolyPolygon16 = 91,
  kCreateDibPatternBrush = 94,
  kExtCreatePen = 95,
  kSmallTextOut = 108,
};

class Bytes {
 public:
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& u16(uint16_t v) {
    data.push_back(static_cast<uint8_t>(v));
    data.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Bytes& f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return u32(bits);
  }
  Bytes& rect(const RECT& r) { return i32(r.left).i32(r.top).i32(r.right).i32(r.bottom); }
  Bytes& xform(const platform::XFORM& x) { return f32(x.eM11).f32(x.eM12).f32(x.eM21).f32(x.eM22).f32(x.eDx).f32(x.eDy); }
  Bytes& raw(const std::vector<uint8_t>& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Bytes& pad() {
    while (data.size() % 4) data.push_back(0);
    return *this;
  }
  uint32_t size() const { return static_cast<uint32_t>(data.size()); }
  std::vector<uint8_t> data;
};

RECT boundsOf(std::initializer_list<POINT> points) {
  if (points.size() == 0) return {0, 0, -1, -1};
  RECT r{points.begin()->x, points.begin()->y, points.begin()->x, points.begin()->y};
  for (const POINT& p : points) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  return r;
}

// RGNDATA: the 32-byte header, then the rectangles.
std::vector<uint8_t> regionData(const std::vector<RECT>& rects) {
  Bytes b;
  RECT box{0, 0, 0, 0};
  if (!rects.empty()) box = rects.front();
  for (const RECT& r : rects) {
    box.left = std::min(box.left, r.left);
    box.top = std::min(box.top, r.top);
    box.right = std::max(box.right, r.right);
    box.bottom = std::max(box.bottom, r.bottom);
  }
  b.u32(32).u32(1).u32(static_cast<uint32_t>(rects.size())).u32(static_cast<uint32_t>(rects.size() * 16)).rect(box);
  for (const RECT& r : rects) b.rect(r);
  return b.data;
}

platform::RECTL deviceBounds(const RECTL& frame, platform::SIZEL px, platform::SIZEL mm) {
  const auto scale = [](int32_t v, int32_t pixels, int32_t millimetres) {
    return millimetres > 0 ? static_cast<int32_t>(int64_t{v} * pixels / (int64_t{millimetres} * 100)) : v;
  };
  return {scale(frame.left, px.cx, mm.cx), scale(frame.top, px.cy, mm.cy), scale(frame.right, px.cx, mm.cx) - 1,
          scale(frame.bottom, px.cy, mm.cy) - 1};
}

}  // namespace

std::vector<uint8_t> dib32(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  Bytes b;
  b.u32(40).i32(width).i32(height).u16(1).u16(32).u32(0).u32(static_cast<uint32_t>(width * height * 4));
  b.i32(3780).i32(3780).u32(0).u32(0);
  for (int32_t row = height - 1; row >= 0; --row)
    for (int32_t col = 0; col < width; ++col) {
      const size_t i = static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col);
      b.u32(i < pixels.size() ? pixels[i] & 0x00FFFFFF : 0);
    }
  return b.data;
}

EmfRecorder::EmfRecorder(platform::RECTL frame, platform::SIZEL devicePixels, platform::SIZEL deviceMillimeters)
    : writer_(frame, deviceBounds(frame, devicePixels, deviceMillimeters), devicePixels, deviceMillimeters) {}

EmfRecorder& EmfRecorder::raw(uint32_t type, std::span<const uint8_t> payload) {
  writer_.record(type, payload);
  return *this;
}

EmfRecorder& EmfRecorder::raw(uint32_t type, std::initializer_list<int32_t> payload) {
  writer_.record(type, payload);
  return *this;
}

EmfRecorder& EmfRecorder::SetMapMode(int mode) { return raw(kSetMapMode, {mode}); }
EmfRecorder& EmfRecorder::SetWindowExtEx(int32_t cx, int32_t cy) { return raw(kSetWindowExt, {cx, cy}); }
EmfRecorder& EmfRecorder::SetViewportExtEx(int32_t cx, int32_t cy) { return raw(kSetViewportExt, {cx, cy}); }
EmfRecorder& EmfRecorder::SetWindowOrgEx(int32_t x, int32_t y) { return raw(kSetWindowOrg, {x, y}); }
EmfRecorder& EmfRecorder::SetViewportOrgEx(int32_t x, int32_t y) { return raw(kSetViewportOrg, {x, y}); }

EmfRecorder& EmfRecorder::SetWorldTransform(const platform::XFORM& xform) {
  return raw(kSetWorldTransform, Bytes().xform(xform).data);
}

EmfRecorder& EmfRecorder::ModifyWorldTransform(const platform::XFORM& xform, uint32_t mode) {
  return raw(kModifyWorldTransform, Bytes().xform(xform).u32(mode).data);
}

EmfRecorder& EmfRecorder::SaveDC() { return raw(kSaveDc, std::span<const uint8_t>{}); }
EmfRecorder& EmfRecorder::RestoreDC(int32_t relative) { return raw(kRestoreDc, {relative}); }
EmfRecorder& EmfRecorder::SetTextColor(platform::COLORREF color) { return raw(kSetTextColor, {int32_t(color)}); }
EmfRecorder& EmfRecorder::SetBkColor(platform::COLORREF color) { return raw(kSetBkColor, {int32_t(color)}); }
EmfRecorder& EmfRecorder::SetBkMode(int mode) { return raw(kSetBkMode, {mode}); }
EmfRecorder& EmfRecorder::SetTextAlign(uint32_t align) { return raw(kSetTextAlign, {int32_t(align)}); }
EmfRecorder& EmfRecorder::SetPolyFillMode(int mode) { return raw(kSetPolyFillMode, {mode}); }

uint32_t EmfRecorder::CreatePen(uint32_t style, int32_t width, platform::COLORREF color) {
  const uint32_t slot = nextSlot();
  raw(kCreatePen, Bytes().u32(slot).u32(style).i32(width).i32(0).u32(color).data);
  return slot;
}

uint32_t EmfRecorder::ExtCreatePen(uint32_t style, uint32_t width, platform::COLORREF color,
                                   std::vector<uint32_t> dashes) {
  const uint32_t slot = nextSlot();
  Bytes b;
  b.u32(slot).u32(0).u32(0).u32(0).u32(0);  // no brush bitmap
  b.u32(style).u32(width).u32(platform::BS_SOLID).u32(color).u32(0).u32(static_cast<uint32_t>(dashes.size()));
  for (const uint32_t d : dashes) b.u32(d);
  raw(kExtCreatePen, b.data);
  return slot;
}

uint32_t EmfRecorder::CreateSolidBrush(platform::COLORREF color) {
  const uint32_t slot = nextSlot();
  raw(kCreateBrushIndirect, Bytes().u32(slot).u32(platform::BS_SOLID).u32(color).u32(0).data);
  return slot;
}

uint32_t EmfRecorder::CreateHatchBrush(uint32_t hatch, platform::COLORREF color) {
  const uint32_t slot = nextSlot();
  raw(kCreateBrushIndirect, Bytes().u32(slot).u32(platform::BS_HATCHED).u32(color).u32(hatch).data);
  return slot;
}

uint32_t EmfRecorder::CreateFontIndirectW(const platform::LOGFONTW& font) {
  const uint32_t slot = nextSlot();
  Bytes b;
  b.u32(slot);
  std::vector<uint8_t> bytes(sizeof font);
  std::memcpy(bytes.data(), &font, sizeof font);
  raw(kExtCreateFont, b.raw(bytes).data);
  return slot;
}

uint32_t EmfRecorder::CreateFont(int32_t height, const std::u16string& face) {
  platform::LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = platform::FW_NORMAL;
  for (size_t i = 0; i < face.size() && i + 1 < platform::LF_FACESIZE; ++i) font.lfFaceName[i] = face[i];
  return CreateFontIndirectW(font);
}

uint32_t EmfRecorder::CreateDIBPatternBrushPt(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  const uint32_t slot = nextSlot();
  const std::vector<uint8_t> dib = dib32(width, height, pixels);
  constexpr uint32_t kHeader = 40, kFixed = 32;  // record: type, size, ihBrush, iUsage, offBmi, cbBmi, offBits, cbBits
  Bytes b;
  b.u32(slot).u32(platform::DIB_RGB_COLORS).u32(kFixed).u32(kHeader).u32(kFixed + kHeader);
  b.u32(static_cast<uint32_t>(dib.size() - kHeader)).raw(dib);
  raw(kCreateDibPatternBrush, b.data);
  return slot;
}

EmfRecorder& EmfRecorder::SelectObject(uint32_t index) { return raw(kSelectObject, {int32_t(index)}); }
EmfRecorder& EmfRecorder::DeleteObject(uint32_t index) { return raw(kDeleteObject, {int32_t(index)}); }

EmfRecorder& EmfRecorder::MoveToEx(int32_t x, int32_t y) { return raw(kMoveTo, {x, y}); }
EmfRecorder& EmfRecorder::LineTo(int32_t x, int32_t y) { return raw(kLineTo, {x, y}); }
EmfRecorder& EmfRecorder::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) { return raw(kRectangle, {l, t, r, b}); }
EmfRecorder& EmfRecorder::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) { return raw(kEllipse, {l, t, r, b}); }

EmfRecorder& EmfRecorder::points(uint32_t type, std::initializer_list<POINT> pts, bool sixteen) {
  Bytes b;
  b.rect(boundsOf(pts)).u32(static_cast<uint32_t>(pts.size()));
  for (const POINT& p : pts) {
    if (sixteen)
      b.u16(static_cast<uint16_t>(p.x)).u16(static_cast<uint16_t>(p.y));
    else
      b.i32(p.x).i32(p.y);
  }
  return raw(type, b.data);
}

EmfRecorder& EmfRecorder::Polyline(std::initializer_list<POINT> pts) { return points(kPolyline, pts, false); }
EmfRecorder& EmfRecorder::Polygon(std::initializer_list<POINT> pts) { return points(kPolygon, pts, false); }
EmfRecorder& EmfRecorder::Polyline16(std::initializer_list<POINT> pts) { return points(kPolyline16, pts, true); }
EmfRecorder& EmfRecorder::Polygon16(std::initializer_list<POINT> pts) { return points(kPolygon16, pts, true); }
EmfRecorder& EmfRecorder::PolyBezier16(std::initializer_list<POINT> pts) { return points(kPolyBezier16, pts, true); }

EmfRecorder& EmfRecorder::PolyPolygon16(const std::vector<std::vector<POINT>>& polygons) {
  Bytes b;
  uint32_t total = 0;
  for (const auto& p : polygons) total += static_cast<uint32_t>(p.size());
  b.rect({0, 0, 0, 0}).u32(static_cast<uint32_t>(polygons.size())).u32(total);
  for (const auto& p : polygons) b.u32(static_cast<uint32_t>(p.size()));
  for (const auto& p : polygons)
    for (const POINT& pt : p) b.u16(static_cast<uint16_t>(pt.x)).u16(static_cast<uint16_t>(pt.y));
  return raw(kPolyPolygon16, b.data);
}

EmfRecorder& EmfRecorder::PolyPolyline(const std::vector<std::vector<POINT>>& lines) {
  Bytes b;
  uint32_t total = 0;
  for (const auto& p : lines) total += static_cast<uint32_t>(p.size());
  b.rect({0, 0, 0, 0}).u32(static_cast<uint32_t>(lines.size())).u32(total);
  for (const auto& p : lines) b.u32(static_cast<uint32_t>(p.size()));
  for (const auto& p : lines)
    for (const POINT& pt : p) b.i32(pt.x).i32(pt.y);
  return raw(kPolyPolyline, b.data);
}

EmfRecorder& EmfRecorder::BeginPath() { return raw(kBeginPath, std::span<const uint8_t>{}); }
EmfRecorder& EmfRecorder::EndPath() { return raw(kEndPath, std::span<const uint8_t>{}); }
EmfRecorder& EmfRecorder::StrokePath() { return raw(kStrokePath, {0, 0, -1, -1}); }
EmfRecorder& EmfRecorder::FillPath() { return raw(kFillPath, {0, 0, -1, -1}); }

EmfRecorder& EmfRecorder::IntersectClipRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return raw(kIntersectClipRect, {l, t, r, b});
}
EmfRecorder& EmfRecorder::ExcludeClipRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  return raw(kExcludeClipRect, {l, t, r, b});
}

EmfRecorder& EmfRecorder::ExtSelectClipRgn(const std::vector<RECT>& rects, int mode) {
  const std::vector<uint8_t> region = rects.empty() ? std::vector<uint8_t>{} : regionData(rects);
  return raw(kExtSelectClipRgn, Bytes().u32(static_cast<uint32_t>(region.size())).i32(mode).raw(region).data);
}

EmfRecorder& EmfRecorder::SetMetaRgn() { return raw(kSetMetaRgn, std::span<const uint8_t>{}); }

EmfRecorder& EmfRecorder::FillRgn(const std::vector<RECT>& rects, uint32_t brush) {
  const std::vector<uint8_t> region = regionData(rects);
  return raw(kFillRgn, Bytes().rect({0, 0, 0, 0}).u32(static_cast<uint32_t>(region.size())).u32(brush).raw(region).data);
}

EmfRecorder& EmfRecorder::ExtTextOutW(int32_t x, int32_t y, uint32_t options, const RECT& rect,
                                      const std::u16string& text, const std::vector<int32_t>& dx, int graphicsMode) {
  // Offsets from the record's start: 8 type and size, 28 bounds to eyScale, 40 EMRTEXT.
  constexpr uint32_t kStringAt = 76;
  const auto chars = static_cast<uint32_t>(text.size());
  const uint32_t stringBytes = (chars * 2 + 3) & ~3u;
  Bytes b;
  b.rect({x, y, x + 1, y + 1}).i32(graphicsMode).f32(0).f32(0);
  b.i32(x).i32(y).u32(chars).u32(kStringAt).u32(options).rect(rect).u32(dx.empty() ? 0 : kStringAt + stringBytes);
  for (const char16_t c : text) b.u16(static_cast<uint16_t>(c));
  b.pad();
  for (const int32_t d : dx) b.i32(d);
  return raw(kExtTextOutW, b.data);
}

EmfRecorder& EmfRecorder::SmallTextOut(int32_t x, int32_t y, const std::string& latin1) {
  constexpr uint32_t kSmallChars = 0x200;
  Bytes b;
  b.i32(x).i32(y).u32(static_cast<uint32_t>(latin1.size())).u32(kSmallChars | platform::ETO_NO_RECT);
  b.i32(platform::GM_COMPATIBLE).f32(0).f32(0);
  for (const char c : latin1) b.data.push_back(static_cast<uint8_t>(c));
  return raw(kSmallTextOut, b.pad().data);
}

EmfRecorder& EmfRecorder::StretchDIBits(int32_t x, int32_t y, int32_t width, int32_t height, int32_t dibWidth,
                                        int32_t dibHeight, const std::vector<uint32_t>& pixels, uint32_t rop) {
  const std::vector<uint8_t> dib = dib32(dibWidth, dibHeight, pixels);
  constexpr uint32_t kFixed = 80, kHeader = 40;
  Bytes b;
  b.rect({x, y, x + width - 1, y + height - 1}).i32(x).i32(y).i32(0).i32(0).i32(dibWidth).i32(dibHeight);
  b.u32(kFixed).u32(kHeader).u32(kFixed + kHeader).u32(static_cast<uint32_t>(dib.size() - kHeader));
  b.u32(platform::DIB_RGB_COLORS).u32(rop).i32(width).i32(height).raw(dib);
  return raw(kStretchDibits, b.data);
}

EmfRecorder& EmfRecorder::BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t dibWidth,
                                 int32_t dibHeight, const std::vector<uint32_t>& pixels, uint32_t rop) {
  const std::vector<uint8_t> dib = dib32(dibWidth, dibHeight, pixels);
  constexpr uint32_t kFixed = 100, kHeader = 40;
  Bytes b;
  b.rect({x, y, x + width - 1, y + height - 1}).i32(x).i32(y).i32(width).i32(height).u32(rop).i32(0).i32(0);
  b.xform({1, 0, 0, 1, 0, 0}).u32(0xFFFFFF).u32(platform::DIB_RGB_COLORS);
  b.u32(kFixed).u32(kHeader).u32(kFixed + kHeader).u32(static_cast<uint32_t>(dib.size() - kHeader)).raw(dib);
  return raw(kBitBlt, b.data);
}

EmfRecorder& EmfRecorder::PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  Bytes b;
  b.rect({x, y, x + width - 1, y + height - 1}).i32(x).i32(y).i32(width).i32(height).u32(rop).i32(0).i32(0);
  b.xform({1, 0, 0, 1, 0, 0}).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
  return raw(kBitBlt, b.data);
}

EmfRecorder& EmfRecorder::GdiComment(const std::vector<uint8_t>& data) {
  return raw(kGdiComment, Bytes().u32(static_cast<uint32_t>(data.size())).raw(data).data);
}

EmfRecorder& EmfRecorder::EmfPlusComment(const std::vector<uint8_t>& records) {
  Bytes b;
  b.u32(0x2B464D45);  // "EMF+"
  b.raw(records);
  return GdiComment(b.data);
}

}  // namespace fbtest
