// The conversion of spool files into page files: the exact bytes written,
// the records kept and dropped, the output's name, and what each failure
// shows and leaves behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system/CodePage.h"
#include "platform/system/ErrorCodes.h"
#include "platform/system/File.h"
#include "platform/system/SystemMessage.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/SpoolWriter.h"
#include "tests/support/TempDir.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/SpoolConversion.h"
#include "viewxqp/viewxqp.h"

namespace {

using fbtest::SpoolWriter;

std::vector<uint8_t> bytesOfSize(size_t size, uint8_t fill) { return std::vector<uint8_t>(size, fill); }

class SpoolConversionTest : public testing::Test {
 protected:
  std::string spoolPath() const { return dir_.file("00012.SPL"); }
  std::string outputPath() const { return dir_.file("00012.qzm"); }

  int convert(const SpoolWriter& spool, const char* doc = "Letter.txt", int32_t orientation = 1,
              int32_t paper = 9) {
    fbtest::writeFile(spoolPath(), spool.bytes());
    return BuildXQPFile(spoolPath().c_str(), doc, orientation, paper);
  }

  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (const auto& m : messages_.messages()) out.push_back(m.caption);
    return out;
  }

  fbtest::TempDir dir_;
  fbtest::MessageRecorder messages_;
  const std::vector<uint8_t> page1_ = fbtest::makeEmf(2048);
  const std::vector<uint8_t> page2_ = fbtest::makeEmf(512);
};

TEST_F(SpoolConversionTest, WritesExactlyThePageFileOfThePages) {
  SpoolWriter spool;
  spool.record(fbtest::kSpoolDevMode, bytesOfSize(220, 7))
      .page(page1_)
      .record(fbtest::kSpoolMetafileExt, bytesOfSize(8, 0))
      .record(fbtest::kSpoolEngineFontData, bytesOfSize(3000, 1))
      .page(page2_)
      .record(fbtest::kSpoolMetafileExt, bytesOfSize(8, 0));
  ASSERT_EQ(convert(spool, "Letter.txt", 2, 11), 1);

  fbtest::PageFileLayout expected{{page1_, page2_}, "Letter.txt", 11, 2};
  EXPECT_EQ(fbtest::readFile(outputPath()), fbtest::pageFileBytes(expected));
  EXPECT_TRUE(messages_.messages().empty());

  // The trailer holds the paper size first, though the call passes the
  // orientation first.
  EXPECT_EQ(GetPaperSize(outputPath().c_str()), 11);
  EXPECT_EQ(GetOrientation(outputPath().c_str()), 2);
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 2);
  // The spool file is left as it was, and both files are closed.
  EXPECT_EQ(fbtest::readFile(spoolPath()), spool.bytes());
  EXPECT_TRUE(platform::File::open(outputPath(), platform::FileMode::OpenForWrite).isOpen());
  EXPECT_TRUE(platform::File::open(spoolPath(), platform::FileMode::OpenForWrite).isOpen());
}

// Pages larger than what the conversion reads ahead, and larger than one of
// its blocks, at offsets that fall anywhere within a memory page.
TEST_F(SpoolConversionTest, LargePagesArriveWhole) {
  // The conversion does not look inside pages; a pattern shows any byte
  // out of place.
  const auto patterned = [](size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + seed) % 251);
    return bytes;
  };
  const std::vector<std::vector<uint8_t>> pages = {patterned(70 * 1024 + 3, 1), patterned(1536 * 1024 + 4, 2),
                                                   patterned(3 * 1024 * 1024 + 9, 3), patterned(4096, 4)};
  SpoolWriter spool;
  for (size_t i = 0; i < pages.size(); ++i) {
    spool.record(fbtest::kSpoolEngineFontData, bytesOfSize(4 * i + 12, static_cast<uint8_t>(i)));
    spool.page(pages[i]).pageExt();
  }
  ASSERT_EQ(convert(spool, "Large", 1, 8), 1);
  EXPECT_EQ(fbtest::readFile(outputPath()), fbtest::pageFileBytes({pages, "Large", 8, 1}));
}

