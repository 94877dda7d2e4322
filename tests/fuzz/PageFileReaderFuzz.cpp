// Feeds arbitrary bytes, as a file on disk, to every page file reader and
// checks what they return against the layout read straight from the bytes:
// a reader may refuse a damaged file, but what it does return must be what
// the file holds.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/system/MessageBox.h"
#include "tests/fuzz/FuzzSupport.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/viewxqp.h"

namespace {

using fbfuzz::check;
using fbfuzz::u32At;

constexpr int64_t kHeader = 8;
constexpr int64_t kEntry = 12;
constexpr int64_t kTrailer = 268;
constexpr size_t kNameField = 260;

const fbfuzz::ScratchDir* scratch = nullptr;
std::string inputPath;

// The page count the layout allows: 0 unless the magic is there and the
// count's index entries and the trailer fit in the file.
int32_t expectedCount(const uint8_t* data, int64_t size) {
  if (size < kHeader || std::memcmp(data, "xqp", 4) != 0) return 0;
  const auto count = static_cast<int32_t>(u32At(data + 4));
  if (count < 0 || kHeader + kEntry * count + kTrailer > size) return 0;
  return count;
}

struct Entry {
  uint32_t offset;
  uint32_t size;
  bool usable;  // a non-empty page inside the file
};

Entry entryOf(const uint8_t* data, int64_t size, int32_t count, int32_t pageNumber) {
  const int64_t at = size - kTrailer - kEntry * count + kEntry * (pageNumber - 1);
  Entry e{u32At(data + at + 4), u32At(data + at + 8), false};
  e.usable = e.size != 0 && int64_t{e.offset} + e.size <= size;
  return e;
}

// 0 is page 1; negative or past the end is the last page.
int32_t pageFor(int32_t pageNo, int32_t count) {
  if (pageNo == 0) return 1;
  if (pageNo < 0 || pageNo > count) return count;
  return pageNo;
}

void checkPage(const uint8_t* data, int64_t size, int32_t count, int32_t pageNo) {
  HENHMETAFILE handle = GetXQPEMFHandle(inputPath.c_str(), pageNo);
  if (handle == nullptr) return;
  check(count > 0, "a page from a file that has none");

  platform::ENHMETAHEADER header{};
  const uint32_t headerSize = platform::GetEnhMetaFileHeader(handle, sizeof header, &header);
  check(headerSize >= platform::kMinEmfHeaderSize && headerSize <= sizeof header, "header size");
  const uint32_t total = platform::GetEnhMetaFileBits(handle, 0, nullptr);
  std::vector<uint8_t> bits(total);
  check(platform::GetEnhMetaFileBits(handle, total, bits.data()) == total, "bits copy length");
  check(total == header.nBytes, "copy size differs from the header's nBytes");
  check(std::memcmp(&header, bits.data(), headerSize) == 0, "header differs from the copy's first record");

  // The metafile must be the start of the selected page's bytes.
  const Entry e = entryOf(data, size, count, pageFor(pageNo, count));
  check(e.usable, "a page from an entry outside the file");
  check(total <= e.size, "metafile longer than its page");
  check(std::memcmp(bits.data(), data + e.offset, total) == 0, "metafile bytes differ from the page's");

  check(platform::DeleteEnhMetaFile(handle), "delete of a fresh handle");
}

void checkIndex(const uint8_t* data, int64_t size, int32_t count) {
  const auto index = viewxqp::ReadIndex(inputPath.c_str());
  if (index.empty()) {
    bool anyBad = false;
    for (int32_t n = 1; n <= count; ++n) anyBad = anyBad || !entryOf(data, size, count, n).usable;
    check(count == 0 || anyBad, "empty index for a file whose entries are all good");
    return;
  }
  check(index.size() == static_cast<size_t>(count), "index length differs from the page count");
  for (int32_t n = 1; n <= count; ++n) {
    const Entry e = entryOf(data, size, count, n);
    const auto& got = index[static_cast<size_t>(n - 1)];
    check(e.usable && got.offset == e.offset && got.size == e.size, "index entry differs from the file's");
  }
}

void checkTrailer(const uint8_t* data, int64_t size) {
  char* name = GetXQPDocName(inputPath.c_str());
  const int32_t paper = GetPaperSize(inputPath.c_str());
  const int32_t orientation = GetOrientation(inputPath.c_str());
  if (size < kTrailer) {
    check(name == nullptr && paper == 0 && orientation == 0, "trailer values from a file too short for one");
    return;
  }
  check(name != nullptr, "no document name from a file with a trailer");
  const size_t length = std::strlen(name);
  check(length <= kNameField, "document name longer than its field");
  const auto* field = reinterpret_cast<const char*>(data + size - kTrailer);
  check(length == strnlen(field, kNameField) && std::memcmp(name, field, length) == 0,
        "document name differs from the trailer's");
  std::free(name);
  check(paper == static_cast<int32_t>(u32At(data + size - 8)), "paper size differs from the trailer's");
  check(orientation == static_cast<int32_t>(u32At(data + size - 4)), "orientation differs from the trailer's");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::setMessagePresenter([](const platform::MessageBoxRequest&) { return 1; });
  scratch = new fbfuzz::ScratchDir("fuzz-pagefile");
  inputPath = scratch->file("input.qzm");
  std::atexit([] { scratch->remove({"input.qzm"}); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fbfuzz::writeInput(inputPath, data, size);
  const auto length = static_cast<int64_t>(size);

  const int32_t count = GetXQPFilePageNo(inputPath.c_str());
  check(count == expectedCount(data, length), "page count differs from the layout's");

  for (const int32_t pageNo : {0, 1, 2, count, -1}) checkPage(data, length, count, pageNo);
  checkIndex(data, length, count);
  checkTrailer(data, length);
  return 0;
}
