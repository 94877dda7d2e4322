// Page files to BMP, EMF and text files: the output names, the bitmap file
// layout at the screen's depth, the text walk with its trimming rule, and
// the failure results.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/emf/EnhMetaFile.h"
#include "platform/gdi/DcApi.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/system/CodePage.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"
#include "viewxqp/ExportConversions.h"
#include "viewxqp/viewxqp.h"

namespace {

using fbtest::getU32;

uint16_t getU16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// An EMR_EXTTEXTOUTW record's payload whose count is `count` and whose
// stored units are `units` (which may run past the count).
std::vector<uint8_t> wideText(uint32_t count, const std::u16string& units) {
  std::vector<uint8_t> p;
  for (int i = 0; i < 4; ++i) put32(p, 0);  // rclBounds
  put32(p, 1);                              // iGraphicsMode
  put32(p, 0);
  put32(p, 0);  // scales
  put32(p, 0);
  put32(p, 0);      // reference point
  put32(p, count);  // at byte 44 of the record
  put32(p, 76);     // offString
  put32(p, 0);      // options
  for (int i = 0; i < 4; ++i) put32(p, 0);
  put32(p, 0);  // offDx
  for (char16_t u : units) {
    p.push_back(uint8_t(u));
    p.push_back(uint8_t(u >> 8));
  }
  while (p.size() % 4) p.push_back(0);
  return p;
}

class ExportConversionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gdi::ensureGuiApplication();
    previousScreen = platform::screenDescription();
  }
  void TearDown() override {
    platform::setScreenDescription(previousScreen);
    platform::setActiveCodePage(65001);
  }

  std::string pageFile(std::vector<std::vector<uint8_t>> pages) {
    fbtest::PageFileLayout layout;
    layout.pages = std::move(pages);
    const std::string path = dir.file("job.qzm");
    fbtest::writeFile(path, fbtest::pageFileBytes(layout));
    return path;
  }

  fbtest::TempDir dir;
  platform::ScreenDescription previousScreen;
};

TEST_F(ExportConversionsTest, OutputNamesFollowTheBaseNameAndPageNumber) {
  const auto name = viewxqp::splitOutputName("/out/my.report.bmp");
  EXPECT_EQ(name.stem, "/out/my.report");
  EXPECT_EQ(name.extension, ".bmp");
  EXPECT_EQ(viewxqp::pageOutputName(name, 12, ".emf"), "/out/my.report_12.emf");
  EXPECT_EQ(viewxqp::splitOutputName("/out.d/report").extension, "");
  EXPECT_EQ(viewxqp::splitOutputName("/out.d/report").stem, "/out.d/report");
}

TEST_F(ExportConversionsTest, BitmapsHaveTheScreensDepthAndLayout) {
  struct Case {
    int bitsPerPixel;
    uint32_t pixelOffset;
  } cases[] = {{32, 54}, {8, 1078}};
  for (const Case& c : cases) {
    platform::ScreenDescription screen;
    screen.bitsPerPixel = c.bitsPerPixel;
    platform::setScreenDescription(screen);
    const std::string file = pageFile({fbtest::makeEmf(), fbtest::makeEmf(), fbtest::makeEmf()});
    const std::string out = dir.file("report.bmp");
    ASSERT_EQ(ConvertXQPToBMP(file.c_str(), out.c_str(), 0), 1) << c.bitsPerPixel;
    for (int n = 1; n <= 3; ++n) {
      const auto bmp = fbtest::readFile(dir.file("report_" + std::to_string(n) + ".bmp"));
      ASSERT_GE(bmp.size(), 54u);
      EXPECT_EQ(getU16(bmp, 0), 0x4D42);
      EXPECT_EQ(getU32(bmp, 2), bmp.size());
      EXPECT_EQ(getU32(bmp, 10), c.pixelOffset);
      EXPECT_EQ(getU32(bmp, 14), 40u);
      // The A4 frame at 1920 pixels over 508 mm and 1080 over 286 mm.
      EXPECT_EQ(int32_t(getU32(bmp, 18)), 793);
      EXPECT_EQ(int32_t(getU32(bmp, 22)), 1121);
      EXPECT_EQ(getU16(bmp, 26), 1);
      EXPECT_EQ(getU16(bmp, 28), c.bitsPerPixel);
      EXPECT_EQ(getU32(bmp, 30), 0u);
      const uint32_t stride = ((793u * c.bitsPerPixel + 31) / 32) * 4;
      EXPECT_EQ(getU32(bmp, 34), stride * 1121);
      EXPECT_EQ(bmp.size(), c.pixelOffset + stride * 1121);
      for (size_t at : {38, 42, 46, 50}) EXPECT_EQ(getU32(bmp, at), 0u);
    }
  }
}

