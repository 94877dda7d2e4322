#pragma once
// Bitmaps, device-independent bitmaps, blits with raster operations,
// gradients and blending. `bits` and `info` come with their sizes in
// bytes, so that nothing reads past what the caller holds.

#include <QImage>
#include <QRectF>
#include <cstddef>

#include "platform/gdi/GdiTypes.h"

namespace platform {

struct BITMAP {
  int32_t bmType, bmWidth, bmHeight, bmWidthBytes;
  uint16_t bmPlanes, bmBitsPixel;
  void* bmBits;
};

// CreateDIBitmap: set the new bitmap's pixels from the DIB.
inline constexpr uint32_t CBM_INIT = 4;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateBitmap(int width, int height, uint32_t planes, uint32_t bitsPerPixel, const void* bits);
// `infoSize` covers the header and colour table, `bitsSize` the pixels.
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, uint32_t init, const void* bits, size_t bitsSize,
                       const BITMAPINFO* info, size_t infoSize, uint32_t usage);
int GetObjectA(HGDIOBJ object, int size, void* buffer);
// As GDI: with null `bits`, fills in the header's sizes; else copies `lines`
// scan lines from `start` (bottom-up unless the height is negative) in the
// header's format. `info` must have room for 256 colours at 8 bits or less.
int GetDIBits(HDC hdc, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info,
              uint32_t usage);

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, uint32_t rop);
bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                uint32_t rop);
bool PatBlt(HDC hdc, int x, int y, int width, int height, uint32_t rop);
bool MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, HBITMAP mask, int xMask,
             int yMask, uint32_t rop);
bool PlgBlt(HDC dest, const POINT* points, HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask,
            int xMask, int yMask);
bool TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc,
                    int hSrc, uint32_t transparent);
bool AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                BLENDFUNCTION blend);
int StretchDIBits(HDC hdc, int x, int y, int width, int height, int xSrc, int ySrc, int wSrc, int hSrc,
                  const void* bits, size_t bitsSize, const BITMAPINFO* info, size_t infoSize, uint32_t usage,
                  uint32_t rop);
int SetDIBitsToDevice(HDC hdc, int x, int y, uint32_t width, uint32_t height, int xSrc, int ySrc,
                      uint32_t startScan, uint32_t lines, const void* bits, size_t bitsSize, const BITMAPINFO* info,
                      size_t infoSize, uint32_t usage);
bool GradientFill(HDC hdc, const TRIVERTEX* vertices, uint32_t vertexCount, const void* mesh, uint32_t meshCount,
                  uint32_t mode);

}  // namespace platform

namespace platform::gdi {

class DeviceContext;
struct DecodedDib;

// A blit's source as pixels: what a source context or a metafile record
// holds. `rect` is the source rectangle in `image` pixels (row 0 at the
// top); negative sizes mirror. Pixels outside the image leave the
// destination alone.
struct BlitSource {
  const QImage* image = nullptr;  // RGB32 or ARGB32 premultiplied; null for rops without a source
  QRectF rect;
  // A monochrome bitmap: black takes the destination's text colour and white
  // its background colour.
  bool monochrome = false;
  // Blitting a colour source to a monochrome destination makes this colour
  // white and every other black.
  COLORREF sourceBkColor = 0xFFFFFF;
  // Pixels whose alpha is zero leave the destination alone (the gaps an RLE
  // DIB skips); otherwise alpha is ignored.
  bool transparentGaps = false;
};

// The blits with their destinations in logical units of `dest`, as the
// public calls (which read their sources from a context) and the metafile
// player (which decodes them from records) share them.
bool stretchBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, uint32_t rop);
// `mask`: white pixels take the foreground operation (bits 16-23 of `rop`),
// black ones the background operation (bits 24-31); its (xMask, yMask)
// meets the source rectangle's origin.
bool maskBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, const QImage* mask,
                 int xMask, int yMask, uint32_t rop);
// `points`: where the source's upper-left, upper-right and lower-left
// corners go; black mask pixels leave the destination alone.
bool plgBltFrom(HDC dest, const POINT* points, const BlitSource& source, const QImage* mask, int xMask, int yMask);
bool transparentBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source,
                        COLORREF transparent);
// Per-pixel alpha (AC_SRC_ALPHA) is read from ARGB32 premultiplied sources.
bool alphaBlendFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, BLENDFUNCTION blend);

// A 32-bit bitmap object holding `dib`'s pixels (alpha kept when it has
// some), for sources that arrive as DIBs.
HBITMAP createBitmapFromDib(const DecodedDib& dib);

}  // namespace platform::gdi
