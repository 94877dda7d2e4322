// Printer device contexts on the private cupsd: their geometry, and pages
// that arrive as PDF files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "tests/platform/spooler/SandboxPrinters.h"

namespace {

using namespace platform;

class PrinterDC : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fbtest::usePrintingSandbox()) GTEST_SKIP() << "the private cupsd is not running";
  }
};

void setDefaults(HANDLE printer, int16_t orientation, int16_t paper, int16_t copies) {
  uint32_t needed = 0;
  GetPrinterA(printer, 2, nullptr, 0, &needed);
  std::vector<uint8_t> buffer(needed);
  ASSERT_TRUE(GetPrinterA(printer, 2, buffer.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
  info->pDevMode->dmOrientation = orientation;
  info->pDevMode->dmPaperSize = paper;
  info->pDevMode->dmCopies = copies;
  ASSERT_TRUE(SetPrinterA(printer, 2, buffer.data(), 0));
}

TEST_F(PrinterDC, TheContextDescribesThePaperOfThePrintersDefaults) {
  fbtest::TestPrinter printer("Spool DC Geometry");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  HDC hdc = CreateDCA(nullptr, "Spool DC Geometry", nullptr, nullptr);
  ASSERT_NE(hdc, nullptr);
  // A4 at 300 dpi with margins of 18 points.
  EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSX), 300);
  EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), 300);
  EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 2330);
  EXPECT_EQ(GetDeviceCaps(hdc, VERTRES), 3358);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALWIDTH), 2480);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALHEIGHT), 3508);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALOFFSETX), 75);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALOFFSETY), 75);
  EXPECT_EQ(GetDeviceCaps(hdc, TECHNOLOGY), DT_RASPRINTER);
  DeleteDC(hdc);

  setDefaults(printer.handle(), DMORIENT_LANDSCAPE, DMPAPER_A5, 1);
  hdc = CreateDCA(nullptr, "Spool DC Geometry", nullptr, nullptr);
  ASSERT_NE(hdc, nullptr);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALWIDTH), 2480);  // A5 across: 210 mm
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALHEIGHT), 1748);
  EXPECT_EQ(GetDeviceCaps(hdc, HORZRES), 2330);
  DeleteDC(hdc);

  // A device mode given to CreateDC wins over the defaults.
  DEVMODEA mode{};
  mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE;
  mode.dmOrientation = DMORIENT_PORTRAIT;
  mode.dmPaperSize = DMPAPER_LETTER;
  hdc = CreateDCA(nullptr, "Spool DC Geometry", nullptr, &mode);
  ASSERT_NE(hdc, nullptr);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALWIDTH), 2550);
  EXPECT_EQ(GetDeviceCaps(hdc, PHYSICALHEIGHT), 3300);
  DeleteDC(hdc);
}

TEST_F(PrinterDC, AnUnknownPrinterGivesNoContext) {
  EXPECT_EQ(CreateDCA(nullptr, "No Such Printer", nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_NAME);
}

TEST_F(PrinterDC, PagesBecomeOnePdfJobOfThePrintersPaper) {
  fbtest::TestPrinter printer("Spool DC Pages");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  setDefaults(printer.handle(), DMORIENT_LANDSCAPE, DMPAPER_A5, 3);
  HDC hdc = CreateDCA(nullptr, "Spool DC Pages", nullptr, nullptr);
  ASSERT_NE(hdc, nullptr);
  EXPECT_LE(StartPage(hdc), 0);  // no document yet
  DOCINFOA doc{sizeof(DOCINFOA), "two pages", nullptr, nullptr, 0};
  const int job = StartDocA(hdc, &doc);
  ASSERT_GT(job, 0) << GetLastError();
  for (int page = 0; page < 2; ++page) {
    ASSERT_GT(StartPage(hdc), 0);
    Rectangle(hdc, 100, 100, 1000, 800);
    ASSERT_GT(EndPage(hdc), 0);
  }
  ASSERT_GT(EndDoc(hdc), 0) << GetLastError();
  DeleteDC(hdc);

  const std::string out = fbtest::waitForJobOutput(job);
  ASSERT_FALSE(out.empty()) << "job " << job << " left no file";
  const std::string info = fbtest::pdfInfo(out);
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  EXPECT_NE(info.find("Page size:       595 x 420 pts"), std::string::npos) << info;  // A5 across, whole points
  EXPECT_EQ(fbtest::jobAttribute(job, "job-name"), "two pages");
  EXPECT_EQ(fbtest::jobAttribute(job, "media"), "iso_a5_148x210mm");
  EXPECT_EQ(fbtest::jobAttribute(job, "orientation-requested"), "landscape");
  EXPECT_EQ(fbtest::jobAttribute(job, "copies"), "3");
}

TEST_F(PrinterDC, AnAbortedDocumentIsCanceledAndLeavesNoOutput) {
  fbtest::TestPrinter printer("Spool DC Abort");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  HDC hdc = CreateDCA(nullptr, "Spool DC Abort", nullptr, nullptr);
  ASSERT_NE(hdc, nullptr);
  DOCINFOA doc{sizeof(DOCINFOA), "aborted", nullptr, nullptr, 0};
  const int job = StartDocA(hdc, &doc);
  ASSERT_GT(job, 0);
  ASSERT_GT(StartPage(hdc), 0);
  Rectangle(hdc, 10, 10, 100, 100);
  ASSERT_GT(AbortDoc(hdc), 0);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-state"), "canceled");
  EXPECT_LE(EndDoc(hdc), 0);

  // Deleting a context in the middle of a document withdraws its job too.
  const int second = StartDocA(hdc, &doc);
  ASSERT_GT(second, 0);
  DeleteDC(hdc);
  EXPECT_EQ(fbtest::jobAttribute(second, "job-state"), "canceled");
  EXPECT_FALSE(std::filesystem::exists(fbtest::cupsOutputFolder() + "/job-" + std::to_string(job) + ".pdf"));
}

}  // namespace
