#pragma once
// Enhanced metafile handles over validated bytes, as SetEnhMetaFileBits,
// GetEnhMetaFileHeader, GetEnhMetaFileBits and DeleteEnhMetaFile give them.
// A handle stays valid until it is deleted; handles that were never made or
// are already deleted are refused with ERROR_INVALID_HANDLE, never followed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/emf/EmfTypes.h"

namespace platform {

// An immutable metafile: the header record checked, the bytes exactly the
// header's nBytes long.
// A new handle taking over `bytes` without a copy; null as below.
HENHMETAFILE SetEnhMetaFileBits(std::vector<uint8_t>&& bytes);

class EnhMetaFile {
 public:
  // Checks the header: type EMR_HEADER, the " EMF" signature, a header size
  // of at least 88 bytes that is a multiple of 4 and within nBytes, and
  // nBytes a multiple of 4 and within the bytes given. Bytes after nBytes are
  // dropped. Returns false (and ERROR_INVALID_DATA) when a check fails.
  static bool isValid(std::span<const uint8_t> bytes);

  const ENHMETAHEADER& header() const { return header_; }
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  friend HENHMETAFILE SetEnhMetaFileBits(std::vector<uint8_t>&& bytes);
  explicit EnhMetaFile(std::vector<uint8_t> validBytes);

  std::vector<uint8_t> bytes_;
  ENHMETAHEADER header_{};
};

// A new handle over a copy of `data`, or null (with the last error set) when
// the bytes are not a valid metafile.
HENHMETAFILE SetEnhMetaFileBits(uint32_t size, const uint8_t* data);
// SetEnhMetaFileBits(std::vector<uint8_t>&&), declared above: the same,
// taking over the bytes without a copy.

// With a null `header`, the size of the header record (at most 108); else
// copies min(size, that) bytes of it. 0 for an invalid handle.
uint32_t GetEnhMetaFileHeader(HENHMETAFILE metafile, uint32_t size, ENHMETAHEADER* header);

// With a null `buffer`, the metafile's size in bytes; else copies it whole
// and returns its size. 0 for an invalid handle, and 0 with
// ERROR_INSUFFICIENT_BUFFER when `size` is smaller than the metafile.
uint32_t GetEnhMetaFileBits(HENHMETAFILE metafile, uint32_t size, uint8_t* buffer);

// Releases the handle. false (ERROR_INVALID_HANDLE) for a handle that is not live.
bool DeleteEnhMetaFile(HENHMETAFILE metafile);

// The metafile behind a live handle, or null. The pointer stays valid until
// the handle is deleted.
const EnhMetaFile* enhMetaFileFromHandle(HENHMETAFILE metafile);

}  // namespace platform
