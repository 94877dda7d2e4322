#pragma once
// Bitmaps, device-independent bitmaps, blits with raster operations,
// gradients and blending. `bits` and `info` come with their sizes in
// bytes, so that nothing reads past what the caller holds.

#include <cstddef>

#include "platform/gdi/GdiTypes.h"

namespace platform {

struct BITMAP {
  int32_t bmType, bmWidth, bmHeight, bmWidthBytes;
  uint16_t bmPlanes, bmBitsPixel;
  void* bmBits;
};

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
// Decodes a DIB (any header kind, depth and compression) into an image
// whose row 0 is the top row: Format_RGB32, or ARGB32 premultiplied when
// `keepAlpha` and the DIB has 32 bits. Colour tables of DIB_PAL_COLORS index
// `palette` (the default palette when null). Null image when the DIB is
// malformed or larger than the decoder's cap. Shared by the blits and the
// pattern brushes.
struct DecodedDib;
}  // namespace platform::gdi
