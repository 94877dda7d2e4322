// The installer's steps on the private cupsd, and the setup command that
// stands in for the product's setup program.

#include "prninst/Installer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdi/DcApi.h"
#include "platform/registry/Registry.h"
#include "platform/spooler/SpoolerApi.h"
#include "prninst/prninst.h"
#include "tests/support/CupsSandbox.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TempDir.h"
#include "tools/xqptool/InstallCommands.h"

namespace {

using namespace platform;

TEST(DriverFilesTest, NamesAsRegistered) {
  const prninst::DriverFiles files = prninst::driverFilesIn("/root/Spool/drivers/W32X86");
  EXPECT_EQ(files.driverPath, "/root/Spool/drivers/W32X86/Kavero_DRV.DLL");
  EXPECT_EQ(files.dataFile, "/root/Spool/drivers/W32X86/Kavero.GPD");
  EXPECT_EQ(files.configFile, "/root/Spool/drivers/W32X86/Kavero_DRVUI.DLL");
  EXPECT_EQ(files.helpFile, "/root/Spool/drivers/W32X86/Kavero_DRV.HLP");
  // Zero-terminated names, closed by one more zero; the odd case stays.
  static const char dependent[] = "Kavero_RES.dll\0STDNAMES.gpd\0Kavero_UI.dLL\0kavero.ini\0Kavero_UNI.DLL\0";
  EXPECT_EQ(files.dependentFiles, std::string(dependent, sizeof dependent));
}

struct Printer {
  std::string name, driver, port, processor, datatype;
  uint32_t attributes = 0, averagePpm = 0;
};

std::vector<Printer> printers() {
  std::vector<Printer> list;
  uint32_t needed = 0, returned = 0;
  const uint32_t flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<uint64_t> buffer((needed + 7) / 8);
  auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
  if (needed == 0 || !EnumPrintersA(flags, nullptr, 2, bytes, needed, &needed, &returned)) return list;
  const auto text = [](const char* s) { return std::string(s ? s : ""); };
  const auto* infos = reinterpret_cast<const PRINTER_INFO_2A*>(bytes);
  for (uint32_t i = 0; i < returned; ++i)
    list.push_back({text(infos[i].pPrinterName), text(infos[i].pDriverName), text(infos[i].pPortName),
                    text(infos[i].pPrintProcessor), text(infos[i].pDatatype), infos[i].Attributes,
                    infos[i].AveragePPM});
  return list;
}

std::vector<Printer> printersNamed(const std::string& name) {
  std::vector<Printer> found;
  for (const auto& p : printers())
    if (p.name == name) found.push_back(p);
  return found;
}

int runTool(std::vector<std::string> args) {
  args.insert(args.begin(), "xqptool");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return tools::runInstallCommand(static_cast<int>(args.size()), argv.data());
}

// A machine root of its own and the private cupsd; the standard printer and
// its driver are set up as the setup program leaves them.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!fbtest::useCupsSandbox(why)) GTEST_SKIP() << why;
    setenv("FOLISTO_ROOT", root_.file("machine").c_str(), 1);
    ASSERT_EQ(runTool({"setup", "--install-folder", root_.file("Program/FB")}), 0);
    messages_.clear();
  }
  void TearDown() override {
    DeleteALLPrinter();
    for (const char* q : {"Del_Case", "Del_Other"}) fbtest::runCommand(std::string("lpadmin -x ") + q + " 2>/dev/null");
    unsetenv("FOLISTO_ROOT");
  }
  static void addQueue(const std::string& queue, const std::string& driverName, const std::string& folder) {
    const std::string ppd = folder + "/" + queue + ".ppd";
    const std::string command = "sed 's/^\\*NickName: .*/*NickName: \"" + driverName + "\"/' " +
                                fbtest::shellQuote(FB_KAVERO_PPD) + " > " + fbtest::shellQuote(ppd) +
                                " && lpadmin -p " + queue + " -v pdffolder:" + fbtest::cupsSandboxDir() +
                                "/output -P " + fbtest::shellQuote(ppd) + " -E 2>/dev/null";
    ASSERT_EQ(fbtest::runCommand(command), 0) << command;
  }

  fbtest::TempDir root_;
  fbtest::MessageRecorder messages_;
};

