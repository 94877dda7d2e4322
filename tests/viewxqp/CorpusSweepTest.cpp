// Real files written by other programs: every spool file converts to the
// page file of its pages, and metafiles wrapped into page files (damaged
// ones among them) load or are refused without harm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/emf/EnhMetaFile.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/viewxqp.h"

namespace {

// The pages a spool file holds, walked independently of the library: the
// data of every type 12 record over 100 bytes.
std::vector<std::vector<uint8_t>> spoolPages(const std::vector<uint8_t>& spool) {
  std::vector<std::vector<uint8_t>> pages;
  if (spool.size() < 8) return pages;
  uint64_t at = fbtest::getU32(spool, 4);
  while (at + 8 <= spool.size()) {
    const uint32_t type = fbtest::getU32(spool, at);
    const uint64_t size = fbtest::getU32(spool, at + 4);
    at += 8;
    if (type == 12 && size > 100 && at + size <= spool.size())
      pages.emplace_back(spool.begin() + static_cast<std::ptrdiff_t>(at),
                         spool.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  return pages;
}

std::vector<uint8_t> pageBytes(const std::string& file, int32_t page) {
  HENHMETAFILE emf = GetXQPEMFHandle(file.c_str(), page);
  if (emf == nullptr) return {};
  std::vector<uint8_t> bytes(platform::GetEnhMetaFileBits(emf, 0, nullptr));
  platform::GetEnhMetaFileBits(emf, static_cast<uint32_t>(bytes.size()), bytes.data());
  platform::DeleteEnhMetaFile(emf);
  return bytes;
}

TEST(CorpusSweepTest, EverySpoolFileConvertsToItsPages) {
  const auto files = fbtest::corpusFiles("spool");
  if (files.empty()) {
    GTEST_SKIP() << "no spool corpus at " << fbtest::corpusDir() << "; set FB_CORPUS_DIR";
  }
  fbtest::TempDir dir;
  fbtest::MessageRecorder messages;
  int converted = 0;
  for (const auto& source : files) {
    if (source.extension() != ".SPL" && source.extension() != ".spl") continue;
    const auto spool = fbtest::readFile(source.string());
    const std::string copy = dir.file(source.filename().string());
    fbtest::writeFile(copy, spool);
    ASSERT_EQ(BuildXQPFile(copy.c_str(), "Corpus job", 2, 9), 1) << source;
    const std::string out = dir.file(source.stem().string() + ".qzm");
    const auto expected = spoolPages(spool);
    ASSERT_FALSE(expected.empty()) << source;

    EXPECT_EQ(fbtest::readFile(out), fbtest::pageFileBytes({expected, "Corpus job", 9, 2})) << source;
    EXPECT_EQ(GetXQPFilePageNo(out.c_str()), static_cast<int32_t>(expected.size())) << source;
    for (size_t k = 0; k < expected.size(); ++k) {
      // Real spooled pages are valid metafiles.
      EXPECT_EQ(pageBytes(out, static_cast<int32_t>(k + 1)), expected[k]) << source << " page " << k + 1;
    }
    char* name = GetXQPDocName(out.c_str());
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Corpus job");
    std::free(name);
    EXPECT_EQ(GetPaperSize(out.c_str()), 9);
    EXPECT_EQ(GetOrientation(out.c_str()), 2);
    ++converted;
  }
  EXPECT_GT(converted, 0);
  EXPECT_TRUE(messages.messages().empty());
}

// Each corpus metafile as the only page of a page file.
void sweepWrapped(const std::string& sub, bool expectLoadable) {
  const auto files = fbtest::corpusFiles(sub);
  if (files.empty()) {
    GTEST_SKIP() << "no " << sub << " corpus at " << fbtest::corpusDir() << "; set FB_CORPUS_DIR";
  }
  fbtest::TempDir dir;
  const std::string path = dir.file("wrapped.xqp");
  for (const auto& source : files) {
    const auto emf = fbtest::readFile(source.string());
    fbtest::writeFile(path, fbtest::pageFileBytes({{emf}, source.filename().string(), 9, 1}));
    ASSERT_EQ(GetXQPFilePageNo(path.c_str()), 1) << source;
    HENHMETAFILE handle = GetXQPEMFHandle(path.c_str(), 1);
    if (expectLoadable) {
      EXPECT_NE(handle, nullptr) << source;
    }
    if (handle == nullptr) continue;
    platform::ENHMETAHEADER header{};
    ASSERT_GT(platform::GetEnhMetaFileHeader(handle, sizeof header, &header), 0u);
    EXPECT_EQ(platform::GetEnhMetaFileBits(handle, 0, nullptr), header.nBytes) << source;
    EXPECT_LE(header.nBytes, emf.size()) << source;
    EXPECT_EQ(std::memcmp(platform::enhMetaFileFromHandle(handle)->bytes().data(), emf.data(), header.nBytes), 0);
    EXPECT_TRUE(platform::DeleteEnhMetaFile(handle));
  }
}

TEST(CorpusSweepTest, EveryMetafileLoadsFromAPageFile) { sweepWrapped("emf", true); }

TEST(CorpusSweepTest, DamagedMetafilesLoadOrAreRefused) { sweepWrapped("emf-corrupted", false); }

}  // namespace
