// Printers on the private cupsd: listing, opening, reading and changing
// their defaults, adding and deleting them.

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "tests/platform/spooler/SandboxPrinters.h"

namespace {

using namespace platform;

class Printers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fbtest::usePrintingSandbox()) GTEST_SKIP() << "the private cupsd is not running";
  }
};

std::vector<uint8_t> printerInfo(HANDLE printer, uint32_t level) {
  uint32_t needed = 0;
  EXPECT_FALSE(GetPrinterA(printer, level, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<uint8_t> buffer(needed);
  EXPECT_TRUE(GetPrinterA(printer, level, buffer.data(), needed, &needed));
  return buffer;
}

const PRINTER_INFO_2A* info2(const std::vector<uint8_t>& buffer) {
  return reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
}

TEST_F(Printers, EnumerationFollowsTheBufferProtocolAndNamesDriverAndPort) {
  fbtest::TestPrinter printer("Spool Enum Test");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  for (uint32_t level : {1u, 2u, 4u}) {
    uint32_t needed = 0, returned = 7;
    ASSERT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, level, nullptr, 0, &needed,
                               &returned));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    std::vector<uint8_t> small(needed - 1);
    EXPECT_FALSE(EnumPrintersA(6, nullptr, level, small.data(), needed - 1, &needed, &returned));
    std::vector<uint8_t> buffer(needed);
    ASSERT_TRUE(EnumPrintersA(6, nullptr, level, buffer.data(), needed, &needed, &returned)) << level;
    ASSERT_GE(returned, 2u);  // the sandbox's own queue and ours

    bool found = false;
    for (uint32_t i = 0; i < returned; ++i) {
      const char* name = level == 1   ? reinterpret_cast<PRINTER_INFO_1A*>(buffer.data())[i].pName
                         : level == 2 ? reinterpret_cast<PRINTER_INFO_2A*>(buffer.data())[i].pPrinterName
                                      : reinterpret_cast<PRINTER_INFO_4A*>(buffer.data())[i].pPrinterName;
      if (std::strcmp(name, "Spool Enum Test") != 0) continue;
      found = true;
      if (level == 2) {
        const auto& p = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data())[i];
        EXPECT_STREQ(p.pDriverName, fbtest::kTestDriver);
        EXPECT_EQ(std::string(p.pPortName), "pdffolder:" + fbtest::cupsOutputFolder());
        ASSERT_NE(p.pDevMode, nullptr);
        EXPECT_EQ(p.pDevMode->dmPaperSize, DMPAPER_A4);
        EXPECT_NE(p.Attributes & PRINTER_ATTRIBUTE_QUEUED, 0u);
      }
    }
    EXPECT_TRUE(found) << "level " << level;
  }
}

