// The reading exports over page files built byte by byte: the facts of a
// good file, page number clamping, and the failure results of missing,
// locked, short and damaged files.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "platform/system/File.h"
#include "platform/system/LastError.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/viewxqp.h"

namespace {

using fbtest::getU32;
using fbtest::putU32;

std::vector<uint8_t> metafileBytes(HENHMETAFILE emf) {
  std::vector<uint8_t> bytes(platform::GetEnhMetaFileBits(emf, 0, nullptr));
  platform::GetEnhMetaFileBits(emf, static_cast<uint32_t>(bytes.size()), bytes.data());
  return bytes;
}

// The bytes of the page that GetXQPEMFHandle gives, or empty for no page.
std::vector<uint8_t> loadedPage(const std::string& file, int32_t pageNo) {
  HENHMETAFILE emf = GetXQPEMFHandle(file.c_str(), pageNo);
  if (emf == nullptr) return {};
  auto bytes = metafileBytes(emf);
  EXPECT_TRUE(platform::DeleteEnhMetaFile(emf));
  return bytes;
}

std::string docNameOf(const std::string& file) {
  char* name = GetXQPDocName(file.c_str());
  if (name == nullptr) return "<null>";
  std::string copy(name);
  std::free(name);
  return copy;
}

class PageFileReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    layout_.pages = {fbtest::makeEmf(200), fbtest::makeEmf(1024), fbtest::makeEmf(4096)};
    layout_.docName = "Quarterly report.doc";
    layout_.paperSize = 11;
    layout_.orientation = 2;
    path_ = dir_.file("job.qzm");
    fbtest::writeFile(path_, fbtest::pageFileBytes(layout_));
  }

  // Rewrites the file with `bytes` changed by `edit`.
  template <typename Edit>
  void damage(Edit edit) {
    auto bytes = fbtest::pageFileBytes(layout_);
    edit(bytes);
    fbtest::writeFile(path_, bytes);
  }

  fbtest::TempDir dir_;
  fbtest::PageFileLayout layout_;
  std::string path_;
  fbtest::MessageRecorder messages_;
};

TEST_F(PageFileReaderTest, ReadsTheFactsOfAGoodFile) {
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 3);
  EXPECT_EQ(docNameOf(path_), "Quarterly report.doc");
  EXPECT_EQ(GetPaperSize(path_.c_str()), 11);
  EXPECT_EQ(GetOrientation(path_.c_str()), 2);
  for (int32_t page = 1; page <= 3; ++page) EXPECT_EQ(loadedPage(path_, page), layout_.pages[page - 1]) << page;
  // Reading never leaves the file open: a writer can take it afterwards.
  EXPECT_TRUE(platform::File::open(path_, platform::FileMode::OpenForWrite).isOpen());
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(PageFileReaderTest, ClampsPageNumbers) {
  const struct {
    int32_t asked;
    int expected;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 3}, {1000, 3}, {-1, 3}, {INT_MIN, 3}, {INT_MAX, 3}};
  for (const auto& c : cases) EXPECT_EQ(loadedPage(path_, c.asked), layout_.pages[c.expected - 1]) << c.asked;
  EXPECT_EQ(viewxqp::clampPageNumber(0, 0), 1u);
}

TEST_F(PageFileReaderTest, LastEntryIs280BytesBeforeTheEndAndFirstPageAtOffset8) {
  const auto bytes = fbtest::readFile(path_);
  const size_t last = bytes.size() - 280;
  EXPECT_EQ(getU32(bytes, last), 3u);
  EXPECT_EQ(getU32(bytes, last + 8), layout_.pages[2].size());
  const auto index = viewxqp::ReadIndex(path_.c_str());
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index[0].offset, 8u);
  EXPECT_EQ(index[1].offset, 8u + layout_.pages[0].size());
}

TEST_F(PageFileReaderTest, EntryIsFoundByPositionNotByItsNumber) {
  damage([&](auto& bytes) {
    const size_t firstEntry = bytes.size() - 268 - 36;
    putU32(bytes, firstEntry, 77);  // page number fields are never read
    putU32(bytes, firstEntry + 12, 0);
  });
  EXPECT_EQ(loadedPage(path_, 1), layout_.pages[0]);
  EXPECT_EQ(loadedPage(path_, 2), layout_.pages[1]);
}

TEST_F(PageFileReaderTest, EmptyJobHasNoPages) {
  layout_.pages.clear();
  fbtest::writeFile(path_, fbtest::pageFileBytes(layout_));
  EXPECT_EQ(fbtest::readFile(path_).size(), 276u);
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 0);
  EXPECT_EQ(GetXQPEMFHandle(path_.c_str(), 1), nullptr);
  EXPECT_EQ(GetPaperSize(path_.c_str()), 11);
}

TEST_F(PageFileReaderTest, WrongMagicStillGivesTheTrailer) {
  damage([](auto& bytes) { bytes[0] = 'X'; });
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 0);
  EXPECT_EQ(GetXQPEMFHandle(path_.c_str(), 1), nullptr);
  EXPECT_EQ(GetPaperSize(path_.c_str()), 11);
  EXPECT_EQ(GetOrientation(path_.c_str()), 2);
  EXPECT_EQ(docNameOf(path_), "Quarterly report.doc");
}

TEST_F(PageFileReaderTest, DocumentNameLimits) {
  const struct {
    std::string stored;
    std::string read;
  } cases[] = {
      {"", ""},
      {std::string(259, 'n'), std::string(259, 'n')},
  };
  for (const auto& c : cases) {
    layout_.docName = c.stored;
    fbtest::writeFile(path_, fbtest::pageFileBytes(layout_));
    EXPECT_EQ(docNameOf(path_), c.read) << c.stored.size();
  }
  // A field without any zero byte gives all its 260 bytes, never more.
  damage([](auto& bytes) { std::memset(bytes.data() + bytes.size() - 268, 'z', 260); });
  EXPECT_EQ(docNameOf(path_), std::string(260, 'z'));
}

