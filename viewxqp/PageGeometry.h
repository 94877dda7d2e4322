#pragma once
// The arithmetic of page geometry: pure functions over a page's header, so
// the rounding and truncation rules are tested on their own.

#include <cstdint>

#include "platform/emf/EmfTypes.h"

namespace viewxqp {

// a x b / c through a 64-bit intermediate, rounded to the nearest integer
// (halves away from zero); -1 when c is 0 or the result does not fit, as
// the system's MulDiv.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

// The frame's width and height in recording-device pixels, signed.
int32_t pageWidthPixels(const platform::ENHMETAHEADER& header);
int32_t pageHeightPixels(const platform::ENHMETAHEADER& header);

// Dots per inch of the recording device along x, truncated; 0 for a frame
// of width 0.
int32_t pageResolution(const platform::ENHMETAHEADER& header);

// While a is not 0, (a, b) becomes (b mod a, a); the result is b. In 64
// bits, so no pair of 32-bit inputs traps.
int64_t greatestCommonDivisor(int64_t a, int64_t b);

}  // namespace viewxqp
