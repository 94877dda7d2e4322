#pragma once
// A recording device context for fixtures: methods named after the GDI
// calls emit the matching EMF records (coordinates in the metafile's logical
// units, regions in the recording device's pixels), so that every record
// family has fixtures drawn by our own code. Object-creating calls return
// the handle-table slot they used; stock(i) names a stock object.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "platform/emf/EmfTypes.h"
#include "platform/gdi/GdiTypes.h"
#include "tests/support/EmfWriter.h"

namespace fbtest {

class EmfRecorder {
 public:
  // The default reference device has 10 pixels per millimetre and the
  // frame is 40 x 20 mm, so the frame's device rectangle is (0, 0, 400, 200).
  explicit EmfRecorder(platform::RECTL frame = {0, 0, 4000, 2000}, platform::SIZEL devicePixels = {1000, 1000},
                       platform::SIZEL deviceMillimeters = {100, 100});

  static uint32_t stock(int index) { return 0x80000000u | static_cast<uint32_t>(index); }

  // Mapping and state
  EmfRecorder& SetMapMode(int mode);
  EmfRecorder& SetWindowExtEx(int32_t cx, int32_t cy);
  EmfRecorder& SetViewportExtEx(int32_t cx, int32_t cy);
  EmfRecorder& SetWindowOrgEx(int32_t x, int32_t y);
  EmfRecorder& SetViewportOrgEx(int32_t x, int32_t y);
  EmfRecorder& SetWorldTransform(const platform::XFORM& xform);
  EmfRecorder& ModifyWorldTransform(const platform::XFORM& xform, uint32_t mode);
  EmfRecorder& SaveDC();
  EmfRecorder& RestoreDC(int32_t relative);
  EmfRecorder& SetTextColor(platform::COLORREF color);
  EmfRecorder& SetBkColor(platform::COLORREF color);
  EmfRecorder& SetBkMode(int mode);
  EmfRecorder& SetTextAlign(uint32_t align);
  EmfRecorder& SetPolyFillMode(int mode);

  // Objects
  uint32_t CreatePen(uint32_t style, int32_t width, platform::COLORREF color);
  uint32_t ExtCreatePen(uint32_t style, uint32_t width, platform::COLORREF color,
                        std::vector<uint32_t> dashes = {});
  uint32_t CreateSolidBrush(platform::COLORREF color);
  uint32_t CreateHatchBrush(uint32_t hatch, platform::COLORREF color);
  uint32_t CreateFontIndirectW(const platform::LOGFONTW& font);
  // A font of `height` logical units in the named face.
  uint32_t CreateFont(int32_t height, const std::u16string& face);
  // A pattern brush from a 32-bit top-down DIB of 0x00RRGGBB pixels.
  uint32_t CreateDIBPatternBrushPt(int32_t width, int32_t height, const std::vector<uint32_t>& pixels);
  EmfRecorder& SelectObject(uint32_t index);
  EmfRecorder& DeleteObject(uint32_t index);

  // Drawing
  EmfRecorder& MoveToEx(int32_t x, int32_t y);
  EmfRecorder& LineTo(int32_t x, int32_t y);
  EmfRecorder& Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  EmfRecorder& Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  EmfRecorder& Polyline(std::initializer_list<platform::POINT> points);
  EmfRecorder& Polygon(std::initializer_list<platform::POINT> points);
  // The 16-bit variants.
  EmfRecorder& Polyline16(std::initializer_list<platform::POINT> points);
  EmfRecorder& Polygon16(std::initializer_list<platform::POINT> points);
  EmfRecorder& PolyBezier16(std::initializer_list<platform::POINT> points);
  EmfRecorder& PolyPolygon16(const std::vector<std::vector<platform::POINT>>& polygons);
  EmfRecorder& PolyPolyline(const std::vector<std::vector<platform::POINT>>& lines);
  EmfRecorder& BeginPath();
  EmfRecorder& EndPath();
  EmfRecorder& StrokePath();
  EmfRecorder& FillPath();

  // Clipping
  EmfRecorder& IntersectClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  EmfRecorder& ExcludeClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // A region of rectangles in the recording device's pixels; none resets the clip with RGN_COPY.
  EmfRecorder& ExtSelectClipRgn(const std::vector<platform::RECT>& rects, int mode);
  EmfRecorder& SetMetaRgn();
  EmfRecorder& FillRgn(const std::vector<platform::RECT>& rects, uint32_t brush);

  // Text: EMR_EXTTEXTOUTW, with advances when given.
  EmfRecorder& ExtTextOutW(int32_t x, int32_t y, uint32_t options, const platform::RECT& rect,
                           const std::u16string& text, const std::vector<int32_t>& dx = {},
                           int graphicsMode = platform::GM_COMPATIBLE);
  EmfRecorder& SmallTextOut(int32_t x, int32_t y, const std::string& latin1);

  // Bitmaps: a 32-bit DIB of 0x00RRGGBB pixels, rows from the top, stored
  // bottom-up as most writers do.
  EmfRecorder& StretchDIBits(int32_t x, int32_t y, int32_t width, int32_t height, int32_t dibWidth,
                             int32_t dibHeight, const std::vector<uint32_t>& pixels,
                             uint32_t rop = platform::SRCCOPY);
  EmfRecorder& BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, int32_t dibWidth, int32_t dibHeight,
                      const std::vector<uint32_t>& pixels, uint32_t rop = platform::SRCCOPY);
  // EMR_BITBLT without a source bitmap.
  EmfRecorder& PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);

  // Comments: an EMF+ block (as dual files carry) or plain data.
  EmfRecorder& GdiComment(const std::vector<uint8_t>& data);
  EmfRecorder& EmfPlusComment(const std::vector<uint8_t>& records);

  // Any other record.
  EmfRecorder& raw(uint32_t type, std::span<const uint8_t> payload);
  EmfRecorder& raw(uint32_t type, std::initializer_list<int32_t> payload);

  std::vector<uint8_t> finish() { return writer_.finish(); }

 private:
  uint32_t nextSlot() { return nextSlot_++; }
  EmfRecorder& points(uint32_t type, std::initializer_list<platform::POINT> pts, bool sixteen);

  EmfWriter writer_;
  uint32_t nextSlot_ = 1;
};

// A packed DIB (BITMAPINFOHEADER then pixels), 32 bits, bottom-up, from
// 0x00RRGGBB pixels given top row first.
std::vector<uint8_t> dib32(int32_t width, int32_t height, const std::vector<uint32_t>& pixels);

}  // namespace fbtest
