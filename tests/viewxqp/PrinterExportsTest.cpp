// The printer exports: device contexts prepared for pages, a printer's
// defaults, reprinting a page file and job control.

#include <gtest/gtest.h>

#include <cups/cups.h>

#include <memory>
#include <string>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/RecordingSurface.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "tests/platform/spooler/SandboxPrinters.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/PageFileBytes.h"
#include "tests/support/TempDir.h"
#include "viewxqp/viewxqp.h"


namespace {

using namespace platform;

// A 600 dpi printer-like context whose printable area starts 50 and 60
// pixels into the paper.
HDC makeDevice() {
  gdi::DeviceDescription d;
  d.technology = DT_RASPRINTER;
  d.dpiX = d.dpiY = 600;
  d.width = 4800;
  d.height = 6800;
  d.physicalWidth = 4960;
  d.physicalHeight = 7016;
  d.physicalOffsetX = 50;
  d.physicalOffsetY = 60;
  return CreateSurfaceDC(std::make_shared<gdi::RecordingSurface>(d));
}

struct DcFacts {
  SIZE window{}, viewport{};
  POINT origin{};
  XFORM world{};
  int mapMode = 0, graphicsMode = 0;
};

DcFacts factsOf(HDC hdc) {
  DcFacts f;
  GetWindowExtEx(hdc, &f.window);
  GetViewportExtEx(hdc, &f.viewport);
  GetViewportOrgEx(hdc, &f.origin);
  GetWorldTransform(hdc, &f.world);
  f.mapMode = GetMapMode(hdc);
  f.graphicsMode = GetGraphicsMode(hdc);
  return f;
}

bool isQuarterTurn(const XFORM& x) {
  return x.eM11 == 0 && x.eM12 == 1 && x.eM21 == -1 && x.eM22 == 0 && x.eDx == 0 && x.eDy == 0;
}
bool isIdentity(const XFORM& x) {
  return x.eM11 == 1 && x.eM12 == 0 && x.eM21 == 0 && x.eM22 == 1 && x.eDx == 0 && x.eDy == 0;
}

TEST(SetNewDC, TheScaleMapsSourceDotsToDevicePixels) {
  const struct {
    int32_t sourceDpi, window, viewport;
  } cases[] = {{600, 1, 1}, {599, 599, 600}, {300, 1, 2}, {96, 4, 25}};
  for (const auto& c : cases) {
    HDC hdc = makeDevice();
    EXPECT_EQ(SetNewDC(hdc, c.sourceDpi, 0, 1, 0, 0, 0, 1), 1);
    const DcFacts f = factsOf(hdc);
    EXPECT_EQ(f.mapMode, MM_ANISOTROPIC) << c.sourceDpi;
    EXPECT_EQ(f.window.cx, c.window) << c.sourceDpi;
    EXPECT_EQ(f.window.cy, c.window) << c.sourceDpi;
    EXPECT_EQ(f.viewport.cx, c.viewport) << c.sourceDpi;
    EXPECT_EQ(f.viewport.cy, c.viewport) << c.sourceDpi;
    EXPECT_EQ(f.graphicsMode, GM_ADVANCED);
    DeleteDC(hdc);
  }
}

TEST(SetNewDC, PlacementByRotation) {
  const struct {
    int32_t rotation;
    POINT origin;
    bool quarterTurn;
  } cases[] = {
      {-1, {0, 0}, false},
      {0, {-50, -60}, false},
      {1, {6550, -60}, true},   // 3300 source dots at 300 dpi are 6600 device pixels
      {2, {6540, -50}, true},   // landscape paper: the offsets change places
  };
  for (const auto& c : cases) {
    HDC hdc = makeDevice();
    fbtest::MessageRecorder messages;
    EXPECT_EQ(SetNewDC(hdc, 300, 0, 1, c.rotation, 0, 3300, 1), 1);
    const DcFacts f = factsOf(hdc);
    EXPECT_EQ(f.origin.x, c.origin.x) << "rotation " << c.rotation;
    EXPECT_EQ(f.origin.y, c.origin.y) << "rotation " << c.rotation;
    EXPECT_EQ(isQuarterTurn(f.world), c.quarterTurn) << "rotation " << c.rotation;
    EXPECT_TRUE(messages.messages().empty());
    // A point of the page lands where the turn puts it on the paper.
    if (c.rotation == 1) {
      POINT p{100, 0};
      LPtoDP(hdc, &p, 1);
      EXPECT_EQ(p.x, 6550);
      EXPECT_EQ(p.y, 140);
    }
    DeleteDC(hdc);
  }
}

TEST(SetNewDC, PlainPlacementKeepsTheWorldTransformAndSkippingKeepsThePlacement) {
  HDC hdc = makeDevice();
  SetGraphicsMode(hdc, GM_ADVANCED);
  const XFORM twice{2, 0, 0, 2, 0, 0};
  SetWorldTransform(hdc, &twice);
  EXPECT_EQ(SetNewDC(hdc, 600, 0, 1, 0, 0, 0, 0), 1);
  DcFacts f = factsOf(hdc);
  EXPECT_EQ(f.world.eM11, 2);
  EXPECT_EQ(f.origin.x, -50);
  EXPECT_EQ(f.origin.y, -60);

  SetViewportOrgEx(hdc, 7, 8, nullptr);
  SetWorldTransform(hdc, &twice);
  EXPECT_EQ(SetNewDC(hdc, 300, 1, 1, 1, 0, 3300, 1), 1);  // skipPlacement
  f = factsOf(hdc);
  EXPECT_EQ(f.viewport.cx, 2);
  EXPECT_EQ(f.origin.x, 7);
  EXPECT_EQ(f.origin.y, 8);
  EXPECT_TRUE(isIdentity(f.world));  // the scale step resets it, nothing else touched it

  SetWorldTransform(hdc, &twice);
  EXPECT_EQ(SetNewDC(hdc, 300, 0, 0, 1, 0, 3300, 0), 1);  // doPlacement 0
  f = factsOf(hdc);
  EXPECT_EQ(f.world.eM11, 2);
  EXPECT_EQ(f.origin.x, 7);
  DeleteDC(hdc);
}

TEST(SetOldDC, ResetsOnlyTheWorldTransform) {
  HDC hdc = makeDevice();
  SetNewDC(hdc, 300, 0, 1, 1, 0, 3300, 1);
  EXPECT_EQ(SetOldDC(hdc), 1);
  const DcFacts f = factsOf(hdc);
  EXPECT_TRUE(isIdentity(f.world));
  EXPECT_EQ(f.mapMode, MM_ANISOTROPIC);
  EXPECT_EQ(f.viewport.cx, 2);
  EXPECT_EQ(f.origin.x, 6550);
  EXPECT_EQ(GetDCWidth(hdc), 4800);
  EXPECT_EQ(GetDCHeight(hdc), 6800);
  DeleteDC(hdc);
  EXPECT_EQ(SetOldDC(hdc), 0);  // a dead context refuses
}

// Tests that print into the private cupsd.
class PrinterExports : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fbtest::usePrintingSandbox()) GTEST_SKIP() << "the private cupsd is not running";
  }
  std::string pageFile(int pages) {
    fbtest::PageFileLayout layout;
    for (int i = 0; i < pages; ++i)
      layout.pages.push_back(fbtest::EmfWriter().rectangle(100, 100 + i, 400, 300).finish());
    layout.docName = "report";
    const std::string path = dir_.file("pages.xqp");
    fbtest::writeFile(path, fbtest::pageFileBytes(layout));
    return path;
  }
  fbtest::TempDir dir_;
};

