#pragma once
// Device contexts, their state, graphics objects, clipping, paths and
// vector drawing, with GDI's names, arguments and results. Coordinates are
// logical units of the context unless named otherwise. Failures return
// 0 / false / null and set the last error (ERROR_INVALID_HANDLE for a dead
// handle, ERROR_INVALID_PARAMETER for values GDI refuses).

#include <memory>

#include "platform/gdi/GdiTypes.h"

namespace platform::gdi {
class Surface;
}

namespace platform {

// Contexts
// A context drawing on `surface` (a raster, PDF or recording surface).
HDC CreateSurfaceDC(std::shared_ptr<gdi::Surface> surface);
// The screen stand-in (GetDC(NULL)): a context describing the screen; what
// it draws goes nowhere visible. ReleaseDC frees it.
HDC GetDC(std::nullptr_t);
int ReleaseDC(std::nullptr_t, HDC hdc);
// A memory context compatible with `hdc` (or the screen for null), with a
// 1 x 1 monochrome bitmap selected until another bitmap is selected.
HDC CreateCompatibleDC(HDC hdc);
bool DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

// The screen description every GetDC(NULL) and screen-compatible memory
// context reports: 96 dpi, 32 bits per pixel and a fixed size by default.
struct ScreenDescription {
  int width = 1920, height = 1080;     // pixels
  int widthMm = 508, heightMm = 286;   // 96 dpi
  int bitsPerPixel = 32;               // 8 makes a palette device
};
ScreenDescription screenDescription();
void setScreenDescription(const ScreenDescription& screen);

// State
int SaveDC(HDC hdc);
bool RestoreDC(HDC hdc, int savedDc);  // > 0 absolute, < 0 relative
int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);
bool SetWindowExtEx(HDC hdc, int x, int y, SIZE* old);
bool SetViewportExtEx(HDC hdc, int x, int y, SIZE* old);
bool SetWindowOrgEx(HDC hdc, int x, int y, POINT* old);
bool SetViewportOrgEx(HDC hdc, int x, int y, POINT* old);
bool OffsetWindowOrgEx(HDC hdc, int x, int y, POINT* old);
bool OffsetViewportOrgEx(HDC hdc, int x, int y, POINT* old);
bool ScaleWindowExtEx(HDC hdc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
bool ScaleViewportExtEx(HDC hdc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old);
bool GetWindowExtEx(HDC hdc, SIZE* size);
bool GetViewportExtEx(HDC hdc, SIZE* size);
bool GetWindowOrgEx(HDC hdc, POINT* point);
bool GetViewportOrgEx(HDC hdc, POINT* point);
int SetGraphicsMode(HDC hdc, int mode);
int GetGraphicsMode(HDC hdc);
bool SetWorldTransform(HDC hdc, const XFORM* xform);     // refused in GM_COMPATIBLE
bool ModifyWorldTransform(HDC hdc, const XFORM* xform, uint32_t mode);
bool GetWorldTransform(HDC hdc, XFORM* xform);
bool LPtoDP(HDC hdc, POINT* points, int count);
bool DPtoLP(HDC hdc, POINT* points, int count);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
uint32_t SetTextAlign(HDC hdc, uint32_t align);
uint32_t GetTextAlign(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
int SetROP2(HDC hdc, int rop2);
int SetStretchBltMode(HDC hdc, int mode);
int SetArcDirection(HDC hdc, int direction);
bool SetMiterLimit(HDC hdc, float limit, float* old);
bool SetBrushOrgEx(HDC hdc, int x, int y, POINT* old);
COLORREF SetDCBrushColor(HDC hdc, COLORREF color);
COLORREF SetDCPenColor(HDC hdc, COLORREF color);
bool MoveToEx(HDC hdc, int x, int y, POINT* old);
bool GetCurrentPositionEx(HDC hdc, POINT* point);

// Objects
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);  // regions: returns the region kind cast to a handle, as GDI
bool DeleteObject(HGDIOBJ object);
uint32_t GetObjectType(HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, uint32_t type);
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HPEN ExtCreatePen(uint32_t style, uint32_t width, const LOGBRUSH* brush, uint32_t styleCount,
                  const uint32_t* styles);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// A pattern brush from a packed DIB (header, colours, bits) of `size` bytes.
HBRUSH CreateDIBPatternBrushPt(const void* packedDib, uint32_t usage, size_t size);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, bool forceBackground);
uint32_t RealizePalette(HDC hdc);
uint32_t GetSystemPaletteEntries(HDC hdc, uint32_t start, uint32_t count, PALETTEENTRY* entries);
uint32_t SetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, const PALETTEENTRY* entries);
bool ResizePalette(HPALETTE palette, uint32_t count);

// Regions (device units)
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode);
// From RGNDATA bytes (header of 32 bytes, then rectangles), as EMF records store them.
HRGN ExtCreateRegion(const XFORM* xform, uint32_t size, const void* regionData);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
bool OffsetRgn(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* rect);
bool PtInRegion(HRGN region, int x, int y);
bool FillRgn(HDC hdc, HRGN region, HBRUSH brush);
bool FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height);
bool PaintRgn(HDC hdc, HRGN region);
bool InvertRgn(HDC hdc, HRGN region);

// Clipping
int SelectClipRgn(HDC hdc, HRGN region);  // null removes the clip
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC hdc, int x, int y);
int GetClipBox(HDC hdc, RECT* rect);
int GetClipRgn(HDC hdc, HRGN region);  // 1 and a copy when there is a clip, 0 when none
int SetMetaRgn(HDC hdc);
bool SelectClipPath(HDC hdc, int mode);

// Paths
bool BeginPath(HDC hdc);
bool EndPath(HDC hdc);
bool CloseFigure(HDC hdc);
bool AbortPath(HDC hdc);
bool FlattenPath(HDC hdc);
bool WidenPath(HDC hdc);
bool FillPath(HDC hdc);
bool StrokePath(HDC hdc);
bool StrokeAndFillPath(HDC hdc);

// Drawing
bool LineTo(HDC hdc, int x, int y);
bool Polyline(HDC hdc, const POINT* points, int count);
bool PolylineTo(HDC hdc, const POINT* points, int count);
bool PolyPolyline(HDC hdc, const POINT* points, const uint32_t* counts, uint32_t polylines);
bool Polygon(HDC hdc, const POINT* points, int count);
bool PolyPolygon(HDC hdc, const POINT* points, const int* counts, int polygons);
bool PolyBezier(HDC hdc, const POINT* points, uint32_t count);
bool PolyBezierTo(HDC hdc, const POINT* points, uint32_t count);
bool PolyDraw(HDC hdc, const POINT* points, const uint8_t* types, int count);
bool Rectangle(HDC hdc, int left, int top, int right, int bottom);
bool RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height);
bool Ellipse(HDC hdc, int left, int top, int right, int bottom);
bool Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
bool ArcTo(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
bool Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
bool Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
bool AngleArc(HDC hdc, int x, int y, uint32_t radius, float startAngle, float sweepAngle);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);

}  // namespace platform
