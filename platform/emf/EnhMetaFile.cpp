#include "platform/emf/EnhMetaFile.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/system/LastError.h"

namespace platform {

namespace {

uint32_t readU32(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

// The live handles. A handle is the address of its EnhMetaFile; looking it
// up here first means a stale or made-up handle is never dereferenced.
class HandleTable {
 public:
  HENHMETAFILE add(EnhMetaFile* metafile) {
    std::lock_guard lock(mutex_);
    live_.insert(metafile);
    return reinterpret_cast<HENHMETAFILE>(metafile);
  }
  const EnhMetaFile* find(HENHMETAFILE handle) {
    std::lock_guard lock(mutex_);
    auto* p = reinterpret_cast<EnhMetaFile*>(handle);
    return live_.count(p) ? p : nullptr;
  }
  EnhMetaFile* remove(HENHMETAFILE handle) {
    std::lock_guard lock(mutex_);
    auto* p = reinterpret_cast<EnhMetaFile*>(handle);
    return live_.erase(p) ? p : nullptr;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<EnhMetaFile*> live_;
};

HandleTable& handles() {
  static auto* table = new HandleTable;  // never destroyed: handles may outlive static destruction
  return *table;
}

const EnhMetaFile* lookup(HENHMETAFILE handle) {
  const EnhMetaFile* metafile = handle ? handles().find(handle) : nullptr;
  if (metafile == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return metafile;
}

}  // namespace

bool EnhMetaFile::isValid(std::span<const uint8_t> bytes) {
  const auto invalid = [] {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  };
  if (bytes.size() < kMinEmfHeaderSize) return invalid();
  const uint32_t type = readU32(bytes, 0);
  const uint32_t headerSize = readU32(bytes, 4);
  const uint32_t signature = readU32(bytes, 40);
  const uint32_t totalSize = readU32(bytes, 48);
  if (type != EMR_HEADER || signature != ENHMETA_SIGNATURE) return invalid();
  if (headerSize < kMinEmfHeaderSize || headerSize % 4 != 0 || headerSize > totalSize) return invalid();
  if (totalSize % 4 != 0 || totalSize > bytes.size()) return invalid();
  return true;
}

EnhMetaFile::EnhMetaFile(std::vector<uint8_t> validBytes) : bytes_(std::move(validBytes)) {
  const uint32_t totalSize = readU32(bytes_, 48);
  bytes_.resize(totalSize);
  const size_t headerSize = std::min<size_t>(readU32(bytes_, 4), sizeof header_);
  std::memcpy(&header_, bytes_.data(), headerSize);
}

HENHMETAFILE SetEnhMetaFileBits(uint32_t size, const uint8_t* data) {
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!EnhMetaFile::isValid({data, size})) return nullptr;
  try {
    return SetEnhMetaFileBits(std::vector<uint8_t>(data, data + size));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HENHMETAFILE SetEnhMetaFileBits(std::vector<uint8_t>&& bytes) {
  if (!EnhMetaFile::isValid(bytes)) return nullptr;
  try {
    return handles().add(new EnhMetaFile(std::move(bytes)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

uint32_t GetEnhMetaFileHeader(HENHMETAFILE handle, uint32_t size, ENHMETAHEADER* header) {
  const EnhMetaFile* metafile = lookup(handle);
  if (metafile == nullptr) return 0;
  const uint32_t headerSize = std::min<uint32_t>(metafile->header().nSize, sizeof(ENHMETAHEADER));
  if (header == nullptr) return headerSize;
  const uint32_t n = std::min(size, headerSize);
  std::memcpy(header, &metafile->header(), n);
  return n;
}

uint32_t GetEnhMetaFileBits(HENHMETAFILE handle, uint32_t size, uint8_t* buffer) {
  const EnhMetaFile* metafile = lookup(handle);
  if (metafile == nullptr) return 0;
  const auto bytes = metafile->bytes();
  const auto total = static_cast<uint32_t>(bytes.size());
  if (buffer == nullptr) return total;
  if (size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, bytes.data(), total);
  return total;
}

bool DeleteEnhMetaFile(HENHMETAFILE handle) {
  EnhMetaFile* metafile = handle ? handles().remove(handle) : nullptr;
  if (metafile == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  delete metafile;
  return true;
}

const EnhMetaFile* enhMetaFileFromHandle(HENHMETAFILE handle) { return handle ? handles().find(handle) : nullptr; }

}  // namespace platform
