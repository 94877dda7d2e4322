#pragma once
// Ternary raster operations: the destination becomes a bitwise function of
// the pattern (P), the source (S) and itself (D), chosen by the 8-bit index
// in bits 16 to 23 of the raster-operation code. Bit k of the index is the
// result for P = bit 2 of k, S = bit 1, D = bit 0.

#include <cstddef>
#include <cstdint>

namespace platform::gdi {

constexpr uint8_t ropIndex(uint32_t rop) { return uint8_t(rop >> 16); }
constexpr bool ropUsesPattern(uint8_t index) { return (((index >> 4) ^ index) & 0x0F) != 0; }
constexpr bool ropUsesSource(uint8_t index) { return (((index >> 2) ^ index) & 0x33) != 0; }
constexpr bool ropUsesDestination(uint8_t index) { return (((index >> 1) ^ index) & 0x55) != 0; }
// For operations that ignore the source: the R2_* code with the same effect.
constexpr int rop3ToRop2(uint8_t index) { return ((index & 0x03) | ((index >> 2) & 0x0C)) + 1; }

// One pixel (all 32 bits take part; callers keep or drop the top byte).
uint32_t rop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d);
// `d[i] = f(p[i], s[i], d[i])` for a row; `p` or `s` may be null when the
// operation does not use them.
void rop3Row(uint8_t index, const uint32_t* p, const uint32_t* s, uint32_t* d, size_t count);

}  // namespace platform::gdi
