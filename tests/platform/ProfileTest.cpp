#include "platform/profile/Profile.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/profile/ProfileText.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;
namespace pt = platform::profile;
using Strings = std::vector<std::string>;

// --- Reading text ---------------------------------------------------------

struct Lookup {
  const char* what;
  std::string text;
  std::string section, key;
  std::optional<std::string> expected;
};

TEST(ProfileTextTest, LookupsFollowTheProfileRules) {
  const Lookup cases[] = {
      {"plain", "[Printer]\r\nName=Folisto\r\n", "Printer", "Name", "Folisto"},
      {"names ignore ASCII case", "[PrInTeR]\nNaMe=x\n", "printer", "NAME", "x"},
      {"blanks around names and value", "  [ Printer ]  \n\t Name \t=  a b  \n", "Printer", "Name", "a b"},
      {"lookup names are trimmed too", "[Printer]\nName=x\n", " Printer ", "Name ", "x"},
      {"double quotes go", "[S]\nk=\" spaced \"\n", "S", "k", " spaced "},
      {"single quotes go", "[S]\nk='v'\n", "S", "k", "v"},
      {"unmatched quotes stay", "[S]\nk=\"v'\n", "S", "k", "\"v'"},
      {"a lone quote stays", "[S]\nk=\"\n", "S", "k", "\""},
      {"only the outer pair goes", "[S]\nk=\"a\" \"b\"\n", "S", "k", "a\" \"b"},
      {"an empty value", "[S]\nk=\n", "S", "k", ""},
      {"'=' inside the value", "[S]\nk=a=b\n", "S", "k", "a=b"},
      {"the first duplicate key", "[S]\nk=1\nK=2\n", "S", "k", "1"},
      {"the first duplicate section", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1"},
      {"later copies of a section are not searched", "[S]\nk=1\n[s]\nj=2\n", "S", "j", std::nullopt},
      {"lines before the first section", "k=0\n[S]\nj=1\n", "S", "k", std::nullopt},
      {"comment lines", "[S]\n;k=1\n   ; k=2\n", "S", "k", std::nullopt},
      {"lines without '='", "[S]\nk\nk=1\n", "S", "k", "1"},
      {"a key in the next section", "[S]\n[T]\nk=1\n", "S", "k", std::nullopt},
      {"a missing section", "[S]\nk=1\n", "T", "k", std::nullopt},
      {"CRLF is not part of the value", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"a last line without line ending", "[S]\nk=v", "S", "k", "v"},
      {"a UTF-8 byte order mark", "\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", "v"},
      {"a header without ']'", "[S\nk=v\n", "S", "k", "v"},
      {"text after ']'", "[S] trailing\nk=v\n", "S", "k", "v"},
      {"bytes are kept", "[\xC3\x9C" "ber]\nk=\xE2\x82\xAC\x80\xFF\n", "\xC3\x9C" "ber", "k", "\xE2\x82\xAC\x80\xFF"},
      {"NUL bytes are just bytes", std::string("[S]\nk=a\0b\n", 10), "S", "k", std::string("a\0b", 3)},
  };
  for (const Lookup& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pt::findValue(c.text, c.section, c.key), c.expected);
  }
}

TEST(ProfileTextTest, ListsSectionsAndKeysInFileOrderEachOnce) {
  const std::string text =
      "orphan=1\n"
      "[Zeta]\nb=1\na=2\nB=3\n"
      "[alpha]\nx=1\n"
      "[ZETA]\nc=4\n"
      "[]\n"
      "[Mid]\n";
  EXPECT_EQ(pt::sectionNames(text), (Strings{"Zeta", "alpha", "Mid"}));
  // Only the first Zeta counts, and its key b once, as first spelt.
  EXPECT_EQ(pt::sectionKeys(text, "zeta"), (Strings{"b", "a"}));
  EXPECT_EQ(pt::sectionKeys(text, "Mid"), Strings{});
  EXPECT_EQ(pt::sectionKeys(text, "missing"), Strings{});
  EXPECT_EQ(pt::sectionNames(""), Strings{});
}

// In a double-byte code page the second byte of a character may be ']' or
// an ASCII letter; it must neither end a section name nor be case-folded.
class ProfileCodePageTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetACP(); }
  void TearDown() override { ASSERT_TRUE(setActiveCodePage(saved_)); }

 private:
  uint32_t saved_ = CP_UTF8;
};

