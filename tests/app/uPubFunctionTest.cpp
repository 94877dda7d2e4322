// The shared routines, on a machine root of their own: registry values,
// page file walks, folders and copies, the error box, program starts, and
// the printer lists and document wrappers against the private cupsd.

#include "app/shell/uPubFunction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/system/ErrorCodes.h"
#include "platform/system/SystemMessage.h"
#include "tests/support/CupsSandbox.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;

void writeBytes(const std::string& path, size_t count) { fbtest::writeFile(path, std::vector<uint8_t>(count, 'x')); }

bool isDir(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

void setValue(const char* keyPath, const char* name, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(value.c_str()),
                          static_cast<uint32_t>(value.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// A value as text, or "<missing>".
std::string valueOf(const std::string& keyPath, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
  char data[1024] = {};
  uint32_t size = sizeof data;
  const auto status = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<uint8_t*>(data), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? std::string(data) : "<missing>";
}

// Each test gets its own machine root, so registry and folders start empty.
class PubFunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("FOLISTO_ROOT");
    hadRoot_ = old != nullptr;
    if (hadRoot_) oldRoot_ = old;
    setenv("FOLISTO_ROOT", root_.file("machine").c_str(), 1);
  }
  void TearDown() override {
    if (hadRoot_) setenv("FOLISTO_ROOT", oldRoot_.c_str(), 1);
    else unsetenv("FOLISTO_ROOT");
  }
  std::string dir(const std::string& name) const { return work_.file(name); }

  fbtest::TempDir root_, work_;
  fbtest::MessageRecorder messages_;
  bool hadRoot_ = false;
  std::string oldRoot_;
};

TEST_F(PubFunctionTest, InstallPathGetsOneTrailingSeparator) {
  const struct {
    std::string value, expected;
  } cases[] = {{"/opt/Prog", "/opt/Prog/"}, {"/opt/Prog/", "/opt/Prog/"}, {"", ""}};
  for (const auto& c : cases) {
    setValue(kInstallKey, kInstallValue, c.value);
    EXPECT_EQ(GetInstallPath(), c.expected) << c.value;
  }
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(PubFunctionTest, InstallPathWithoutKeyShowsTheError) {
  EXPECT_EQ(GetInstallPath(), "");
  ASSERT_EQ(messages_.messages().size(), 1u);
  EXPECT_EQ(messages_.messages()[0].text, "GetSoftWare_ERROR");
  EXPECT_EQ(messages_.messages()[0].caption, kAppTitle);

  // A key without the value reads as empty, silently.
  messages_.clear();
  setValue(kInstallKey, "Other", "x");
  EXPECT_EQ(GetInstallPath(), "");
  EXPECT_TRUE(messages_.messages().empty());
}

// a.xqp 100, b.XQP 50, c.txt, sub/d.xqp 10, sub/deeper/e.xqp 5.
class PageFilesTest : public PubFunctionTest {
 protected:
  void SetUp() override {
    PubFunctionTest::SetUp();
    top_ = dir("jobs");
    ASSERT_TRUE(ForceFolders(top_ + "/sub/deeper/"));
    writeBytes(top_ + "/a.xqp", 100);
    writeBytes(top_ + "/b.XQP", 50);
    writeBytes(top_ + "/c.txt", 7);
    writeBytes(top_ + "/sub/d.xqp", 10);
    writeBytes(top_ + "/sub/deeper/e.xqp", 5);
  }
  std::string top_;
};

TEST_F(PageFilesTest, SizeCountsPageFilesOfTheFirstSubfolderLevel) {
  EXPECT_EQ(PageFilesSize(top_, "*.*", true), 110);
  EXPECT_EQ(PageFilesSize(top_ + "/", "*.*", true), 110);
  EXPECT_EQ(PageFilesSize(top_, "*.*", false), 100);
  // The mask matches without case; the extension test keeps it.
  EXPECT_EQ(PageFilesSize(top_, "*.XQP", false), 100);
  EXPECT_EQ(PageFilesSize(top_ + "/missing", "*.*", true), 0);
}

TEST_F(PageFilesTest, SizeGoesDeeperOnlyThroughFoldersNamedLikePageFiles) {
  ASSERT_TRUE(ForceFolders(top_ + "/sub/x.xqp/"));
  writeBytes(top_ + "/sub/x.xqp/f.xqp", 1000);
  // Hidden folders are passed over.
  ASSERT_TRUE(ForceFolders(top_ + "/.hidden/"));
  writeBytes(top_ + "/.hidden/g.xqp", 10000);
  EXPECT_EQ(PageFilesSize(top_, "*.*", true), 1110);
}

TEST_F(PageFilesTest, SizeTotalsBeyondTwoGibibytes) {
  // Sparse files: the sizes count, not the blocks.
  for (const char* name : {"/big1.xqp", "/big2.xqp"}) {
    FILE* f = std::fopen((top_ + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), 0x60000000), 0);
    std::fclose(f);
  }
  EXPECT_EQ(PageFilesSize(top_, "*.*", true), 110 + 2 * int64_t{0x60000000});
}

TEST_F(PageFilesTest, DeleteRemovesPageFilesOfTheFolderAndItsSubfolders) {
  chmod((top_ + "/c.txt").c_str(), 0444);
  chmod((top_ + "/b.XQP").c_str(), 0444);
  EXPECT_TRUE(DeletePageFiles(top_, "/*.*"));
  EXPECT_EQ(fbtest::namesIn(top_), (std::set<std::string>{"b.XQP", "c.txt", "sub"}));
  EXPECT_EQ(fbtest::namesIn(top_ + "/sub"), (std::set<std::string>{"deeper"}));
  EXPECT_EQ(fbtest::namesIn(top_ + "/sub/deeper"), (std::set<std::string>{"e.xqp"}));
  // Every file visited lost its read-only state, page file or not.
  EXPECT_EQ(modeOf(top_ + "/c.txt") & S_IWUSR, S_IWUSR);
  EXPECT_EQ(modeOf(top_ + "/b.XQP") & S_IWUSR, S_IWUSR);
  EXPECT_TRUE(messages_.messages().empty());
  EXPECT_TRUE(DeletePageFiles(dir("missing"), "/*.*"));
}

TEST_F(PubFunctionTest, ForceFoldersCreatesThePrefixesEndingInASeparator) {
  const std::string base = dir("A");
  EXPECT_TRUE(ForceFolders(base + "/B/C"));
  EXPECT_TRUE(isDir(base));
  EXPECT_TRUE(isDir(base + "/B"));
  EXPECT_FALSE(isDir(base + "/B/C"));
  EXPECT_TRUE(ForceFolders(base + "/B/C/"));
  EXPECT_TRUE(isDir(base + "/B/C"));

  // A file where a folder should be.
  writeBytes(dir("F"), 1);
  EXPECT_FALSE(ForceFolders(dir("F/x/")));
  EXPECT_TRUE(ForceFolders(""));
}

TEST_F(PubFunctionTest, CopyFileToMakesTheFolderAndOverwrites) {
  writeBytes(dir("src.xqp"), 12);
  writeBytes(dir("old.xqp"), 3);
  CopyFileTo(dir("src.xqp"), dir("new/deep/copy.xqp"));
  EXPECT_EQ(fbtest::readFile(dir("new/deep/copy.xqp")).size(), 12u);
  CopyFileTo(dir("src.xqp"), dir("old.xqp"));
  EXPECT_EQ(fbtest::readFile(dir("old.xqp")).size(), 12u);
  // A missing source does nothing and says nothing.
  CopyFileTo(dir("none.xqp"), dir("other/x.xqp"));
  EXPECT_FALSE(fbtest::fileExists(dir("other/x.xqp")));
  EXPECT_TRUE(messages_.messages().empty());
  // A copy that fails says so.
  ASSERT_TRUE(ForceFolders(dir("taken/")));
  CopyFileTo(dir("src.xqp"), dir("taken"));
  ASSERT_EQ(messages_.messages().size(), 1u);
  EXPECT_EQ(messages_.messages()[0].text, "Copy File Error");
}

TEST_F(PubFunctionTest, FileSizeOfRegularVisibleFilesOnly) {
  writeBytes(dir("job.xqp"), 1234);
  writeBytes(dir(".hidden.xqp"), 99);
  ASSERT_TRUE(ForceFolders(dir("folder/")));
  const struct {
    std::string path;
    int64_t size;
  } cases[] = {{dir("job.xqp"), 1234}, {dir("missing.xqp"), 0}, {dir("folder"), 0}, {dir(".hidden.xqp"), 0}};
  for (const auto& c : cases) EXPECT_EQ(FileSizeOf(c.path), c.size) << c.path;
}

TEST_F(PubFunctionTest, ShowErrorCodeCaptionHasTheUnsignedCode) {
  ShowErrorCode(5, "CreateXQP_Error");
  ShowErrorCode(0x80000005u, "StartPage_Error");
  ASSERT_EQ(messages_.messages().size(), 2u);
  EXPECT_EQ(messages_.messages()[0].caption, "CreateXQP_Error - 5");
  EXPECT_EQ(messages_.messages()[0].text, systemMessageText(5));
  EXPECT_FALSE(messages_.messages()[0].text.empty());
  EXPECT_EQ(messages_.messages()[1].caption, "StartPage_Error - 2147483653");
  EXPECT_EQ(messages_.messages()[0].type, MB_OK);
}

TEST_F(PubFunctionTest, PageWrappersReportAFailedPage) {
  // A context that does not exist: the spooler refuses the page.
  EXPECT_FALSE(StartPrinterPage(nullptr));
  EXPECT_FALSE(EndPrinterPage(nullptr));
  ASSERT_EQ(messages_.messages().size(), 2u);
  EXPECT_EQ(messages_.messages()[0].caption.rfind("StartPage_Error - ", 0), 0u) << messages_.messages()[0].caption;
  EXPECT_EQ(messages_.messages()[1].caption.rfind("EndPage_Error - ", 0), 0u) << messages_.messages()[1].caption;
}

TEST(RoundDownToTest, Table) {
  const struct {
    int32_t digits;
    double value, expected;
  } cases[] = {
      {2, 0.379, 0.37},
      {0, 0.379, 0.379},
      {1, -0.15, -0.2},
      {0, 1.99, 1.99},
      {-3, 12.345, 12.345},
      {3, 2.5, 2.5},
      // Past the 32-bit range of the scaled value.
      {2, 3.0e9 + 0.257, 3.0e9 + 0.25},
      {4, -4.0e6 - 0.12345, -4.0e6 - 0.1235},
      // No digits that fine left in a double: the value itself.
      {2, 1.0e300, 1.0e300},
      {400, 1.5, 1.5},
      {2, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(RoundDownTo(c.digits, c.value), c.expected) << c.digits << " " << c.value;
  EXPECT_TRUE(std::isnan(RoundDownTo(2, std::nan(""))));
}

TEST_F(PubFunctionTest, SpoolAndPrinterFoldersFromTheRegistry) {
  EXPECT_EQ(GetDefaultSpoolDirectory(), "");
  setValue(kPrintersKey, "DefaultSpoolDirectory", "/var/spool/fb");
  setValue(kInstallKey, kInstallValue, "/opt/FB");
  EXPECT_EQ(GetDefaultSpoolDirectory(), "/var/spool/fb");

  AssignPrinterFolders("My Printer");
  const std::string own = std::string(kPrintersKey) + "\\My Printer";
  EXPECT_EQ(valueOf(own + "\\Settings", "DataSavePath"), "/opt/FB/Images");
  EXPECT_EQ(valueOf(own, "SpoolDirectory"), "/var/spool/fb");
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(PubFunctionTest, WindowsFolderAndShortPath) {
  EXPECT_EQ(GetWindowsFolder(), root_.file("machine") + "/Windows");
  EXPECT_EQ(GetShortPath("/some/Long Folder Name/file.xqp"), "/some/Long Folder Name/file.xqp");
}

TEST_F(PubFunctionTest, RunAndWaitWaitsForTheProgram) {
  const std::string out = dir("out.txt");
  // The program has finished writing when RunAndWait returns.
  EXPECT_TRUE(RunAndWait("sh", "-c \"sleep 0.3; echo done > '" + out + "'\""));
  ASSERT_TRUE(fbtest::fileExists(out));
  EXPECT_EQ(fbtest::readFile(out).size(), 5u);
  EXPECT_TRUE(RunAndWait("/bin/sh", "-c \"exit 3\""));
  EXPECT_FALSE(RunAndWait(dir("no-such-program"), ""));
  EXPECT_FALSE(RunAndWait("", ""));
}

TEST_F(PubFunctionTest, RunAndWaitLetsTheHookRunAndStopTheWait) {
  int calls = 0;
  const WaitHook previous = setRunAndWaitHook([&] {
    ++calls;
    return true;
  });
  EXPECT_TRUE(RunAndWait("sh", "-c \"sleep 0.5\""));
  EXPECT_GE(calls, 2);

  // The program is ending: the wait stops after the first slice.
  calls = 0;
  setRunAndWaitHook([&] {
    ++calls;
    return false;
  });
  EXPECT_TRUE(RunAndWait("sh", "-c \"exec sleep 3 >/dev/null 2>&1\""));
  EXPECT_EQ(calls, 1);
  setRunAndWaitHook(previous);
}

// Printer lists and documents on the private cupsd.
class PrinterRoutinesTest : public PubFunctionTest {
 protected:
  void SetUp() override {
    PubFunctionTest::SetUp();
    std::string why;
    if (!fbtest::useCupsSandbox(why)) GTEST_SKIP() << why;
  }
  // A queue with a driver of the given name, through lpadmin.
  static void addQueue(const std::string& queue, const std::string& driverName, const std::string& ppdFolder) {
    const std::string ppd = ppdFolder + "/" + queue + ".ppd";
    const std::string command = "sed 's/^\\*NickName: .*/*NickName: \"" + driverName + "\"/' " +
                                fbtest::shellQuote(FB_KAVERO_PPD) + " > " + fbtest::shellQuote(ppd) +
                                " && lpadmin -p " + queue + " -v pdffolder:" + fbtest::cupsSandboxDir() +
                                "/output -P " + fbtest::shellQuote(ppd) + " -E 2>/dev/null";
    ASSERT_EQ(fbtest::runCommand(command), 0) << command;
  }
  static void removeQueue(const std::string& queue) { fbtest::runCommand("lpadmin -x " + queue + " 2>/dev/null"); }
};

TEST_F(PrinterRoutinesTest, ListsSplitPrintersByTheirDriverName) {
  const std::vector<std::string> own = {"Lst_Own_1", "Lst_Own_2"};
  const std::vector<std::string> others = {"Lst_Other_1", "Lst_Other_2", "Lst_Other_3"};
  addQueue(own[0], kOwnDriverName, dir(""));
  addQueue(others[0], "Folisto_brelvane Driver", dir(""));  // differs only in case
  addQueue(own[1], kOwnDriverName, dir(""));
  addQueue(others[1], "PDF folder", dir(""));
  addQueue(others[2], "FOLISTO_BRELVANE DRIVER", dir(""));

  std::vector<std::string> mine = {"stale"}, rest = {"stale"};
  ListDriverPrinters(mine);
  ListOtherPrinters(rest);
  // Only this test's queues, in the order the lists have them.
  const auto only = [](const std::vector<std::string>& list, const std::string& prefix) {
    std::vector<std::string> kept;
    for (const auto& name : list)
      if (name.rfind(prefix, 0) == 0) kept.push_back(name);
    return kept;
  };
  EXPECT_EQ(only(mine, "Lst_"), own);
  EXPECT_EQ(only(rest, "Lst_"), others);
  EXPECT_EQ(only(mine, "stale"), std::vector<std::string>{});
  for (const auto& q : own) removeQueue(q);
  for (const auto& q : others) removeQueue(q);
}

TEST_F(PrinterRoutinesTest, DocumentOnARealQueueAndOnAMissingOne) {
  HDC dc = nullptr;
  int32_t job = 0;
  ASSERT_TRUE(OpenPrinterDoc("FB_Test_PDF", "wrapped", dc, job));
  EXPECT_GT(job, 0);
  EXPECT_TRUE(StartPrinterPage(dc));
  EXPECT_TRUE(EndPrinterPage(dc));
  EXPECT_TRUE(ClosePrinterDoc(dc));
  EXPECT_TRUE(messages_.messages().empty());

  HDC none = nullptr;
  int32_t noJob = 0;
  EXPECT_FALSE(OpenPrinterDoc("No Such Printer", "x", none, noJob));
  EXPECT_EQ(none, nullptr);
  ASSERT_EQ(messages_.messages().size(), 1u);
  EXPECT_EQ(messages_.messages()[0].text, "Can't connect the printer!");
  EXPECT_EQ(messages_.messages()[0].caption, "Error");
}

}  // namespace
