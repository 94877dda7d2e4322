#include "viewxqp/PageGeometry.h"

#include <cstdlib>
#include <limits>

namespace viewxqp {

namespace {

// Products that a page's header can push past 32 bits wrap as they do in
// 32-bit code; the wrap is done on unsigned values to stay defined.
int32_t wrap32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

int32_t frameWidth(const platform::ENHMETAHEADER& h) {
  return wrap32(int64_t(h.rclFrame.right) - h.rclFrame.left);
}
int32_t frameHeight(const platform::ENHMETAHEADER& h) {
  return wrap32(int64_t(h.rclFrame.bottom) - h.rclFrame.top);
}

}  // namespace

int32_t mulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = int64_t(a) * b;
  const uint64_t magnitude = product < 0 ? uint64_t(-(product + 1)) + 1 : uint64_t(product);
  const uint64_t divisor = c < 0 ? uint64_t(-(int64_t(c))) : uint64_t(c);
  const uint64_t rounded = (magnitude + divisor / 2) / divisor;
  const bool negative = (product < 0) != (c < 0);
  if (rounded > uint64_t(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0)) return -1;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(rounded)) : static_cast<int32_t>(rounded);
}

int32_t pageWidthPixels(const platform::ENHMETAHEADER& h) {
  return mulDiv(frameWidth(h), h.szlDevice.cx, wrap32(int64_t(h.szlMillimeters.cx) * 100));
}

int32_t pageHeightPixels(const platform::ENHMETAHEADER& h) {
  return mulDiv(frameHeight(h), h.szlDevice.cy, wrap32(int64_t(h.szlMillimeters.cy) * 100));
}

int32_t pageResolution(const platform::ENHMETAHEADER& h) {
  const int32_t width = frameWidth(h);
  if (width == 0) return 0;
  const int32_t scaled = wrap32(int64_t(pageWidthPixels(h)) * 2540);
  // INT_MIN / -1 is the one quotient that does not fit.
  if (scaled == std::numeric_limits<int32_t>::min() && width == -1) return scaled;
  return scaled / width;
}

int64_t greatestCommonDivisor(int64_t a, int64_t b) {
  while (a != 0) {
    const int64_t next = b % a;
    b = a;
    a = next;
  }
  return b;
}

}  // namespace viewxqp
