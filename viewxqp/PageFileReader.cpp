#include "viewxqp/PageFileReader.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/system/File.h"
#include "platform/system/LastError.h"
#include "viewxqp/PageFileFormat.h"

namespace viewxqp {

namespace {

using platform::File;
using platform::FileMode;

uint32_t u32At(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// An open page file with its length and a header that passed the checks.
struct OpenPageFile {
  File file;
  int64_t length = 0;
  uint32_t pageCount = 0;
};

bool pageCountFits(int32_t count, int64_t length) {
  return count >= 0 && kHeaderSize + kIndexEntrySize * count + kTrailerSize <= length;
}

std::optional<OpenPageFile> openPageFile(const char* fileName) {
  if (fileName == nullptr) {
    platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  OpenPageFile page;
  page.file = File::open(fileName, FileMode::OpenForRead);
  if (!page.file) return std::nullopt;
  uint8_t header[kHeaderSize];
  if (!page.file.readExact(header, sizeof header) || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    platform::SetLastError(platform::ERROR_INVALID_DATA);
    return std::nullopt;
  }
  page.length = page.file.size();
  const auto count = static_cast<int32_t>(u32At(header + 4));
  if (page.length < 0 || !pageCountFits(count, page.length)) {
    platform::SetLastError(platform::ERROR_INVALID_DATA);
    return std::nullopt;
  }
  page.pageCount = static_cast<uint32_t>(count);
  return page;
}

int64_t entryOffset(const OpenPageFile& page, uint32_t pageNumber) {
  return page.length - kIndexEntrySize * page.pageCount - kTrailerSize + kIndexEntrySize * (pageNumber - 1);
}

// The location in an index entry, if the page it names lies inside the file.
std::optional<PageLocation> entryLocation(const uint8_t* entry, int64_t fileLength) {
  const PageLocation location{u32At(entry + 4), u32At(entry + 8)};
  if (location.size == 0 || int64_t{location.offset} + location.size > fileLength) {
    platform::SetLastError(platform::ERROR_INVALID_DATA);
    return std::nullopt;
  }
  return location;
}

}  // namespace

int32_t CountPages(const char* fileName) {
  const auto page = openPageFile(fileName);
  return page ? static_cast<int32_t>(page->pageCount) : 0;
}

uint32_t clampPageNumber(int32_t pageNo, uint32_t pageCount) {
  auto n = static_cast<uint32_t>(pageNo);
  if (n > pageCount) n = pageCount;
  return n == 0 ? 1 : n;
}

HENHMETAFILE LoadPage(const char* fileName, int32_t pageNo) {
  auto page = openPageFile(fileName);
  if (!page || page->pageCount == 0) return nullptr;
  const uint32_t n = clampPageNumber(pageNo, page->pageCount);
  uint8_t entry[kIndexEntrySize];
  if (!page->file.readAt(entryOffset(*page, n), entry, sizeof entry)) return nullptr;
  const auto location = entryLocation(entry, page->length);
  if (!location) return nullptr;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(location->size);
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!page->file.readAt(location->offset, bytes.data(), bytes.size())) return nullptr;
  page->file.close();
  return platform::SetEnhMetaFileBits(std::move(bytes));
}

std::vector<PageLocation> ReadIndex(const char* fileName) {
  auto page = openPageFile(fileName);
  if (!page || page->pageCount == 0) return {};
  std::vector<uint8_t> index(static_cast<size_t>(kIndexEntrySize * page->pageCount));
  if (!page->file.readAt(entryOffset(*page, 1), index.data(), index.size())) return {};
  std::vector<PageLocation> locations;
  locations.reserve(page->pageCount);
  for (size_t at = 0; at < index.size(); at += kIndexEntrySize) {
    const auto location = entryLocation(index.data() + at, page->length);
    if (!location) return {};
    locations.push_back(*location);
  }
  return locations;
}

std::string Trailer::docNameText() const {
  const auto* end = static_cast<const char*>(std::memchr(docName.data(), 0, docName.size()));
  return std::string(docName.data(), end ? static_cast<size_t>(end - docName.data()) : docName.size());
}

std::optional<Trailer> ReadTrailer(const char* fileName) {
  if (fileName == nullptr) {
    platform::SetLastError(platform::ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  File file = File::open(fileName, FileMode::OpenForRead);
  if (!file) return std::nullopt;
  const int64_t length = file.size();
  if (length < kTrailerSize) {
    platform::SetLastError(platform::ERROR_INVALID_DATA);
    return std::nullopt;
  }
  uint8_t bytes[kTrailerSize];
  if (!file.readAt(length - kTrailerSize, bytes, sizeof bytes)) return std::nullopt;
  Trailer trailer;
  std::memcpy(trailer.docName.data(), bytes, trailer.docName.size());
  std::memcpy(&trailer.paperSize, bytes + kTrailerPaperSizeOffset, 4);
  std::memcpy(&trailer.orientation, bytes + kTrailerOrientationOffset, 4);
  return trailer;
}

}  // namespace viewxqp
