// Converts arbitrary bytes as a spool file and checks the page file against
// a separate walk of the input's records: the pages must be exactly the
// type 12 records over 100 bytes, in order, in a page file every reader
// agrees on.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/MessageBox.h"
#include "tests/fuzz/FuzzSupport.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/viewxqp.h"

namespace {

using fbfuzz::check;
using fbfuzz::u32At;

constexpr char kDocName[] = "Fuzzed job";
constexpr int32_t kOrientation = 2;
constexpr int32_t kPaperSize = 9;

const fbfuzz::ScratchDir* scratch = nullptr;
std::string spoolPath;
std::string pagePath;

struct Page {
  uint64_t offset;
  uint32_t size;
};

// The pages a conversion must produce, or false when it must fail: no
// version 0x10000 header, a zero header size, or a page record that is
// empty or runs past the end. A record header cut short by the end of the
// file ends the job, as does a skipped record that runs past it.
bool expectedPages(const uint8_t* data, size_t size, std::vector<Page>& pages) {
  pages.clear();
  if (size < 8 || u32At(data) != 0x10000 || u32At(data + 4) == 0) return false;
  uint64_t at = u32At(data + 4);
  while (at + 8 <= size) {
    const uint32_t type = u32At(data + at);
    const uint32_t length = u32At(data + at + 4);
    at += 8;
    if (type == 12) {
      if (length == 0 || length > size - at) return false;
      if (length > 100) pages.push_back({at, length});
    }
    at += length;
  }
  return true;
}

void checkPageFile(const uint8_t* data, const std::vector<Page>& pages) {
  std::vector<uint8_t> out;
  check(fbfuzz::readWhole(pagePath, out), "no page file after a successful conversion");

  const int32_t count = GetXQPFilePageNo(pagePath.c_str());
  const auto index = viewxqp::ReadIndex(pagePath.c_str());
  check(count >= 0 && static_cast<size_t>(count) == index.size(), "page count differs from the index length");
  check(index.size() == pages.size(), "page count differs from the input's pages");

  // Pages back to back from offset 8, then the index, then the trailer.
  uint64_t expectedSize = 8 + 12 * uint64_t{pages.size()} + 268;
  for (const Page& p : pages) expectedSize += p.size;
  check(out.size() == expectedSize, "page file length");
  check(std::memcmp(out.data(), "xqp", 4) == 0 && u32At(out.data() + 4) == pages.size(), "page file header");

  uint64_t next = 8;
  const size_t indexAt = out.size() - 268 - 12 * pages.size();
  for (size_t i = 0; i < pages.size(); ++i) {
    const auto& entry = index[i];
    check(uint64_t{entry.offset} + entry.size <= out.size(), "index entry outside the file");
    check(entry.offset == next && entry.size == pages[i].size, "index entry differs from the input's page");
    check(u32At(out.data() + indexAt + 12 * i) == i + 1, "index entry number");
    check(std::memcmp(out.data() + entry.offset, data + pages[i].offset, entry.size) == 0,
          "page bytes differ from the input's");
    next += entry.size;
  }

  char* name = GetXQPDocName(pagePath.c_str());
  check(name != nullptr && std::strcmp(name, kDocName) == 0, "document name");
  std::free(name);
  check(GetPaperSize(pagePath.c_str()) == kPaperSize, "paper size");
  check(GetOrientation(pagePath.c_str()) == kOrientation, "orientation");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::setMessagePresenter([](const platform::MessageBoxRequest&) { return 1; });
  scratch = new fbfuzz::ScratchDir("fuzz-spool");
  spoolPath = scratch->file("job.spl");
  pagePath = scratch->file("job.qzm");
  std::atexit([] { scratch->remove({"job.spl", "job.qzm"}); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fbfuzz::writeInput(spoolPath, data, size);
  std::vector<Page> pages;
  const bool convertible = expectedPages(data, size, pages);

  const int32_t result = BuildXQPFile(spoolPath.c_str(), kDocName, kOrientation, kPaperSize);
  check(result == 0 || result == 1, "result is neither 1 nor 0");
  check(result == (convertible ? 1 : 0), convertible ? "a convertible spool file failed" : "a bad spool file converted");
  if (result == 1) checkPageFile(data, pages);

  ::unlink(pagePath.c_str());
  return 0;
}