TEST_F(ExportConversionsTest, BitmapConversionFailuresAndEdges) {
  fbtest::MessageRecorder messages;
  const std::string empty = pageFile({});
  EXPECT_EQ(ConvertXQPToBMP(empty.c_str(), dir.file("e.bmp").c_str(), 0), 1);
  EXPECT_TRUE(fbtest::namesIn(dir.path().string()).count("e_1.bmp") == 0);

  // Page 2's entry points past the end: page 1 is written, then the notices.
  auto bytes = fbtest::pageFileBytes({{fbtest::makeEmf(), fbtest::makeEmf()}});
  const uint32_t count = getU32(bytes, 4);
  const size_t indexStart = bytes.size() - 268 - count * 12;
  fbtest::putU32(bytes, indexStart + 12 + 4, 0x7FFFFFF0);
  const std::string damaged = dir.file("damaged.qzm");
  fbtest::writeFile(damaged, bytes);
  messages.clear();
  EXPECT_EQ(ConvertXQPToBMP(damaged.c_str(), dir.file("d.bmp").c_str(), 0), 0);
  EXPECT_TRUE(fbtest::fileExists(dir.file("d_1.bmp")));
  EXPECT_FALSE(fbtest::fileExists(dir.file("d_2.bmp")));
  ASSERT_EQ(messages.messages().size(), 2u);
  EXPECT_EQ(platform::ansiToUtf8(messages.messages()[0].text), "错误的EMF信息");
  EXPECT_EQ(platform::ansiToUtf8(messages.messages()[1].text), "转换失败");
  EXPECT_EQ(messages.messages()[0].caption, "ViewXQP");

  // A name longer than the conversion takes is refused whole, not cut.
  const std::string good = pageFile({fbtest::makeEmf()});
  const std::string longName = dir.file(std::string(255, 'n') + ".bmp");
  const auto before = fbtest::namesIn(dir.path().string());
  EXPECT_EQ(ConvertXQPToBMP(good.c_str(), longName.c_str(), 0), 0);
  EXPECT_EQ(fbtest::namesIn(dir.path().string()), before) << "no file with a cut name";
}

TEST_F(ExportConversionsTest, MetafilesAreThePagesBytesAndBadPagesAreSkipped) {
  fbtest::MessageRecorder messages;
  const std::vector<uint8_t> first = fbtest::makeEmf(200), third = fbtest::makeEmf(400);
  auto bytes = fbtest::pageFileBytes({{first, fbtest::makeEmf(300), third}});
  const uint32_t count = getU32(bytes, 4);
  const size_t indexStart = bytes.size() - 268 - count * 12;
  fbtest::putU32(bytes, indexStart + 12 + 8, 0);  // page 2 has size 0
  const std::string file = dir.file("job.qzm");
  fbtest::writeFile(file, bytes);
  EXPECT_EQ(ConvertXQPToEMF(file.c_str(), dir.file("report.txt").c_str()), 1);
  EXPECT_EQ(fbtest::readFile(dir.file("report_1.emf")), first);
  EXPECT_FALSE(fbtest::fileExists(dir.file("report_2.emf")));
  EXPECT_EQ(fbtest::readFile(dir.file("report_3.emf")), third);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(platform::ansiToUtf8(messages.messages()[0].text), "错误的EMF信息");
}

