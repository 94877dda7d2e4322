#include "platform/system/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/system/LastError.h"

namespace {

using namespace platform;

// Every test may switch the process-wide code page; it is put back after.
class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetACP(); }
  void TearDown() override { ASSERT_TRUE(setActiveCodePage(saved_)); }

 private:
  uint32_t saved_ = CP_UTF8;
};

std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    out += digits[b >> 4];
    out += digits[b & 15];
    out += ' ';
  }
  return out;
}

std::string hex(std::u16string_view units) {
  std::string out;
  for (const char16_t u : units) out += std::to_string(static_cast<unsigned>(u)) + ' ';
  return out;
}

struct RoundTrip {
  uint32_t codePage;
  std::u16string wide;
  std::string ansi;
  std::string utf8;
};

const RoundTrip kRoundTrips[] = {
    {936, u"中文", "\xD6\xD0\xCE\xC4", "中文"},
    {936, u"第1页 of 2", "\xB5\xDA" "1" "\xD2\xB3 of 2", "第1页 of 2"},
    {936, u"€", "\x80", "€"},  // the euro sign Windows added at 0x80
    {932, u"日本", "\x93\xFA\x96\x7B", "日本"},
    {932, u"ｱｲ", "\xB1\xB2", "ｱｲ"},  // half-width katakana are single bytes
    {949, u"한국", "\xC7\xD1\xB1\xB9", "한국"},
    {950, u"中文", "\xA4\xA4\xA4\xE5", "中文"},
    {65001, u"中文", "\xE4\xB8\xAD\xE6\x96\x87", "中文"},
    {65001, u"\U0001F5A8", "\xF0\x9F\x96\xA8", "\U0001F5A8"},  // a surrogate pair in UTF-16
    {1252, u"Café €5", "Caf\xE9 \x80" "5", "Café €5"},
    {1251, u"Печать", "\xCF\xE5\xF7\xE0\xF2\xFC", "Печать"},
    {28591, u"ÿ", "\xFF", "ÿ"},
};

TEST_F(CodePageTest, TextRoundTripsThroughEachCodePage) {
  for (const RoundTrip& c : kRoundTrips) {
    SCOPED_TRACE("code page " + std::to_string(c.codePage) + ": " + hex(c.ansi));
    EXPECT_EQ(ansiToWide(c.ansi, c.codePage), c.wide) << hex(ansiToWide(c.ansi, c.codePage));
    EXPECT_EQ(wideToAnsi(c.wide, c.codePage), c.ansi) << hex(wideToAnsi(c.wide, c.codePage));
    EXPECT_EQ(ansiToUtf8(c.ansi, c.codePage), c.utf8);
    EXPECT_EQ(utf8ToAnsi(c.utf8, c.codePage), c.ansi);

    // CP_ACP means whichever page is active.
    ASSERT_TRUE(setActiveCodePage(c.codePage));
    EXPECT_EQ(GetACP(), c.codePage);
    EXPECT_EQ(ansiToWide(c.ansi), c.wide);
    EXPECT_EQ(wideToAnsi(c.wide), c.ansi);
    EXPECT_EQ(ansiToUtf8(c.ansi), c.utf8);
  }
}

TEST_F(CodePageTest, EverySupportedPageConvertsAscii) {
  const uint32_t pages[] = {65001, 936, 932, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591};
  for (const uint32_t cp : pages) {
    SCOPED_TRACE(cp);
    EXPECT_TRUE(isCodePageSupported(cp));
    EXPECT_EQ(ansiToWide("Page 1/2: ~OK!", cp), u"Page 1/2: ~OK!");
    EXPECT_EQ(wideToAnsi(u"Page 1/2: ~OK!", cp), "Page 1/2: ~OK!");
  }
  EXPECT_EQ(ansiToWide(""), u"");
  EXPECT_EQ(wideToAnsi(u""), "");
}