TEST_F(PageFileReaderTest, MissingFileGivesTheFailureResults) {
  const std::string missing = dir_.file("absent.qzm");
  EXPECT_EQ(GetXQPFilePageNo(missing.c_str()), 0);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetXQPEMFHandle(missing.c_str(), 1), nullptr);
  EXPECT_EQ(GetXQPDocName(missing.c_str()), nullptr);
  EXPECT_EQ(GetPaperSize(missing.c_str()), 0);
  EXPECT_EQ(GetOrientation(missing.c_str()), 0);
  EXPECT_EQ(GetXQPFilePageNo(nullptr), 0);
  EXPECT_EQ(GetXQPDocName(nullptr), nullptr);
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(PageFileReaderTest, FileHeldByAnotherOpenGivesTheFailureResults) {
  auto expectRefused = [&] {
    EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 0);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetXQPEMFHandle(path_.c_str(), 1), nullptr);
    EXPECT_EQ(GetXQPDocName(path_.c_str()), nullptr);
    EXPECT_EQ(GetPaperSize(path_.c_str()), 0);
    EXPECT_EQ(GetOrientation(path_.c_str()), 0);
  };
  {
    platform::File holder = platform::File::open(path_, platform::FileMode::OpenForRead);
    ASSERT_TRUE(holder.isOpen());
    expectRefused();
  }
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 3);

  // Another process holds it: the child keeps it open until told to go.
  int toChild[2], fromChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(fromChild), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::File holder = platform::File::open(path_, platform::FileMode::OpenForRead);
    const char ready = holder.isOpen() ? 'y' : 'n';
    (void)!write(fromChild[1], &ready, 1);
    char go;
    (void)!read(toChild[0], &go, 1);
    _exit(0);
  }
  char ready = 0;
  ASSERT_EQ(read(fromChild[0], &ready, 1), 1);
  ASSERT_EQ(ready, 'y');
  expectRefused();
  (void)!write(toChild[1], "g", 1);
  int status = 0;
  waitpid(child, &status, 0);
  for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 3);
}

TEST_F(PageFileReaderTest, ShortFilesGiveTheFailureResults) {
  for (size_t length : {0u, 4u, 7u, 8u, 100u, 267u}) {
    auto bytes = fbtest::pageFileBytes(layout_);
    bytes.resize(length);
    fbtest::writeFile(path_, bytes);
    EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 0) << length;
    EXPECT_EQ(GetXQPEMFHandle(path_.c_str(), 1), nullptr) << length;
    EXPECT_EQ(GetXQPDocName(path_.c_str()), nullptr) << length;
    EXPECT_EQ(GetPaperSize(path_.c_str()), 0) << length;
    EXPECT_EQ(GetOrientation(path_.c_str()), 0) << length;
  }
}

// Damage to the count or an index entry: the page count, that page 2 gives
// nothing, and whether the index as a whole still reads.
TEST_F(PageFileReaderTest, DamagedLayoutNeverReadsOutsideTheFile) {
  struct Case {
    const char* what;
    void (*edit)(std::vector<uint8_t>&);
    int32_t count;
    bool indexReads = false;  // the entries still point inside the file
  };
  // Index entries: page k's entry at L - 268 - 12 * (3 - k + 1).
  static auto entry = [](std::vector<uint8_t>& b, int k) { return b.size() - 268 - 12 * (3 - k + 1); };
  const Case cases[] = {
      {"count far too large", [](auto& b) { putU32(b, 4, 0x7FFFFFFF); }, 0},
      {"count negative", [](auto& b) { putU32(b, 4, 0xFFFFFFFF); }, 0},
      {"count just past what fits", [](auto& b) { putU32(b, 4, static_cast<uint32_t>((b.size() - 276) / 12 + 1)); }, 0},
      {"offset past the end", [](auto& b) { putU32(b, entry(b, 2) + 4, static_cast<uint32_t>(b.size())); }, 3},
      {"size past the end", [](auto& b) { putU32(b, entry(b, 2) + 8, static_cast<uint32_t>(b.size())); }, 3},
      {"offset plus size wraps 32 bits", [](auto& b) {
         putU32(b, entry(b, 2) + 4, 0xFFFFFFF0u);
         putU32(b, entry(b, 2) + 8, 0x20u);
       }, 3},
      {"size zero", [](auto& b) { putU32(b, entry(b, 2) + 8, 0); }, 3},
      {"page bytes not an EMF", [](auto& b) { putU32(b, entry(b, 2) + 4, 0); }, 3, true},
  };
  for (const auto& c : cases) {
    damage(c.edit);
    EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), c.count) << c.what;
    EXPECT_TRUE(loadedPage(path_, 2).empty()) << c.what;
    EXPECT_EQ(viewxqp::ReadIndex(path_.c_str()).empty(), !c.indexReads) << c.what;
    // The trailer readers do not depend on the layout.
    EXPECT_EQ(GetPaperSize(path_.c_str()), 11) << c.what;
  }
}

TEST_F(PageFileReaderTest, CountThatFitsButIsWrongLoadsNothingBad) {
  // One page fewer than the index holds: the entries are found from the end,
  // so page 1 is the old page 2.
  damage([](auto& b) { putU32(b, 4, 2); });
  EXPECT_EQ(GetXQPFilePageNo(path_.c_str()), 2);
  EXPECT_EQ(loadedPage(path_, 1), layout_.pages[1]);
  EXPECT_EQ(loadedPage(path_, 2), layout_.pages[2]);
}

}  // namespace
