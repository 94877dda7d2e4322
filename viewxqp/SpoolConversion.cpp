#include "viewxqp/SpoolConversion.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/system/CodePage.h"
#include "platform/system/File.h"
#include "platform/system/LastError.h"
#include "viewxqp/ErrorBox.h"
#include "viewxqp/PageFileFormat.h"

namespace viewxqp {

namespace {

using platform::File;
using platform::FileMode;


void putU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
uint32_t getU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

constexpr int64_t kBlock = 4096;

struct AlignedDelete {
  void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t{kBlock}); }
};
using AlignedBuffer = std::unique_ptr<uint8_t[], AlignedDelete>;

// Uninitialised: only bytes read into it are used.
AlignedBuffer alignedBuffer(size_t size) {
  return AlignedBuffer(static_cast<uint8_t*>(::operator new[](size, std::align_val_t{kBlock})));
}

// Reads the spool file front to back. Record headers come through a small
// look-ahead buffer, so they cost no system call each; skips that leave it
// become a seek, so records that are not pages are never read. Page bytes
// beyond the look-ahead move in large blocks through a second buffer, placed
// so that each block sits at the same offset within a memory page as its
// destination in the output: the kernel then copies whole words into the
// page cache instead of shifting every byte, which is most of the cost of a
// page.
class SequentialReader {
 public:
  SequentialReader(File& file, int64_t start)
      : file_(file), bufferStart_(start), lookAhead_(alignedBuffer(kLookAheadSize)) {}

  int64_t position() const { return bufferStart_ + static_cast<int64_t>(cursor_); }
  bool failed() const { return failed_; }

  // Exactly `size` bytes; false at the end of the file or on an error.
  bool read(void* out, size_t size) {
    auto* dst = static_cast<uint8_t*>(out);
    while (size > 0) {
      if (cursor_ == filled_ && !refill()) return false;
      const size_t take = std::min(size, filled_ - cursor_);
      std::memcpy(dst, lookAhead_.get() + cursor_, take);
      cursor_ += take;
      dst += take;
      size -= take;
    }
    return true;
  }

  void skip(uint64_t size) {
    if (size <= filled_ - cursor_) {
      cursor_ += static_cast<size_t>(size);
      return;
    }
    bufferStart_ = position() + static_cast<int64_t>(size);
    cursor_ = filled_ = 0;
  }

  // Copies the next `size` bytes to `out`, whose position is `outPosition`;
  // false when the spool file ends early or either file fails.
  bool copyTo(File& out, uint64_t size, uint64_t outPosition) {
    const size_t buffered = static_cast<size_t>(std::min<uint64_t>(size, filled_ - cursor_));
    if (buffered > 0 && !out.write(lookAhead_.get() + cursor_, buffered)) return false;
    cursor_ += buffered;
    size -= buffered;
    outPosition += buffered;
    if (size == 0) return true;

    const int64_t from = position();
    bufferStart_ = from + static_cast<int64_t>(size);
    cursor_ = filled_ = 0;
    if (!pages_) pages_ = alignedBuffer(kPageBlockSize + kBlock);
    if (!file_.seek(from)) return fail();
    while (size > 0) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(size, kPageBlockSize));
      uint8_t* block = pages_.get() + outPosition % kBlock;
      if (!file_.readExact(block, take)) return fail();
      if (!out.write(block, take)) return false;
      size -= take;
      outPosition += take;
    }
    return true;
  }

 private:
  static constexpr size_t kLookAheadSize = size_t{64} << 10;
  static constexpr size_t kPageBlockSize = size_t{1} << 20;

  bool fail() {
    failed_ = true;
    return false;
  }

  // Fills the look-ahead from the block of the file that holds position().
  bool refill() {
    const int64_t at = position();
    const int64_t blockStart = at - at % kBlock;
    bufferStart_ = blockStart;
    cursor_ = static_cast<size_t>(at - blockStart);
    filled_ = 0;
    if (!file_.seek(blockStart)) return fail();
    const int64_t n = file_.read(lookAhead_.get(), kLookAheadSize);
    if (n < 0) failed_ = true;
    filled_ = n > 0 ? static_cast<size_t>(n) : 0;
    if (filled_ <= cursor_) {
      cursor_ = filled_;
      bufferStart_ = at - static_cast<int64_t>(cursor_);
      return false;
    }
    return true;
  }

  File& file_;
  int64_t bufferStart_;
  AlignedBuffer lookAhead_;
  AlignedBuffer pages_;
  size_t cursor_ = 0;
  size_t filled_ = 0;
  bool failed_ = false;
};

struct IndexEntry {
  uint32_t offset;
  uint32_t size;
};