TEST_F(ProfileCodePageTest, DoubleByteCharactersStayWhole) {
  ASSERT_TRUE(setActiveCodePage(932));
  const std::string kanaWithBracket = "\x83\x5D";  // its second byte is ']'
  const std::string text = "[" + kanaWithBracket + "]\n\x82\x61=lower\n";
  EXPECT_EQ(pt::sectionNames(text), Strings{kanaWithBracket});
  EXPECT_EQ(pt::findValue(text, kanaWithBracket, "\x82\x61"), "lower");
  // 82 41 is another character, not 82 61 in upper case.
  EXPECT_EQ(pt::findValue(text, kanaWithBracket, "\x82\x41"), std::nullopt);
  const std::string edited = pt::setValue(text, kanaWithBracket, "\x82\x41", "upper");
  EXPECT_EQ(pt::findValue(edited, kanaWithBracket, "\x82\x61"), "lower");
  EXPECT_EQ(pt::findValue(edited, kanaWithBracket, "\x82\x41"), "upper");
  EXPECT_TRUE(pt::isWritableSection(kanaWithBracket));

  // In a single-byte code page the same bytes are two characters, and the
  // second is a letter that folds.
  ASSERT_TRUE(setActiveCodePage(1252));
  EXPECT_EQ(pt::findValue("[S]\n\x82\x61=lower\n", "S", "\x82\x41"), "lower");
}

TEST(ProfileTextTest, IntegersReadAsDocumented) {
  struct Case {
    const char* text;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"12", 12},
      {"-5", -5},
      {"+7", 7},
      {"  42  ", 42},
      {"0x1A", 26},
      {"0X1a", 26},
      {"-0x10", -16},
      {"12abc", 12},
      {"1e3", 1},
      {"0xZ", 0},
      {"0x", 0},
      {"007", 7},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"0x7FFFFFFF", INT_MAX},
      {"0xFFFFFFFF", -1},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"- 5", std::nullopt},
      {"x12", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"0x100000000", std::nullopt},
      {"99999999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    EXPECT_EQ(pt::parseProfileInt(c.text), c.expected);
  }
}

// --- Editing text ---------------------------------------------------------

struct Edit {
  const char* what;
  std::string before;
  std::string section, key, value;
  std::string after;
};