TEST_F(ExportConversionsTest, TextOfAllPagesRunsTogetherInTheNamedFile) {
  fbtest::EmfWriter a, b;
  a.textOut(0, 0, u"Hello");
  b.textOut(0, 0, u"World");
  const std::string file = pageFile({a.finish(), b.finish()});
  EXPECT_EQ(ConvertXQPToTxt(file.c_str(), dir.file("report.doc").c_str()), 1);
  const auto text = fbtest::readFile(dir.file("report.txt"));
  EXPECT_EQ(std::string(text.begin(), text.end()), "HelloWorld");

  const std::string empty = pageFile({});
  EXPECT_EQ(ConvertXQPToTxt(empty.c_str(), dir.file("none.doc").c_str()), 1);
  EXPECT_TRUE(fbtest::readFile(dir.file("none.txt")).empty());
  EXPECT_EQ(ConvertXQPToTxt(file.c_str(), dir.file("no/such/folder/x.txt").c_str()), 0);
}

TEST_F(ExportConversionsTest, TextRecordsAreSelectedAndTrimmedByTheirCount) {
  platform::setActiveCodePage(936);
  struct Case {
    const char* what;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> records;
    std::string expected;  // in code page 936
  } cases[] = {
      {"two CJK characters and a control unit: 5 bytes cut to 4",
       {{84, wideText(2, u"\u4E2D\u6587\u0010")}},
       platform::utf8ToAnsi("中文")},
      {"Hi and a line feed: 3 bytes, all kept", {{84, wideText(2, u"Hi\n")}}, "Hi\n"},
      {"a tab first contributes nothing", {{84, wideText(3, u"\tab")}}, ""},
      {"a count of 0 contributes nothing", {{84, wideText(0, u"abc")}}, ""},
      {"a small-text record ends the page",
       {{84, wideText(1, u"A")}, {108, std::vector<uint8_t>(40, 0)}, {84, wideText(1, u"B")}},
       "A"},
      {"a gradient fill ends the page",
       {{84, wideText(1, u"A")}, {118, std::vector<uint8_t>(40, 0)}, {84, wideText(1, u"B")}},
       "A"},
  };
  for (const Case& c : cases) {
    fbtest::EmfWriter emf;
    for (const auto& [type, payload] : c.records) emf.record(type, payload);
    const auto bytes = emf.finish();
    EXPECT_EQ(viewxqp::extractPageText(bytes), c.expected) << c.what;
  }
}

TEST_F(ExportConversionsTest, TheTextWalkStopsAtRecordsItCannotWalkPast) {
  fbtest::EmfWriter emf;
  emf.record(84, wideText(2, u"ok"));
  auto bytes = emf.finish();
  // A size of 0 would loop for ever, a size past the end would read beyond
  // the page: both end the walk.
  for (const uint32_t badSize : {0u, 4u, 0x10000000u}) {
    auto damaged = bytes;
    const uint32_t headerSize = getU32(damaged, 4);
    const uint32_t textSize = getU32(damaged, headerSize + 4);
    fbtest::putU32(damaged, headerSize + textSize + 4, badSize);  // the EOF record
    EXPECT_EQ(viewxqp::extractPageText(damaged), "ok") << badSize;
    fbtest::putU32(damaged, headerSize + 4, badSize);  // the text record itself
    EXPECT_EQ(viewxqp::extractPageText(damaged), "") << badSize;
  }
  // A text offset or count that points outside the record reads nothing there.
  auto outside = bytes;
  const uint32_t headerSize = getU32(outside, 4);
  fbtest::putU32(outside, headerSize + 48, 0xFFFFFF00u);
  EXPECT_EQ(viewxqp::extractPageText(outside), "");
}

}  // namespace