TEST_F(Printers, AnUnknownPrinterCannotBeOpened) {
  HANDLE printer = reinterpret_cast<HANDLE>(1);
  EXPECT_FALSE(OpenPrinterA("No Such Printer", &printer, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_EQ(printer, nullptr);
  EXPECT_FALSE(OpenPrinterA("", &printer, nullptr));
  EXPECT_FALSE(GetPrinterA(reinterpret_cast<HANDLE>(0x1234), 2, nullptr, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Printers, ANameWithBlanksIsShownAsGivenAndOpensItsQueue) {
  fbtest::TestPrinter printer("Spool Blank Name");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterA("Spool Blank Name", &handle, nullptr));
  const auto buffer = printerInfo(handle, 2);
  EXPECT_STREQ(info2(buffer)->pPrinterName, "Spool Blank Name");
  // The queue's own name opens the same printer; a near miss does not.
  HANDLE byQueue = nullptr;
  EXPECT_TRUE(OpenPrinterA("Spool_Blank_Name", &byQueue, nullptr));
  EXPECT_FALSE(OpenPrinterA("Spool Blank_Name", &byQueue, nullptr));
  ClosePrinter(handle);
}

TEST_F(Printers, SetPrinterMakesTheDeviceModeThePrintersDefaults) {
  fbtest::TestPrinter printer("Spool Defaults Test");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  auto buffer = printerInfo(printer.handle(), 2);
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
  ASSERT_NE(info->pDevMode, nullptr);
  EXPECT_EQ(info->pDevMode->dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(info->pDevMode->dmCopies, 1);
  EXPECT_EQ(info->pDevMode->dmPrintQuality, 300);

  info->pDevMode->dmOrientation = DMORIENT_LANDSCAPE;
  info->pDevMode->dmPaperSize = DMPAPER_A5;
  info->pDevMode->dmCopies = 3;
  info->pComment = const_cast<char*>("by the test");
  ASSERT_TRUE(SetPrinterA(printer.handle(), 2, buffer.data(), 0)) << GetLastError();

  const auto after = printerInfo(printer.handle(), 2);
  EXPECT_EQ(info2(after)->pDevMode->dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(info2(after)->pDevMode->dmPaperSize, DMPAPER_A5);
  EXPECT_EQ(info2(after)->pDevMode->dmCopies, 3);
  EXPECT_STREQ(info2(after)->pComment, "by the test");

  DEVMODEA mode{};
  EXPECT_EQ(DocumentPropertiesA(nullptr, printer.handle(), nullptr, nullptr, nullptr, 0),
            static_cast<int32_t>(sizeof(DEVMODEA)));
  EXPECT_EQ(DocumentPropertiesA(nullptr, printer.handle(), nullptr, &mode, nullptr, DM_OUT_BUFFER), 1);
  EXPECT_EQ(mode.dmPaperSize, DMPAPER_A5);

  // A job that names none of these options gets them from the server.
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, "Spool_Defaults_Test", "bare", 0, nullptr);
  ASSERT_GT(job, 0);
  EXPECT_EQ(fbtest::jobAttribute(job, "media"), "iso_a5_148x210mm");
  EXPECT_EQ(fbtest::jobAttribute(job, "orientation-requested"), "landscape");
  EXPECT_EQ(fbtest::jobAttribute(job, "copies"), "3");
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Spool_Defaults_Test", job, 0);
}

TEST_F(Printers, AddingChecksNameDriverAndPortAndDeletingRemovesTheQueue) {
  ASSERT_TRUE(fbtest::registerTestDriver());
  const std::string port = "pdffolder:" + fbtest::cupsOutputFolder();
  PRINTER_INFO_2A info{};
  info.pPrinterName = const_cast<char*>("Spool Add Test");
  info.pDriverName = const_cast<char*>("No Such Driver");
  info.pPortName = const_cast<char*>(port.c_str());
  EXPECT_EQ(AddPrinterA(nullptr, 2, reinterpret_cast<uint8_t*>(&info)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_UNKNOWN_PRINTER_DRIVER);

  info.pDriverName = const_cast<char*>(fbtest::kTestDriver);
  info.pPortName = const_cast<char*>("No Such Port");
  EXPECT_EQ(AddPrinterA(nullptr, 2, reinterpret_cast<uint8_t*>(&info)), nullptr);
  EXPECT_EQ(GetLastError(), 1796u);  // ERROR_UNKNOWN_PORT

  // A registered port stands for its device URI, and reads back by name.
  ASSERT_TRUE(AddSpoolerPort("Spool Test Port", port.c_str()));
  info.pPortName = const_cast<char*>("Spool Test Port");
  info.pPrintProcessor = const_cast<char*>("KaveroProc");
  info.pDatatype = const_cast<char*>("NT EMF 1.008");
  info.AveragePPM = 400;
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<uint8_t*>(&info));
  ASSERT_NE(added, nullptr) << GetLastError();
  EXPECT_EQ(AddPrinterA(nullptr, 2, reinterpret_cast<uint8_t*>(&info)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PRINTER_ALREADY_EXISTS);

  const auto buffer = printerInfo(added, 2);
  EXPECT_STREQ(info2(buffer)->pPortName, "Spool Test Port");
  EXPECT_STREQ(info2(buffer)->pPrintProcessor, "KaveroProc");
  EXPECT_STREQ(info2(buffer)->pDatatype, "NT EMF 1.008");
  EXPECT_EQ(info2(buffer)->AveragePPM, 400u);

  ASSERT_TRUE(DeletePrinter(added));
  ClosePrinter(added);
  HANDLE reopened = nullptr;
  EXPECT_FALSE(OpenPrinterA("Spool Add Test", &reopened, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
  EXPECT_TRUE(DeleteSpoolerPort("Spool Test Port"));
}

TEST_F(Printers, DriversNeedTheirFilesInTheDriverFolder) {
  char folder[512];
  uint32_t needed = 0;
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, "Windows NT x86", 1, reinterpret_cast<uint8_t*>(folder), 4, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, "Windows NT x86", 1, reinterpret_cast<uint8_t*>(folder),
                                         sizeof folder, &needed));
  EXPECT_EQ(std::string(folder), std::string(getenv("FOLISTO_ROOT")) + "/Spool/DRIVERS/W32X86");
  EXPECT_EQ(needed, std::strlen(folder) + 1);

  DRIVER_INFO_3A info{};
  info.cVersion = 3;
  info.pName = const_cast<char*>("Spool Missing Files");
  info.pEnvironment = const_cast<char*>("Windows NT x86");
  info.pDriverPath = const_cast<char*>("missing.dll");
  info.pDataFile = const_cast<char*>("missing.gpd");
  info.pConfigFile = const_cast<char*>("missing_ui.dll");
  EXPECT_FALSE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<uint8_t*>(&info)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