TEST_F(CodePageTest, UnsupportedPageIsRefusedAndTheActiveOneKept) {
  ASSERT_TRUE(setActiveCodePage(936));
  for (const uint32_t cp : {uint32_t{CP_ACP}, uint32_t{1}, uint32_t{437}, uint32_t{54936}, uint32_t{12345}}) {
    SCOPED_TRACE(cp);
    EXPECT_FALSE(isCodePageSupported(cp));
    SetLastError(0);
    EXPECT_FALSE(setActiveCodePage(cp));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetACP(), 936u);
  }
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(12345, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(12345, u"a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(CodePageTest, MultiByteToWideCharLengths) {
  const char* gbk = "\xD6\xD0\xCE\xC4" "A";  // 中文A

  // -1: up to and including the zero, which is converted too.
  EXPECT_EQ(MultiByteToWideChar(936, gbk, -1, nullptr, 0), 4);
  char16_t out[8];
  std::fill(std::begin(out), std::end(out), u'#');
  ASSERT_EQ(MultiByteToWideChar(936, gbk, -1, out, 4), 4);
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"中文A\0", 4));
  EXPECT_EQ(out[4], u'#');

  // A size of 0 asks for the length even with a buffer, and leaves it alone.
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(MultiByteToWideChar(936, gbk, -1, out, 0), 4);
  EXPECT_EQ(out[0], u'#');

  // An explicit length: exactly those bytes, no zero added.
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(MultiByteToWideChar(936, gbk, 2, nullptr, 0), 1);
  ASSERT_EQ(MultiByteToWideChar(936, gbk, 5, out, 8), 3);
  EXPECT_EQ(std::u16string(out, 4), u"中文A#");

  // One unit short.
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(936, gbk, -1, out, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(CodePageTest, WideCharToMultiByteLengths) {
  const char16_t* text = u"中文A";

  EXPECT_EQ(WideCharToMultiByte(936, text, -1, nullptr, 0), 6);
  char out[8];
  std::fill(std::begin(out), std::end(out), '#');
  EXPECT_EQ(WideCharToMultiByte(936, text, -1, out, 0), 6);
  EXPECT_EQ(out[0], '#');
  ASSERT_EQ(WideCharToMultiByte(936, text, -1, out, 6), 6);
  EXPECT_EQ(std::string(out, 7), std::string("\xD6\xD0\xCE\xC4" "A\0#", 7));

  std::fill(std::begin(out), std::end(out), '#');
  EXPECT_EQ(WideCharToMultiByte(936, text, 1, nullptr, 0), 2);
  ASSERT_EQ(WideCharToMultiByte(936, text, 3, out, 8), 5);
  EXPECT_EQ(std::string(out, 6), "\xD6\xD0\xCE\xC4" "A#");

  // The size is counted in bytes, not characters.
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(936, text, 3, out, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(WideCharToMultiByte(65001, text, 3, nullptr, 0), 7);
}

TEST_F(CodePageTest, BadArgumentsAreInvalidParameter) {
  char16_t wide[4];
  char narrow[4];
  const auto check = [](const char* what, int result) {
    SCOPED_TRACE(what);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
  };
  SetLastError(0);
  check("null source to wide", MultiByteToWideChar(CP_UTF8, nullptr, -1, wide, 4));
  check("empty source to wide", MultiByteToWideChar(CP_UTF8, "a", 0, wide, 4));
  check("length below -1 to wide", MultiByteToWideChar(CP_UTF8, "a", -2, wide, 4));
  check("null destination with a size to wide", MultiByteToWideChar(CP_UTF8, "a", 1, nullptr, 4));
  check("null destination with a size to ANSI", WideCharToMultiByte(CP_UTF8, u"a", 1, nullptr, 4));
  check("negative size to wide", MultiByteToWideChar(CP_UTF8, "a", 1, wide, -1));
  check("null source to bytes", WideCharToMultiByte(CP_UTF8, nullptr, -1, narrow, 4));
  check("empty source to bytes", WideCharToMultiByte(CP_UTF8, u"a", 0, narrow, 4));
  check("length below -1 to bytes", WideCharToMultiByte(CP_UTF8, u"a", -2, narrow, 4));
  check("negative size to bytes", WideCharToMultiByte(CP_UTF8, u"a", 1, narrow, -1));
}

TEST_F(CodePageTest, InvalidBytesBecomeReplacementCharacters) {
  struct Case {
    uint32_t codePage;
    std::string ansi;
  };
  // Each holds exactly one bad spot between "a" and "b".
  const Case cases[] = {
      {65001, "a\xFF" "b"},
      {65001, "a\x80" "b"},          // a lone continuation byte
      {936, "a\xFF" "b"},
      {932, "a\x80" "b"},
      {932, "a\xA0" "b"},
      {20127, "a\xC0" "b"},          // not ASCII
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + hex(c.ansi));
    EXPECT_EQ(ansiToWide(c.ansi, c.codePage), u"a\uFFFDb") << hex(ansiToWide(c.ansi, c.codePage));
    const int n = MultiByteToWideChar(c.codePage, c.ansi.data(), static_cast<int>(c.ansi.size()), nullptr, 0);
    EXPECT_EQ(n, 3);
  }
  // A lead byte with nothing after it still gives a character, not nothing.
  const std::u16string cut = ansiToWide("a\xD6", 936);
  ASSERT_GE(cut.size(), 2u);
  EXPECT_EQ(cut.substr(0, 2), u"a\uFFFD");
}

TEST_F(CodePageTest, UnmappableCharactersBecomeQuestionMarks) {
  struct Case {
    uint32_t codePage;
    std::u16string wide;
    std::string ansi;
  };
  const Case cases[] = {
      {1252, u"a中b", "a?b"},
      {28591, u"€", "?"},
      {20127, u"é", "?"},
      {932, u"한", "?"},
      {936, u"x\U0001F5A8y", "x?y"},  // one mark for the whole surrogate pair
      {936, u"x\xD800y", "x?y"},      // a lone surrogate
      {65001, u"x\xDC00y", "x\xEF\xBF\xBDy"},  // UTF-8 marks it with U+FFFD
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + hex(c.wide));
    EXPECT_EQ(wideToAnsi(c.wide, c.codePage), c.ansi);
    EXPECT_EQ(WideCharToMultiByte(c.codePage, c.wide.data(), static_cast<int>(c.wide.size()), nullptr, 0),
              static_cast<int>(c.ansi.size()));
  }
}