TEST_F(InstallerTest, SetupRecordsTheInstallFolderAndAddsTheStandardPrinter) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Corvexa\\Folisto Brelvane", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char path[512] = {};
  uint32_t size = sizeof path;
  EXPECT_EQ(RegQueryValueEx(key, "Path", nullptr, nullptr, reinterpret_cast<uint8_t*>(path), &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(std::string(path), root_.file("Program/FB") + "/");

  const auto standard = printersNamed(prninst::kStandardPrinter);
  ASSERT_EQ(standard.size(), 1u);
  EXPECT_EQ(standard[0].driver, prninst::kDriverName);
  EXPECT_EQ(standard[0].port, prninst::kPortName);
}

TEST_F(InstallerTest, DriverTwiceLeavesOneDriverAndOneStandardPrinter) {
  EXPECT_EQ(AddNewPrinterDriver(), 1);
  EXPECT_EQ(AddNewPrinterDriver(), 1);
  EXPECT_EQ(printersNamed(prninst::kStandardPrinter).size(), 1u);
  // The spooler keeps each driver as one PPD in the "3" subfolder.
  EXPECT_EQ(fbtest::namesIn(prninst::driverFolder() + "/3").size(), 1u);
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(InstallerTest, RefusedDriverStopsBeforeTheStandardPrinter) {
  // One dependent file missing, named with its odd case: the spooler refuses.
  ASSERT_EQ(std::remove((prninst::driverFolder() + "/Kavero_UI.dLL").c_str()), 0);
  EXPECT_EQ(AddNewPrinterDriver(), 0);
  // The old standard printer went first; no new one came.
  EXPECT_TRUE(printersNamed(prninst::kStandardPrinter).empty());
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(InstallerTest, NewPrinterGoesOnTheProductsPort) {
  EXPECT_EQ(AddNewPrinter("Second Printer", "Some Other Port", prninst::kDriverName), 1);
  const auto added = printersNamed("Second Printer");
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].driver, prninst::kDriverName);
  EXPECT_EQ(added[0].port, prninst::kPortName);
  EXPECT_EQ(added[0].processor, "KaveroProc");
  EXPECT_EQ(added[0].datatype, "NT EMF 1.008");
  EXPECT_EQ(added[0].averagePpm, 400u);
  EXPECT_EQ(added[0].attributes & PRINTER_ATTRIBUTE_QUEUED, PRINTER_ATTRIBUTE_QUEUED);
  // A name in use is refused, silently.
  EXPECT_EQ(AddNewPrinter("Second Printer", prninst::kPortName, prninst::kDriverName), 0);
  EXPECT_EQ(AddNewPrinter(prninst::kStandardPrinter, prninst::kPortName, prninst::kDriverName), 0);
  EXPECT_EQ(printersNamed("Second Printer").size(), 1u);
  EXPECT_TRUE(messages_.messages().empty());
  // The command-line front end adds them the same way.
  EXPECT_EQ(runTool({"add-printer", "Third Printer"}), 0);
  EXPECT_EQ(printersNamed("Third Printer").size(), 1u);
  EXPECT_EQ(runTool({"add-printer"}), 2);
  EXPECT_EQ(runTool({"info", "x"}), -1);
}

TEST_F(InstallerTest, JobsOnTheProductsPortLandInTheSpoolFolder) {
  HDC dc = CreateDCA(nullptr, prninst::kStandardPrinter, nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "spooled";
  const int job = StartDocA(dc, &doc);
  ASSERT_GT(job, 0);
  EXPECT_GT(StartPage(dc), 0);
  EXPECT_GT(EndPage(dc), 0);
  EXPECT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  // The server runs the backend on its own time; wait for it, boundedly.
  const std::string spooled = root_.file("machine") + "/Spool/job-" + std::to_string(job) + ".pdf";
  for (int i = 0; i < 200 && !fbtest::fileExists(spooled); ++i) usleep(50000);
  ASSERT_TRUE(fbtest::fileExists(spooled)) << spooled;
  const auto bytes = fbtest::readFile(spooled);
  ASSERT_GE(bytes.size(), 5u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "%PDF-");
}

TEST_F(InstallerTest, DeleteAllLeavesPrintersOfOtherDrivers) {
  ASSERT_EQ(AddNewPrinter("Del Own", prninst::kPortName, prninst::kDriverName), 1);
  addQueue("Del_Case", "folisto_brelvane Driver", root_.path().string());
  addQueue("Del_Other", "PDF folder", root_.path().string());

  EXPECT_EQ(DeleteALLPrinter(), 1);
  EXPECT_TRUE(printersNamed(prninst::kStandardPrinter).empty());
  EXPECT_TRUE(printersNamed("Del Own").empty());
  EXPECT_EQ(printersNamed("Del_Case").size(), 1u);
  EXPECT_EQ(printersNamed("Del_Other").size(), 1u);
  EXPECT_EQ(printersNamed("FB_Test_PDF").size(), 1u);
  EXPECT_TRUE(messages_.messages().empty());
  for (const auto& p : printers()) EXPECT_NE(p.driver, prninst::kDriverName) << p.name;
}

}  // namespace
