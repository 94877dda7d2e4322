#pragma once
// Builders of DIB headers and bits for the bitmap tests: little-endian bytes
// laid out as the formats define them.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/gdi/GdiTypes.h"

namespace dibtest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A BITMAPINFOHEADER (or a longer header of `size` bytes, zero-filled past
// the first 40 except for the masks of V4/V5 headers).
inline Bytes infoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression = platform::BI_RGB,
                        uint32_t colorsUsed = 0, uint32_t size = 40, uint32_t sizeImage = 0) {
  Bytes b;
  put32(b, size);
  put32(b, uint32_t(width));
  put32(b, uint32_t(height));
  put16(b, 1);
  put16(b, bits);
  put32(b, compression);
  put32(b, sizeImage);
  put32(b, 0);
  put32(b, 0);
  put32(b, colorsUsed);
  put32(b, 0);
  b.resize(size, 0);
  return b;
}

inline void putMasksAt(Bytes& header, size_t at, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0) {
  for (int i = 0; i < 4; ++i) {
    header[at + i] = uint8_t(r >> (8 * i));
    header[at + 4 + i] = uint8_t(g >> (8 * i));
    header[at + 8 + i] = uint8_t(b >> (8 * i));
    if (header.size() >= at + 16) header[at + 12 + i] = uint8_t(a >> (8 * i));
  }
}

// RGBQUAD entries from 0xRRGGBB values.
inline void putColors(Bytes& b, std::initializer_list<uint32_t> colors) {
  for (uint32_t c : colors) {
    b.push_back(uint8_t(c));
    b.push_back(uint8_t(c >> 8));
    b.push_back(uint8_t(c >> 16));
    b.push_back(0);
  }
}

}  // namespace dibtest