TEST(ProfileTextTest, SettingAValueChangesOnlyWhatItMust) {
  const Edit cases[] = {
      {"an empty text gets a CRLF section", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"a new key follows the section's last key, before what leads into the next section",
       "[A]\nx=1\n\n; about B\n[B]\ny=2\n", "A", "k", "v", "[A]\nx=1\nk=v\n\n; about B\n[B]\ny=2\n"},
      {"a value is replaced in place, keeping the key's spelling and spacing", "[A]\r\n  Key = old  \r\nz=1\r\n", "a",
       "KEY", "new", "[A]\r\n  Key = new\r\nz=1\r\n"},
      {"an empty value is replaced", "[A]\nk=\n", "A", "k", "v", "[A]\nk=v\n"},
      {"a section without keys gets its first after the header", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
      {"a new section goes at the end, in the text's line ending", "; top\r\n[A]\r\nx=1\r\n", "B", "k", "v",
       "; top\r\n[A]\r\nx=1\r\n[B]\r\nk=v\r\n"},
      {"LF texts stay LF", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n[B]\nk=v\n"},
      {"a last line without line ending keeps having none", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v"},
      {"a new section after such a line starts on a line of its own", "[A]\nx=1", "B", "k", "v",
       "[A]\nx=1\n[B]\nk=v\n"},
      {"of duplicate sections the first is written", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "3", "[A]\nk=3\n[a]\nk=2\n"},
      {"of duplicate keys the first is written", "[A]\nk=1\nk=2\n", "A", "k", "3", "[A]\nk=3\nk=2\n"},
      {"lines before the first section and odd lines stay", "\xEF\xBB\xBFstray=1\r\n[A]\r\nnot an entry\r\n", "A",
       "k", "v", "\xEF\xBB\xBFstray=1\r\n[A]\r\nk=v\r\nnot an entry\r\n"},
      {"bytes of the value are written as given", "[A]\n", "A", "k", "\xE2\x82\xAC \x80", "[A]\nk=\xE2\x82\xAC \x80\n"},
      {"blanks at the ends are kept by quotes", "[A]\n", "A", "k", " v ", "[A]\nk=\" v \"\n"},
      {"surrounding quotes are kept by more quotes", "[A]\n", "A", "k", "'v'", "[A]\nk=\"'v'\"\n"},
  };
  for (const Edit& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pt::setValue(c.before, c.section, c.key, c.value), c.after);
  }
}

TEST(ProfileTextTest, WrittenValuesReadBackAsGiven) {
  const std::string values[] = {"",     " lead", "trail ", "\"q\"", "'s'",  "\"",       "a=b",
                                ";not", "[x]",   "\t",     "\"a'",  "  \"", "\xC3\xA9"};
  for (const std::string& value : values) {
    SCOPED_TRACE("[" + value + "]");
    const std::string text = pt::setValue("[A]\r\nother=1\r\n", "A", "k", value);
    EXPECT_EQ(pt::findValue(text, "A", "k"), value);
    EXPECT_EQ(pt::findValue(text, "A", "other"), "1");
    // And again over the value just written.
    EXPECT_EQ(pt::findValue(pt::setValue(text, "A", "k", value), "A", "k"), value);
  }
}

TEST(ProfileTextTest, ErasingRemovesEveryCopyAndNothingElse) {
  const std::string text =
      "; head\n"
      "[A]\nk=1\nj=2\nK=3\n"
      "[B]\nk=4\n"
      "[a]\nk=5\n";
  // Every k of the first A goes, so that none shows through; the k of the
  // second A is not read anyway and stays, as does that of B.
  EXPECT_EQ(pt::eraseKey(text, "a", "K"), "; head\n[A]\nj=2\n[B]\nk=4\n[a]\nk=5\n");
  EXPECT_EQ(pt::eraseKey(text, "A", "missing"), text);
  EXPECT_EQ(pt::eraseKey(text, "missing", "k"), text);
  // Both copies of A go with their lines, so the second does not take the
  // place of the first.
  const std::string erased = pt::eraseSection(text, "A");
  EXPECT_EQ(erased, "; head\n[B]\nk=4\n");
  EXPECT_EQ(pt::findValue(erased, "A", "k"), std::nullopt);
  EXPECT_EQ(pt::eraseSection(text, "missing"), text);
  EXPECT_EQ(pt::eraseSection("[A]\r\nk=1", "A"), "");
}

TEST(ProfileTextTest, NamesThatWouldNotReadBackAreNotWritable) {
  for (const char* section : {"", "  ", "a]b", "a\nb", "a\rb"}) {
    SCOPED_TRACE(section);
    EXPECT_FALSE(pt::isWritableSection(section));
  }
  for (const char* key : {"", " ", "a=b", ";c", "[d", "a\nb", "a\rb"}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(pt::isWritableKey(key));
  }
  EXPECT_FALSE(pt::isWritableValue("a\nb"));
  EXPECT_FALSE(pt::isWritableValue("a\r"));
  EXPECT_FALSE(pt::isWritableSection(" Print [1] "));
  EXPECT_TRUE(pt::isWritableSection("Print [1"));
  EXPECT_TRUE(pt::isWritableKey("a;b"));
  EXPECT_TRUE(pt::isWritableValue("=;[]\"'"));
}

// --- Files ----------------------------------------------------------------

using fbtest::becomeOrdinaryUser;
using fbtest::inChild;

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* root = std::getenv("FOLISTO_ROOT")) savedRoot_ = root;
    ::setenv("FOLISTO_ROOT", dir_.file("machine").c_str(), 1);
  }
  void TearDown() override {
    if (savedRoot_)
      ::setenv("FOLISTO_ROOT", savedRoot_->c_str(), 1);
    else
      ::unsetenv("FOLISTO_ROOT");
  }

  std::string makeFile(const std::string& name, const std::string& content) {
    const std::string path = dir_.file(name);
    fbtest::writeFile(path, std::vector<uint8_t>(content.begin(), content.end()));
    return path;
  }
  static std::string contentOf(const std::string& path) {
    const auto bytes = fbtest::readFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  fbtest::TempDir dir_;
  std::optional<std::string> savedRoot_;
};

TEST_F(ProfileFileTest, AMissingFileReadsAsDefaultsAndErasingCreatesNothing) {
  const std::string path = dir_.file("absent.ini");
  EXPECT_EQ(readProfileString(path, "S", "k", "fallback"), "fallback");
  EXPECT_EQ(readProfileInt(path, "S", "k", -3), -3);
  EXPECT_TRUE(readProfileBool(path, "S", "k", true));
  EXPECT_EQ(profileSectionNames(path), Strings{});
  EXPECT_EQ(profileSectionKeys(path, "S"), Strings{});
  EXPECT_TRUE(eraseProfileKey(path, "S", "k"));
  EXPECT_TRUE(eraseProfileSection(path, "S"));
  EXPECT_TRUE(writeProfileString(path, "S", std::nullopt, std::nullopt));
  EXPECT_FALSE(fbtest::fileExists(path));
  // A folder in the file's place reads as empty as well.
  EXPECT_EQ(readProfileString(dir_.path().string(), "S", "k", "d"), "d");
}

