#pragma once
// Bounds-checked typed views of one record's bytes. Every read names an
// offset from the record's start and a count; both are checked against the
// record size in 64-bit arithmetic before a byte is touched, and values are
// copied out (records give no alignment guarantee beyond 4 bytes, and
// offsets read from files none at all).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

namespace platform::emf {

class RecordReader {
 public:
  // `data` holds the whole record, type and size included.
  RecordReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  uint32_t type() const { return size_ >= 4 ? u32(0) : 0; }
  const uint8_t* data() const { return data_; }

  // True when [offset, offset + count * unit) lies inside the record.
  bool fits(uint64_t offset, uint64_t count, uint64_t unit = 1) const {
    if (offset > size_) return false;
    if (unit != 0 && count > (uint64_t{size_} - offset) / unit) return false;
    return true;
  }

  // A plain value at `offset`, or nothing when the record is too short.
  template <typename T>
  std::optional<T> get(uint64_t offset) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!fits(offset, sizeof(T))) return std::nullopt;
    T value;
    std::memcpy(&value, data_ + offset, sizeof(T));
    return value;
  }

  // `count` values from `offset` into `out`; false (and `out` empty) when
  // they do not all lie inside the record.
  template <typename T>
  bool array(uint64_t offset, uint64_t count, std::vector<T>& out) const {
    static_assert(std::is_trivially_copyable_v<T>);
    out.clear();
    if (!fits(offset, count, sizeof(T))) return false;
    out.resize(static_cast<size_t>(count));
    if (count > 0) std::memcpy(out.data(), data_ + offset, static_cast<size_t>(count) * sizeof(T));
    return true;
  }

  // Bytes [offset, offset + length) as a pointer into the record, or null.
  const uint8_t* bytes(uint64_t offset, uint64_t length) const {
    return fits(offset, length) ? data_ + offset : nullptr;
  }

 private:
  uint32_t u32(size_t offset) const {
    uint32_t v;
    std::memcpy(&v, data_ + offset, sizeof v);
    return v;
  }

  const uint8_t* data_;
  size_t size_;
};

}  // namespace platform::emf