TEST_F(SpoolConversionTest, RecordsOfOtherTypesChangeNothing) {
  SpoolWriter plain;
  plain.page(page1_).page(page2_);
  ASSERT_EQ(convert(plain), 1);
  const auto expected = fbtest::readFile(outputPath());

  SpoolWriter busy;
  for (uint32_t type : {1u, 2u, 3u, 4u, 13u, 14u, 0xFFFFFFFFu}) busy.record(type, bytesOfSize(40 + type % 7 * 4, 12));
  busy.page(page1_).record(13, bytesOfSize(8, 0)).record(11, bytesOfSize(500, 12));
  busy.page(page2_).record(13, bytesOfSize(8, 0)).record(16, {});
  ASSERT_EQ(convert(busy), 1);
  EXPECT_EQ(fbtest::readFile(outputPath()), expected);
}

TEST_F(SpoolConversionTest, PageRecordsOf100BytesOrLessAreDropped) {
  const struct {
    size_t size;
    bool kept;
  } cases[] = {{1, false}, {99, false}, {100, false}, {101, true}, {104, true}};
  for (const auto& c : cases) {
    SpoolWriter spool;
    spool.page(page1_).page(bytesOfSize(c.size, 0x5A)).page(page2_);
    ASSERT_EQ(convert(spool), 1) << c.size;
    fbtest::PageFileLayout expected{{page1_}, "Letter.txt", 9, 1};
    if (c.kept) expected.pages.push_back(bytesOfSize(c.size, 0x5A));
    expected.pages.push_back(page2_);
    // No gap in the numbering: the index is exactly that of the kept pages.
    EXPECT_EQ(fbtest::readFile(outputPath()), fbtest::pageFileBytes(expected)) << c.size;
  }
}

TEST_F(SpoolConversionTest, JobWithoutPagesGivesAnEmptyPageFile) {
  SpoolWriter spool;
  spool.record(fbtest::kSpoolDevMode, bytesOfSize(64, 0));
  ASSERT_EQ(convert(spool), 1);
  EXPECT_EQ(fbtest::readFile(outputPath()).size(), 276u);
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 0);

  // A header size that points past the end leaves nothing to walk.
  SpoolWriter farHeader;
  farHeader.page(page1_);
  auto bytes = farHeader.bytes();
  fbtest::putU32(bytes, 4, static_cast<uint32_t>(bytes.size() + 1000));
  fbtest::writeFile(spoolPath(), bytes);
  ASSERT_EQ(BuildXQPFile(spoolPath().c_str(), "x", 1, 9), 1);
  EXPECT_EQ(fbtest::readFile(outputPath()).size(), 276u);
}

TEST_F(SpoolConversionTest, TheLastRecordMayEndTheFile) {
  SpoolWriter spool;
  spool.page(page1_).page(page2_);
  ASSERT_EQ(convert(spool), 1);
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 2);

  // A record of another type whose size runs past the end just ends the walk.
  SpoolWriter overlong;
  overlong.page(page1_).rawRecord(13, 0xFFFFFFF0u, bytesOfSize(8, 0));
  ASSERT_EQ(convert(overlong), 1);
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 1);

  // So does an incomplete record header.
  SpoolWriter torn;
  torn.page(page1_);
  auto bytes = torn.bytes();
  bytes.insert(bytes.end(), {12, 0, 0, 0, 1});
  fbtest::writeFile(spoolPath(), bytes);
  ASSERT_EQ(BuildXQPFile(spoolPath().c_str(), "x", 1, 9), 1);
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 1);
}

TEST_F(SpoolConversionTest, OutputIsNamedAfterTheSpoolFile) {
  const struct {
    const char* spool;
    const char* output;
  } cases[] = {
      {"/spool/00012.SPL", "/spool/00012.qzm"},
      {"/spool/00012", "/spool/00012.qzm"},
      {"/spool.d/00012", "/spool.d/00012.qzm"},
      {"/spool/job.2.spl", "/spool/job.2.qzm"},
      {"relative.SPL", "relative.qzm"},
      {"/spool/job.qzm", "/spool/job.qzm"},
  };
  for (const auto& c : cases) EXPECT_EQ(viewxqp::pageFilePathFor(c.spool), c.output) << c.spool;

  SpoolWriter spool;
  spool.page(page1_);
  const std::string bare = dir_.file("00013");
  fbtest::writeFile(bare, spool.bytes());
  ASSERT_EQ(BuildXQPFile(bare.c_str(), "x", 1, 9), 1);
  EXPECT_EQ(GetXQPFilePageNo(dir_.file("00013.qzm").c_str()), 1);
}