TEST_F(ProfileFileTest, WritingCreatesACrlfFileAndLeavesNoTemporaryFile) {
  const std::string path = dir_.file("new.ini");
  ASSERT_TRUE(writeProfileString(path, "Printer", "Name", "Folisto")) << GetLastError();
  ASSERT_TRUE(writeProfileInt(path, "Printer", "Copies", -2));
  ASSERT_TRUE(writeProfileBool(path, "Options", "Duplex", true));
  ASSERT_TRUE(writeProfileBool(path, "Options", "Color", false));
  EXPECT_EQ(contentOf(path), "[Printer]\r\nName=Folisto\r\nCopies=-2\r\n[Options]\r\nDuplex=1\r\nColor=0\r\n");
  EXPECT_EQ(fbtest::namesIn(dir_.path().string()), std::set<std::string>{"new.ini"});
  EXPECT_EQ(readProfileInt(path, "printer", "copies", 0), -2);
  EXPECT_TRUE(readProfileBool(path, "Options", "Duplex", false));
  EXPECT_FALSE(readProfileBool(path, "Options", "Color", true));
  EXPECT_EQ(profileSectionNames(path), (Strings{"Printer", "Options"}));
  EXPECT_EQ(profileSectionKeys(path, "PRINTER"), (Strings{"Name", "Copies"}));
}

TEST_F(ProfileFileTest, IntegersAndBooleansFallBackOnUnreadableText) {
  const std::string path = makeFile("values.ini", "[S]\nn=12abc\nbad=abc\nempty=\nyes=yes\ntwo=2\nneg=-1\nzero=0\n");
  EXPECT_EQ(readProfileInt(path, "S", "n", 99), 12);
  EXPECT_EQ(readProfileInt(path, "S", "bad", 99), 99);
  EXPECT_EQ(readProfileInt(path, "S", "empty", 99), 99);
  EXPECT_TRUE(readProfileBool(path, "S", "yes", true));
  EXPECT_FALSE(readProfileBool(path, "S", "yes", false));
  EXPECT_TRUE(readProfileBool(path, "S", "two", false));
  EXPECT_TRUE(readProfileBool(path, "S", "neg", false));
  EXPECT_FALSE(readProfileBool(path, "S", "zero", true));
}

TEST_F(ProfileFileTest, EditsKeepEveryOtherByteOfTheFile) {
  const std::string original =
      "; settings\n\n[Printer]\nName = Folisto   \n; a note\n\n[Paper]\nSize=A4\n[printer]\nName=shadow\n";
  const std::string path = makeFile("keep.ini", original);
  ASSERT_TRUE(writeProfileString(path, "PRINTER", "name", "Other"));
  ASSERT_TRUE(writeProfileString(path, "Paper", "Tray", "2"));
  EXPECT_EQ(contentOf(path),
            "; settings\n\n[Printer]\nName = Other\n; a note\n\n[Paper]\nSize=A4\nTray=2\n[printer]\nName=shadow\n");
  ASSERT_TRUE(writeProfileString(path, "Paper", "Size", std::nullopt));
  ASSERT_TRUE(writeProfileString(path, "printer", std::nullopt, std::nullopt));
  EXPECT_EQ(contentOf(path), "; settings\n\n[Paper]\nTray=2\n");
}

TEST_F(ProfileFileTest, AWriteThatChangesNothingLeavesTheFileAlone) {
  const std::string path = makeFile("same.ini", "[S]\nk=v\n");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  EXPECT_TRUE(writeProfileString(path, "s", "K", "v"));
  EXPECT_TRUE(eraseProfileKey(path, "S", "missing"));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
}

