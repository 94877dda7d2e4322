#include "platform/gdi/Rop3.h"

namespace platform::gdi {

uint32_t rop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
  switch (index) {
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFFu;
    case 0xCC: return s;                 // SRCCOPY
    case 0x33: return ~s;                // NOTSRCCOPY
    case 0xEE: return s | d;             // SRCPAINT
    case 0x88: return s & d;             // SRCAND
    case 0x66: return s ^ d;             // SRCINVERT
    case 0x44: return s & ~d;            // SRCERASE
    case 0x11: return ~(s | d);          // NOTSRCERASE
    case 0xC0: return p & s;             // MERGECOPY
    case 0xBB: return ~s | d;            // MERGEPAINT
    case 0xF0: return p;                 // PATCOPY
    case 0xFB: return p | ~s | d;        // PATPAINT
    case 0x5A: return p ^ d;             // PATINVERT
    case 0x55: return ~d;                // DSTINVERT
    case 0xAA: return d;                 // NOP
    case 0xB8: return (p & ~s) | (s & d);  // PSDPxax: pattern where the source is 0
    case 0xE2: return (d & ~s) | (p & s);  // DSPDxax: pattern where the source is 1
    default: break;
  }
  // The sum of the minterms the index selects.
  uint32_t result = 0;
  for (int k = 0; k < 8; ++k) {
    if (!((index >> k) & 1)) continue;
    result |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
  }
  return result;
}

void rop3Row(uint8_t index, const uint32_t* p, const uint32_t* s, uint32_t* d, size_t count) {
  switch (index) {
    case 0xAA:
      return;
    case 0xCC:
      for (size_t i = 0; i < count; ++i) d[i] = s[i];
      return;
    case 0x88:
      for (size_t i = 0; i < count; ++i) d[i] &= s[i];
      return;
    case 0xEE:
      for (size_t i = 0; i < count; ++i) d[i] |= s[i];
      return;
    case 0x66:
      for (size_t i = 0; i < count; ++i) d[i] ^= s[i];
      return;
    case 0xF0:
      for (size_t i = 0; i < count; ++i) d[i] = p[i];
      return;
    default:
      break;
  }
  const uint32_t zero = 0;
  const bool withP = ropUsesPattern(index), withS = ropUsesSource(index);
  for (size_t i = 0; i < count; ++i) d[i] = rop3(index, withP ? p[i] : zero, withS ? s[i] : zero, d[i]);
}

}  // namespace platform::gdi