TEST_F(SpoolConversionTest, RefusesFilesThatAreNoSpoolFilesSilently) {
  SpoolWriter good;
  good.page(page1_);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"wrong version", [&] { auto b = good.bytes(); fbtest::putU32(b, 0, 0x10001); return b; }()},
      {"a page file", fbtest::pageFileBytes({{page1_}, "x", 9, 1})},
      {"header size zero", [&] { auto b = good.bytes(); fbtest::putU32(b, 4, 0); return b; }()},
      {"shorter than a header", {0, 0, 1, 0, 8}},
      {"empty", {}},
  };
  for (const auto& c : cases) {
    fbtest::writeFile(spoolPath(), c.bytes);
    std::remove(outputPath().c_str());
    EXPECT_EQ(BuildXQPFile(spoolPath().c_str(), "x", 1, 9), 0) << c.what;
    EXPECT_FALSE(fbtest::fileExists(outputPath())) << c.what;
  }
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(SpoolConversionTest, SpoolFileThatCannotBeOpenedIsReported) {
  EXPECT_EQ(BuildXQPFile(dir_.file("missing.SPL").c_str(), "x", 1, 9), 0);
  ASSERT_EQ(messages_.messages().size(), 1u);
  EXPECT_EQ(messages_.messages()[0].caption, "OPENFILE-ERROR");
  EXPECT_EQ(messages_.messages()[0].text, platform::systemMessageText(platform::ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(messages_.messages()[0].type, platform::MB_OK);

  SpoolWriter spool;
  spool.page(page1_);
  fbtest::writeFile(spoolPath(), spool.bytes());
  platform::File holder = platform::File::open(spoolPath(), platform::FileMode::OpenForRead);
  messages_.clear();
  EXPECT_EQ(BuildXQPFile(spoolPath().c_str(), "x", 1, 9), 0);
  ASSERT_EQ(captions(), std::vector<std::string>{"OPENFILE-ERROR"});
  EXPECT_EQ(messages_.messages()[0].text, platform::systemMessageText(platform::ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(fbtest::fileExists(outputPath()));
}

TEST_F(SpoolConversionTest, BadPageRecordAbandonsTheConversion) {
  const struct {
    const char* what;
    uint32_t declaredSize;
    size_t givenBytes;
  } cases[] = {
      {"size zero", 0, 0},
      {"size past the end of the file", 5000, 600},
      {"size near 4 GiB", 0xFFFFFFF8u, 300},
  };
  for (const auto& c : cases) {
    SpoolWriter spool;
    spool.page(page1_).rawRecord(fbtest::kSpoolMetafileData, c.declaredSize, bytesOfSize(c.givenBytes, 3));
    EXPECT_EQ(convert(spool), 0) << c.what;
    // What was written stays, behind a zero header that every reader refuses.
    const auto out = fbtest::readFile(outputPath());
    ASSERT_EQ(out.size(), 8 + page1_.size()) << c.what;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8), std::vector<uint8_t>(8, 0)) << c.what;
    EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 0) << c.what;
    EXPECT_EQ(GetXQPEMFHandle(outputPath().c_str(), 1), nullptr) << c.what;
  }
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(SpoolConversionTest, OutputThatCannotBeCreatedFailsAndKeepsWhatIsThere) {
  SpoolWriter spool;
  spool.page(page1_);
  const std::vector<uint8_t> earlier = {'k', 'e', 'e', 'p'};
  fbtest::writeFile(outputPath(), earlier);
  {
    platform::File holder = platform::File::open(outputPath(), platform::FileMode::OpenForRead);
    EXPECT_EQ(convert(spool), 0);
  }
  EXPECT_EQ(fbtest::readFile(outputPath()), earlier);

  std::remove(outputPath().c_str());
  ASSERT_EQ(mkdir(outputPath().c_str(), 0755), 0);
  EXPECT_EQ(convert(spool), 0);
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(SpoolConversionTest, ReplacesAnEarlierPageFile) {
  fbtest::writeFile(outputPath(), std::vector<uint8_t>(100000, 0xEE));
  SpoolWriter spool;
  spool.page(page2_);
  ASSERT_EQ(convert(spool), 1);
  EXPECT_EQ(fbtest::readFile(outputPath()), fbtest::pageFileBytes({{page2_}, "Letter.txt", 9, 1}));
}

TEST_F(SpoolConversionTest, DocumentNames) {
  SpoolWriter spool;
  spool.page(page1_);
  const std::string longName(300, 'd');
  ASSERT_EQ(convert(spool, longName.c_str()), 1);
  char* name = GetXQPDocName(outputPath().c_str());
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(std::string(name), longName.substr(0, 259));
  std::free(name);

  ASSERT_EQ(convert(spool, nullptr), 1);
  name = GetXQPDocName(outputPath().c_str());
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "");
  std::free(name);
}

TEST_F(SpoolConversionTest, LongNamesAreCutBetweenCharacters) {
  SpoolWriter spool;
  spool.page(page1_);
  const uint32_t previous = platform::GetACP();
  const auto repeat = [](const char* character, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += character;
    return s;
  };
  const struct {
    uint32_t codePage;
    std::string name;
    size_t keptBytes;
  } cases[] = {
      {936, "a" + repeat("\xD6\xD0", 150), 259},   // 259 bytes end on a whole character
      {936, "ab" + repeat("\xD6\xD0", 150), 258},  // byte 259 would be a lead byte
      {65001, "ab" + repeat("\xE4\xB8\xAD", 100), 257},
      {65001, std::string(259, 'x') + "\xC3\xA9", 259},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::setActiveCodePage(c.codePage));
    ASSERT_EQ(convert(spool, c.name.c_str()), 1);
    char* name = GetXQPDocName(outputPath().c_str());
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::string(name), c.name.substr(0, c.keptBytes)) << c.codePage;
    std::free(name);
  }
  platform::setActiveCodePage(previous);
}