TEST_F(PrinterExports, SetPrinterInfoOfAnUnknownPrinterSaysOpenPrinter) {
  fbtest::MessageRecorder messages;
  EXPECT_EQ(SetPrinterInfo("No Such Printer", 2, 11, 3), 0);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].caption, "OpenPrinter");
  EXPECT_EQ(messages.messages()[0].text.rfind("The printer name is invalid.", 0), 0u) << messages.messages()[0].text;
}

TEST_F(PrinterExports, SetPrinterInfoChangesTheNextJob) {
  fbtest::TestPrinter printer("Spool Export Settings");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  fbtest::MessageRecorder messages;
  EXPECT_EQ(SetPrinterInfo("Spool Export Settings", 2, 11, 3), 1);
  EXPECT_TRUE(messages.messages().empty());

  ASSERT_EQ(RePrintEMF("Spool Export Settings", pageFile(2).c_str()), 1);
  EXPECT_TRUE(messages.messages().empty()) << messages.messages()[0].caption;
  const int job = fbtest::lastJobOf("Spool_Export_Settings");
  ASSERT_GT(job, 0);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-name"), "DDD");
  EXPECT_EQ(fbtest::jobAttribute(job, "media"), "iso_a5_148x210mm");
  EXPECT_EQ(fbtest::jobAttribute(job, "orientation-requested"), "landscape");
  EXPECT_EQ(fbtest::jobAttribute(job, "copies"), "3");
  const std::string out = fbtest::waitForJobOutput(job);
  ASSERT_FALSE(out.empty());
  const std::string info = fbtest::pdfInfo(out);
  EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
  EXPECT_NE(info.find("Page size:       595 x 420 pts"), std::string::npos) << info;  // A5 across, whole points
}

