#pragma once
// Fills Windows information structures the spooler's way: an array of
// fixed parts at the start of the caller's buffer, then the device modes
// and strings they point to. Each fill runs twice: once to measure, once
// to write when the buffer is large enough.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/spooler/SpoolerApi.h"
#include "platform/spooler/SpoolerErrors.h"

namespace platform::spooler {

class InfoPacker {
 public:
  // `base` null: measure only.
  InfoPacker(uint8_t* base, size_t fixedBytes) : base_(base), cursor_(align(fixedBytes)) {}

  // A copy of `text` in the buffer (null while measuring).
  char* string(const std::string& text) {
    const size_t at = cursor_;
    cursor_ += text.size() + 1;
    if (base_ == nullptr) return nullptr;
    std::memcpy(base_ + at, text.c_str(), text.size() + 1);
    return reinterpret_cast<char*>(base_ + at);
  }
  // As string(), but an empty text gives a null pointer.
  char* optionalString(const std::string& text) { return text.empty() ? nullptr : string(text); }
  DEVMODEA* devMode(const DEVMODEA& mode) {
    cursor_ = align(cursor_);
    const size_t at = cursor_;
    cursor_ += sizeof(DEVMODEA);
    if (base_ == nullptr) return nullptr;
    std::memcpy(base_ + at, &mode, sizeof mode);
    return reinterpret_cast<DEVMODEA*>(base_ + at);
  }
  size_t used() const { return cursor_; }

 private:
  static size_t align(size_t n) { return (n + 7) & ~size_t{7}; }
  uint8_t* base_;
  size_t cursor_;
};

// Fills `count` records of T with fill(packer, index, record) into
// `buffer` of `size` bytes. *needed gets the size the records take; false
// with ERROR_INSUFFICIENT_BUFFER when they do not fit.
template <typename T, typename Fill>
bool packRecords(size_t count, uint8_t* buffer, uint32_t size, uint32_t* needed, Fill fill) {
  InfoPacker measure(nullptr, count * sizeof(T));
  for (size_t i = 0; i < count; ++i) {
    T record{};
    fill(measure, i, record);
  }
  const size_t total = count == 0 ? 0 : measure.used();
  if (needed != nullptr) *needed = static_cast<uint32_t>(total);
  if (total > size || (total > 0 && buffer == nullptr)) return fail(ERROR_INSUFFICIENT_BUFFER);
  if (count == 0) return true;
  std::memset(buffer, 0, total);
  InfoPacker write(buffer, count * sizeof(T));
  for (size_t i = 0; i < count; ++i) {
    T record{};
    fill(write, i, record);
    std::memcpy(buffer + i * sizeof(T), &record, sizeof(T));
  }
  return true;
}

}  // namespace platform::spooler