TEST_F(SpoolConversionTest, PageThatCannotBeListedIsReportedAndLeftOut) {
  SpoolWriter spool;
  spool.page(page1_).page(page2_).page(page1_);
  fbtest::writeFile(spoolPath(), spool.bytes());
  viewxqp::ConversionFaults faults;
  faults.listAppendSucceeds = [](size_t index) { return index != 1; };
  EXPECT_EQ(viewxqp::buildXQPFile(spoolPath().c_str(), "x", 1, 9, faults), 0);
  EXPECT_EQ(captions(), std::vector<std::string>{"List Add Error"});
  EXPECT_EQ(messages_.messages()[0].text, platform::systemMessageText(platform::ERROR_NOT_ENOUGH_MEMORY));

  // The count and the index agree, so the pages that were listed still load.
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 2);
  const auto index = viewxqp::ReadIndex(outputPath().c_str());
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].offset, 8u);
  EXPECT_EQ(index[1].offset, 8u + page1_.size() + page2_.size());
  EXPECT_EQ(index[1].size, page1_.size());
}

// The disk fills while the index is written: run in a child whose file size
// limit ends just after the pages.
TEST_F(SpoolConversionTest, IndexThatCannotBeWrittenIsReported) {
  SpoolWriter spool;
  spool.page(page1_).page(page2_);
  fbtest::writeFile(spoolPath(), spool.bytes());
  const rlim_t limit = 8 + page1_.size() + page2_.size() + 6;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    fbtest::MessageRecorder inChild;
    const int32_t result = BuildXQPFile(spoolPath().c_str(), "x", 1, 9);
    const bool reported = inChild.messages().size() == 1 && inChild.messages()[0].caption == "Get List Error" &&
                          inChild.messages()[0].text == platform::systemMessageText(platform::ERROR_FILE_TOO_LARGE);
    _exit(result == 0 && reported ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "expected result 0 after a \"Get List Error\" box";
  EXPECT_EQ(GetXQPFilePageNo(outputPath().c_str()), 0);
}

}  // namespace