std::vector<uint8_t> trailerBytes(const char* docName, int32_t paperSize, int32_t orientation) {
  std::vector<uint8_t> trailer(kTrailerSize, 0);
  const std::string_view name = docName ? docName : "";
  // A name too long for the field is cut, at a character boundary, so that
  // it keeps its terminating zero.
  const size_t length = platform::ansiPrefixLength(name, kMaxDocNameLength);
  std::memcpy(trailer.data(), name.data(), length);
  putU32(trailer.data() + kTrailerPaperSizeOffset, static_cast<uint32_t>(paperSize));
  putU32(trailer.data() + kTrailerOrientationOffset, static_cast<uint32_t>(orientation));
  return trailer;
}

std::vector<uint8_t> indexBytes(const std::vector<IndexEntry>& entries) {
  std::vector<uint8_t> index(entries.size() * kIndexEntrySize);
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* e = index.data() + i * kIndexEntrySize;
    putU32(e, static_cast<uint32_t>(i + 1));
    putU32(e + 4, entries[i].offset);
    putU32(e + 8, entries[i].size);
  }
  return index;
}

}  // namespace

std::string pageFilePathFor(const std::string& spoolFileName) {
  const size_t slash = spoolFileName.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = spoolFileName.find_last_of('.');
  const size_t stem = dot != std::string::npos && dot >= nameStart ? dot : spoolFileName.size();
  return spoolFileName.substr(0, stem) + ".qzm";
}

int32_t buildXQPFile(const char* spoolFileName, const char* docName, int32_t orientation, int32_t paperSize,
                     const ConversionFaults& faults) {
  if (spoolFileName == nullptr) {
    platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
    ShowSystemError(platform::GetLastError(), "OPENFILE-ERROR");
    return 0;
  }
  File spool = File::open(spoolFileName, FileMode::OpenForRead);
  if (!spool) {
    ShowSystemError(platform::GetLastError(), "OPENFILE-ERROR");
    return 0;
  }
  uint8_t header[8];
  if (!spool.readExact(header, sizeof header)) return 0;
  const uint32_t version = getU32(header);
  const uint32_t headerSize = getU32(header + 4);
  if (version != kSpoolVersion || headerSize == 0) return 0;
  const int64_t length = spool.size();
  if (length < 0) return 0;

  File out = File::open(pageFilePathFor(spoolFileName), FileMode::CreateAlways);
  if (!out) return 0;
  const uint8_t placeholder[kHeaderSize] = {};
  if (!out.write(placeholder, sizeof placeholder)) return 0;

  std::vector<IndexEntry> entries;
  size_t keptPages = 0;
  bool listFailed = false;
  uint64_t runningOffset = kHeaderSize;
  SequentialReader reader(spool, headerSize);

  while (reader.position() < length) {
    uint8_t record[8];
    if (!reader.read(record, sizeof record)) break;
    const uint32_t type = getU32(record);
    const uint32_t size = getU32(record + 4);
    if (type != kSpoolMetafileData) {
      reader.skip(size);
      continue;
    }
    // A page record that is empty, longer than what is left of the file, or
    // that would push a page past the 32-bit offsets of the index cannot
    // become a page: the conversion is abandoned, and the output keeps its
    // zero header so that no reader takes it.
    if (size == 0 || size > static_cast<uint64_t>(length - reader.position())) return 0;
    if (size <= kMaxDroppedPageSize) {
      reader.skip(size);
      continue;
    }
    if (runningOffset + size > std::numeric_limits<uint32_t>::max()) return 0;
    if (!reader.copyTo(out, size, runningOffset)) return 0;

    bool appended = !faults.listAppendSucceeds || faults.listAppendSucceeds(keptPages);
    if (appended) {
      try {
        entries.push_back({static_cast<uint32_t>(runningOffset), size});
      } catch (const std::bad_alloc&) {
        appended = false;
      }
    }
    if (!appended) {
      // The page's bytes stay in the file but it is not counted, so the
      // count and the index agree; the result tells the caller a page is
      // missing.
      platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
      ShowSystemError(platform::GetLastError(), "List Add Error");
      listFailed = true;
    }
    runningOffset += size;
    ++keptPages;
  }
  if (reader.failed()) return 0;

  bool indexFailed = false;
  const std::vector<uint8_t> index = indexBytes(entries);
  if (!index.empty() && !out.write(index.data(), index.size())) {
    ShowSystemError(platform::GetLastError(), "Get List Error");
    indexFailed = true;
  }
  const std::vector<uint8_t> trailer = trailerBytes(docName, paperSize, orientation);
  if (!out.write(trailer.data(), trailer.size())) return 0;

  // The magic goes in last: a file cut short anywhere before this point
  // still begins with zeros, and every reader refuses it.
  uint8_t finalHeader[kHeaderSize];
  std::memcpy(finalHeader, kMagic, sizeof kMagic);
  putU32(finalHeader + 4, static_cast<uint32_t>(entries.size()));
  if (!out.seek(0) || !out.write(finalHeader, sizeof finalHeader)) return 0;
  if (!out.close()) return 0;
  return listFailed || indexFailed ? 0 : 1;
}

}  // namespace viewxqp