TEST_F(ProfileFileTest, UnwritableNamesAreRefusedAndTheFileKept) {
  const std::string path = makeFile("names.ini", "[S]\nk=v\n");
  struct Case {
    std::string section, key, value;
  };
  const Case cases[] = {{"S", "a=b", "v"}, {"S]", "k", "v"}, {"S", "k", "two\r\nlines"}, {"", "k", "v"},
                        {"S", ";k", "v"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section + "/" + c.key);
    SetLastError(0);
    EXPECT_FALSE(writeProfileString(path, c.section, c.key, c.value));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(contentOf(path), "[S]\nk=v\n");
}

TEST_F(ProfileFileTest, ReplacingKeepsTheFilesPermissionsAndFollowsLinks) {
  const std::string real = makeFile("real.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  const std::string link = dir_.file("link.ini");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(writeProfileString(link, "S", "k", "2"));
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  EXPECT_EQ(contentOf(real), "[S]\nk=2\n");
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileFileTest, AMissingFolderFailsAndCreatesNothing) {
  const std::string path = dir_.file("nowhere/settings.ini");
  SetLastError(0);
  EXPECT_FALSE(writeProfileString(path, "S", "k", "v"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fbtest::fileExists(dir_.file("nowhere")));
}

TEST_F(ProfileFileTest, RelativePathsNameFilesInTheWindowsFolder) {
  ASSERT_TRUE(writeProfileString("folisto.ini", "S", "k", "v")) << GetLastError();
  const std::string expected = dir_.file("machine/Windows/folisto.ini");
  EXPECT_EQ(profileFilePath("folisto.ini"), expected);
  EXPECT_EQ(contentOf(expected), "[S]\r\nk=v\r\n");
  EXPECT_EQ(readProfileString("folisto.ini", "S", "k"), "v");
  EXPECT_EQ(profileFilePath("/abs/x.ini"), "/abs/x.ini");
  EXPECT_FALSE(writeProfileString("sub/x.ini", "S", "k", "v"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fbtest::fileExists(dir_.file("machine/Windows/sub")));
}

// A full disk, simulated by a file size limit in a child: the write fails,
// the old file is whole and no temporary file is left.
TEST_F(ProfileFileTest, AFailedWriteKeepsTheOldFile) {
  const std::string original = "[Big]\r\ndata=" + std::string(64 * 1024, 'x') + "\r\n";
  const std::string path = makeFile("big.ini", original);
  const int status = inChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 250;
    if (writeProfileString(path, "Big", "more", "y")) return 251;
    return static_cast<int>(GetLastError() & 0xFF);
  });
  EXPECT_EQ(status, static_cast<int>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(contentOf(path), original);
  EXPECT_EQ(fbtest::namesIn(dir_.path().string()), std::set<std::string>{"big.ini"});
}

TEST_F(ProfileFileTest, AReadOnlyFolderFailsWithoutTouchingTheFile) {
  const std::string path = makeFile("ro.ini", "[S]\nk=1\n");
  // Root's folder is closed to the ordinary user the child becomes; for an
  // ordinary user the folder is made read-only.
  ASSERT_EQ(::chmod(dir_.path().c_str(), ::geteuid() == 0 ? 0755 : 0555), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  const int status = inChild([&] {
    if (!becomeOrdinaryUser()) return 250;
    if (readProfileString(path, "S", "k") != "1") return 251;
    if (writeProfileString(path, "S", "k", "2")) return 252;
    return static_cast<int>(GetLastError() & 0xFF);
  });
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0700), 0);
  EXPECT_EQ(status, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(contentOf(path), "[S]\nk=1\n");
  EXPECT_EQ(fbtest::namesIn(dir_.path().string()), std::set<std::string>{"ro.ini"});
}

// A file that exists but cannot be read must not be replaced by one that
// holds only the new key.
TEST_F(ProfileFileTest, AnUnreadableFileIsNotReplaced) {
  const std::string path = makeFile("secret.ini", "[S]\nkeep=me\n");
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0777), 0);  // the folder itself is writable
  ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
  const int status = inChild([&] {
    if (!becomeOrdinaryUser()) return 250;
    if (readProfileString(path, "S", "keep", "default") != "default") return 251;
    if (writeProfileString(path, "S", "new", "1")) return 252;
    return static_cast<int>(GetLastError() & 0xFF);
  });
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0700), 0);
  EXPECT_EQ(status, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(contentOf(path), "[S]\nkeep=me\n");
}

// Writers in several processes at once: each re-reads the file under the
// folder's lock, so none loses another's keys.
TEST_F(ProfileFileTest, ConcurrentWritersLoseNoKeys) {
  const std::string path = dir_.file("shared.ini");
  constexpr int kWriters = 4;
  constexpr int kKeysEach = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int k = 0; k < kKeysEach; ++k) {
        const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
        if (!writeProfileString(path, k % 2 ? "Odd" : "Even", key, std::to_string(w * 100 + k))) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string key = "w" + std::to_string(w) + "k" + std::to_string(k);
      EXPECT_EQ(readProfileInt(path, k % 2 ? "Odd" : "Even", key, -1), w * 100 + k) << key;
    }
  }
  EXPECT_EQ(fbtest::namesIn(dir_.path().string()), std::set<std::string>{"shared.ini"});
}

}  // namespace