TEST_F(CodePageTest, LeadBytesOfDoubleByteCodePages) {
  struct Case {
    uint32_t codePage;
    uint8_t byte;
    bool lead;
  };
  const Case cases[] = {
      {936, 0x80, false}, {936, 0x81, true},  {936, 0xD6, true},  {936, 0xFE, true},  {936, 0xFF, false},
      {936, 'A', false},  {932, 0x80, false}, {932, 0x81, true},  {932, 0x9F, true},  {932, 0xA0, false},
      {932, 0xB1, false}, {932, 0xDF, false}, {932, 0xE0, true},  {932, 0xFC, true},  {932, 0xFD, false},
      {949, 0x81, true},  {949, 0xFE, true},  {950, 0xA4, true},  {950, 0x7F, false}, {950, 0xFF, false},
      {65001, 0xE4, false}, {65001, 0xC3, false}, {1252, 0x81, false}, {28591, 0xD6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " byte " + std::to_string(c.byte));
    EXPECT_EQ(IsDBCSLeadByteEx(c.codePage, c.byte), c.lead);
  }
  ASSERT_TRUE(setActiveCodePage(936));
  EXPECT_TRUE(IsDBCSLeadByteEx(CP_ACP, 0xD6));
  ASSERT_TRUE(setActiveCodePage(CP_UTF8));
  EXPECT_FALSE(IsDBCSLeadByteEx(CP_ACP, 0xD6));
}

TEST_F(CodePageTest, PrefixNeverCutsACharacter) {
  struct Case {
    uint32_t codePage;
    std::string text;
    size_t maxBytes;
    size_t expected;
  };
  const Case cases[] = {
      {65001, "abc", 2, 2},
      {65001, "abc", 3, 3},
      {65001, "abc", 10, 3},
      {65001, "abc", 0, 0},
      {65001, "ab\xE4\xB8\xAD", 2, 2},  // ab中
      {65001, "ab\xE4\xB8\xAD", 3, 2},
      {65001, "ab\xE4\xB8\xAD", 4, 2},
      {65001, "ab\xE4\xB8\xAD", 5, 5},
      {65001, "\xC3\xA9\xC3\xA9", 3, 2},          // éé
      {65001, "\xF0\x9F\x96\xA8" "a", 3, 0},    // a four-byte character
      {65001, "\xF0\x9F\x96\xA8" "a", 4, 4},
      {936, "a\xD6\xD0\xCE\xC4", 1, 1},         // a中文
      {936, "a\xD6\xD0\xCE\xC4", 2, 1},
      {936, "a\xD6\xD0\xCE\xC4", 3, 3},
      {936, "a\xD6\xD0\xCE\xC4", 4, 3},
      {936, "\xD6\xD0\xD6\xD0", 3, 2},          // trail bytes that look like lead bytes
      {936, "\xD6\xD0\xD6\xD0", 2, 2},
      {936, "ab\xD6", 2, 2},
      {932, "\x93\xFA" "A", 2, 2},              // 日A: 0xFA is a trail byte here, though a lead byte too
      {932, "\x93\xFA\x96\x7B", 3, 2},
      {932, "\xB1\xB1\xB1", 2, 2},              // half-width katakana, one byte each
      {950, "\xA4\xA4\xA4\xE5", 3, 2},
      {1252, "\xE9\xE9\xE9", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + hex(c.text) + "at most " + std::to_string(c.maxBytes));
    EXPECT_EQ(ansiPrefixLength(c.text, c.maxBytes, c.codePage), c.expected);
  }
  ASSERT_TRUE(setActiveCodePage(936));
  EXPECT_EQ(ansiPrefixLength("a\xD6\xD0", 2), 1u);
  ASSERT_TRUE(setActiveCodePage(1252));
  EXPECT_EQ(ansiPrefixLength("a\xD6\xD0", 2), 2u);
}

}  // namespace
