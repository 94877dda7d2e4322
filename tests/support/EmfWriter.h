#pragma once
// Writes enhanced metafiles for test fixtures: a header record, the records
// the test adds, and the end-of-file record, with the header's byte, record
// and handle counts filled in.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/emf/EmfTypes.h"

namespace fbtest {

class EmfWriter {
 public:
  // `frame` in .01 mm (the header's rclFrame); `bounds` in device pixels.
  // The reference device defaults to a 96 dpi A4 screen-like device.
  explicit EmfWriter(platform::RECTL frame = {0, 0, 21000, 29700}, platform::RECTL bounds = {0, 0, 793, 1122},
                     platform::SIZEL devicePixels = {1920, 1080}, platform::SIZEL deviceMillimeters = {508, 286});

  // Any record: type, then the payload after the 8-byte type and size; the
  // payload is padded with zeros to a multiple of 4.
  EmfWriter& record(uint32_t type, std::span<const uint8_t> payload = {});
  EmfWriter& record(uint32_t type, std::initializer_list<int32_t> payload);

  // A few drawing records (coordinates in logical units).
  EmfWriter& setMapMode(int32_t mode);
  EmfWriter& moveTo(int32_t x, int32_t y);
  EmfWriter& lineTo(int32_t x, int32_t y);
  EmfWriter& rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
  EmfWriter& ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // EMR_EXTTEXTOUTW at (x, y) with the text as UTF-16, no dx array needed by callers.
  EmfWriter& textOut(int32_t x, int32_t y, const std::u16string& text);

  // Appends the end-of-file record and returns the finished bytes; the
  // writer is then empty again, ready for another metafile.
  std::vector<uint8_t> finish();

 private:
  std::vector<uint8_t> bytes_;
  uint32_t records_ = 0;
  uint32_t highestHandle_ = 0;  // the highest object slot a create record named
  platform::RECTL frame_, bounds_;
  platform::SIZEL devicePixels_, deviceMillimeters_;
  void start();
};

// A small valid metafile of at least `minSize` bytes (padded with comment
// records), for tests that need pages of a given size. The smallest is 152
// bytes (header, one rectangle, EOF); the size is `minSize` exactly when that
// is a multiple of 4 and is 152 or at least 164, else the next size that can
// be made (a comment record has at least 12 bytes).
std::vector<uint8_t> makeEmf(size_t minSize = 0);

}  // namespace fbtest
