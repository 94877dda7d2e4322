#pragma once
// The page file layout: "xqp\0", the page count, the pages' EMF bytes back
// to back from offset 8, one 12-byte index entry per page (number, offset,
// size), and a 268-byte trailer (document name, paper size, orientation).
// All integers are 32-bit little-endian.

#include <cstdint>

namespace viewxqp {

inline constexpr uint8_t kMagic[4] = {'x', 'q', 'p', 0};
inline constexpr int64_t kHeaderSize = 8;
inline constexpr int64_t kIndexEntrySize = 12;
inline constexpr int64_t kTrailerSize = 268;
inline constexpr int64_t kDocNameFieldSize = 260;
inline constexpr int64_t kMaxDocNameLength = kDocNameFieldSize - 1;
inline constexpr int64_t kTrailerPaperSizeOffset = 260;
inline constexpr int64_t kTrailerOrientationOffset = 264;

// Page records of this size or smaller are not pages.
inline constexpr uint32_t kMaxDroppedPageSize = 100;

// The spool file's header version and its page record type.
inline constexpr uint32_t kSpoolVersion = 0x10000;
inline constexpr uint32_t kSpoolMetafileData = 12;

}  // namespace viewxqp
