#pragma once
// The fixed parts of the enhanced metafile format that callers outside the
// player see: the header record and the handle type.

#include <cstdint>

namespace platform {

struct RECTL {
  int32_t left, top, right, bottom;
};

struct SIZEL {
  int32_t cx, cy;
};

inline constexpr uint32_t EMR_HEADER = 1;
inline constexpr uint32_t EMR_EOF = 14;
inline constexpr uint32_t ENHMETA_SIGNATURE = 0x464D4520;  // " EMF"

// The header record as it is stored; the last three fields exist only in
// headers of 100 and 108 bytes and read as zero in shorter ones.
struct ENHMETAHEADER {
  uint32_t iType;
  uint32_t nSize;
  RECTL rclBounds;
  RECTL rclFrame;
  uint32_t dSignature;
  uint32_t nVersion;
  uint32_t nBytes;
  uint32_t nRecords;
  uint16_t nHandles;
  uint16_t sReserved;
  uint32_t nDescription;
  uint32_t offDescription;
  uint32_t nPalEntries;
  SIZEL szlDevice;
  SIZEL szlMillimeters;
  uint32_t cbPixelFormat;
  uint32_t offPixelFormat;
  uint32_t bOpenGL;
  SIZEL szlMicrometers;
};
static_assert(sizeof(ENHMETAHEADER) == 108);

inline constexpr uint32_t kMinEmfHeaderSize = 88;

}  // namespace platform

// An enhanced metafile handle: opaque, owned by whoever asked for it.
using HENHMETAFILE = struct HENHMETAFILE__*;
