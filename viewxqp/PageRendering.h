#pragma once
// Drawing pages into device contexts and the geometry queries about them:
// the logic behind the drawing exports, callable within the library.

#include <cstdint>

#include "platform/gdi/GdiTypes.h"

namespace viewxqp {

int32_t viewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                int32_t bottom);
int32_t newViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, int32_t drawImages);
int32_t viewFullXQPImage(HDC hdc, const char* fileName, int32_t pageNo, int32_t x, int32_t y);
int32_t getISFullPrint(HDC hdc, const char* fileName, int32_t pageNo);
int32_t getXQPPixels(const char* fileName);
int32_t getXQPImageWidth(const char* fileName);
int32_t getXQPImageHeight(const char* fileName);

// The source-to-device extents: R x 100 and dpi x 100 reduced by their
// greatest common divisor. Both are 0 when R and dpi are 0.
struct Extents {
  int32_t window = 0, viewport = 0;
};
Extents sourceToDeviceExtents(int32_t sourceDpi, int32_t deviceDpi);

}  // namespace viewxqp
