#pragma once
// The shared reader of page files. Every call opens the file exclusively,
// reads what it needs and closes it again; nothing is kept between calls.
// Layout fields are checked against the file's length before they are
// followed, so a damaged file gives the failure result, never a read
// outside the file.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/emf/EmfTypes.h"

namespace viewxqp {

// The page count; 0 when the file cannot be opened, is shorter than 8 bytes,
// does not begin with the magic, or holds a count that its length cannot
// hold (negative, or more index entries than the file has room for).
int32_t CountPages(const char* fileName);

// Page 0 is page 1; a number above the count, or negative, is the last page.
uint32_t clampPageNumber(int32_t pageNo, uint32_t pageCount);

// A new metafile handle for the page, owned by the caller; null when the
// file cannot be read, has no pages, or the page's entry or bytes are bad.
HENHMETAFILE LoadPage(const char* fileName, int32_t pageNo);

// Where a page's EMF lies in the file.
struct PageLocation {
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Every page's location, in page order; empty when the file cannot be read
// or any entry points outside the file.
std::vector<PageLocation> ReadIndex(const char* fileName);

struct Trailer {
  std::array<char, 260> docName{};
  int32_t paperSize = 0;
  int32_t orientation = 0;

  // The name's bytes up to its first zero byte, at most 260.
  std::string docNameText() const;
};

// The last 268 bytes of any file; nothing when the file cannot be opened or
// is shorter than a trailer.
std::optional<Trailer> ReadTrailer(const char* fileName);

}  // namespace viewxqp