TEST_F(PrinterExports, RePrintEMFSendsEveryPageOnThePrintersPaper) {
  fbtest::TestPrinter printer("Spool Export Reprint");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  fbtest::MessageRecorder messages;
  ASSERT_EQ(RePrintEMF("Spool Export Reprint", pageFile(3).c_str()), 1);
  EXPECT_TRUE(messages.messages().empty());
  const std::string out = fbtest::waitForJobOutput(fbtest::lastJobOf("Spool_Export_Reprint"));
  ASSERT_FALSE(out.empty());
  const std::string info = fbtest::pdfInfo(out);
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  EXPECT_NE(info.find("Page size:       595 x 842 pts"), std::string::npos) << info;  // A4 upright
}

TEST_F(PrinterExports, RePrintEMFOfAFileWithoutPagesEndsAnEmptyDocument) {
  fbtest::TestPrinter printer("Spool Export Empty");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  fbtest::MessageRecorder messages;
  EXPECT_EQ(RePrintEMF("Spool Export Empty", pageFile(0).c_str()), 1);
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(PrinterExports, RePrintEMFToAnUnknownPrinterSaysCreateDC) {
  fbtest::MessageRecorder messages;
  EXPECT_EQ(RePrintEMF("No Such Printer", pageFile(1).c_str()), 0);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].caption, "CreateDC_DestDC");
}

TEST_F(PrinterExports, SetPrintJobInfoCanKeepButNotChangeTheOwner) {
  fbtest::TestPrinter printer("Spool Export Job");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, "Spool_Export_Job", "owned", 0, nullptr);
  ASSERT_GT(job, 0);
  fbtest::MessageRecorder messages;
  EXPECT_EQ(SetPrintJOBInfo("Spool Export Job", job, cupsUser(), 0), 1);
  EXPECT_TRUE(messages.messages().empty());

  EXPECT_EQ(SetPrintJOBInfo("Spool Export Job", job, "somebody-else", 0), 0);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].caption, "SetJob");

  messages.clear();
  EXPECT_EQ(SetPrintJOBInfo("Spool Export Job", 999999, cupsUser(), 0), 0);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].caption, "GetJob");
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Spool_Export_Job", job, 0);
}

TEST_F(PrinterExports, PauseAndResumeHoldAndReleaseTheJob) {
  fbtest::TestPrinter printer("Spool Export Pause");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, "Spool_Export_Pause", "paused", 0, nullptr);
  ASSERT_GT(job, 0);
  fbtest::MessageRecorder messages;
  EXPECT_EQ(SetPrintJobPause("Spool Export Pause", job), 1);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-hold-until"), "indefinite");
  EXPECT_EQ(SetPrintJobResume("Spool Export Pause", job), 1);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-hold-until"), "no-hold");
  EXPECT_EQ(SetPrintJobPause("No Such Printer", job), 0);
  EXPECT_EQ(SetPrintJobResume("Spool Export Pause", 999999), 0);
  EXPECT_TRUE(messages.messages().empty());
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Spool_Export_Pause", job, 0);
}

}  // namespace
