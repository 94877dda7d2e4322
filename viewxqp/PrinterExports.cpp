// The printer exports: device contexts prepared for pages, a printer's
// default settings, reprinting a page file, and spooler job control.

#include "viewxqp/PrinterExports.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "platform/gdi/DcApi.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "platform/system/MessageBox.h"
#include "viewxqp/ErrorBox.h"
#include "viewxqp/ExportGuard.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/PageRendering.h"
#include "viewxqp/viewxqp.h"

namespace viewxqp {

namespace {

constexpr platform::XFORM kIdentity{1, 0, 0, 1, 0, 0};
// (x, y) -> (-y, x): the page's x axis runs down the sheet.
constexpr platform::XFORM kQuarterTurn{0, 1, -1, 0, 0, 0};

void showLastError(const char* caption) { ShowSystemError(platform::GetLastError(), caption); }

// A zeroed buffer of `size` bytes, or null when there is no memory for it.
std::unique_ptr<uint8_t[]> allocate(uint32_t size) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
  if (buffer) std::fill_n(buffer.get(), size, uint8_t{0});
  return buffer;
}

// Holds a printer handle for the length of one export.
class OpenedPrinter {
 public:
  explicit OpenedPrinter(const char* name) { opened_ = platform::OpenPrinterA(name, &handle_, nullptr); }
  ~OpenedPrinter() {
    if (opened_) platform::ClosePrinter(handle_);
  }
  OpenedPrinter(const OpenedPrinter&) = delete;
  OpenedPrinter& operator=(const OpenedPrinter&) = delete;
  bool opened() const { return opened_; }
  platform::HANDLE handle() const { return handle_; }

 private:
  platform::HANDLE handle_ = nullptr;
  bool opened_ = false;
};

// Ends a document that cannot be finished: EndDoc, or AbortDoc when even
// that fails.
void endBrokenDocument(HDC hdc) {
  if (platform::EndDoc(hdc) <= 0) platform::AbortDoc(hdc);
}

}  // namespace

int32_t rotatedShift(int32_t rotateExtent, int32_t windowExtent, int32_t viewportExtent) {
  if (windowExtent == 0) return 0;
  const double shift = std::trunc(static_cast<double>(rotateExtent) * viewportExtent / windowExtent);
  if (!(shift >= std::numeric_limits<int32_t>::min() && shift <= std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<int32_t>(shift);
}

int32_t setNewDC(HDC hdc, int32_t sourceDpi, int32_t skipPlacement, int32_t doPlacement, int32_t rotation,
                 int32_t rotateExtent, int32_t setScale) {
  const int dpi = platform::GetDeviceCaps(hdc, platform::LOGPIXELSX);
  const int offx = platform::GetDeviceCaps(hdc, platform::PHYSICALOFFSETX);
  const int offy = platform::GetDeviceCaps(hdc, platform::PHYSICALOFFSETY);
  const Extents ext = sourceToDeviceExtents(sourceDpi, dpi);
  if (setScale != 0) {
    platform::SetMapMode(hdc, platform::MM_ANISOTROPIC);
    platform::SetWindowExtEx(hdc, ext.window, ext.window, nullptr);
    platform::SetViewportExtEx(hdc, ext.viewport, ext.viewport, nullptr);
    platform::SetGraphicsMode(hdc, platform::GM_ADVANCED);
    platform::SetWorldTransform(hdc, &kIdentity);
  }
  if (skipPlacement != 0 || doPlacement == 0) return 1;
  const int32_t shift = rotatedShift(rotateExtent, ext.window, ext.viewport);
  switch (rotation) {
    case -1:
      platform::SetViewportOrgEx(hdc, 0, 0, nullptr);
      platform::SetGraphicsMode(hdc, platform::GM_ADVANCED);
      platform::SetWorldTransform(hdc, &kIdentity);
      break;
    case 0:
      platform::SetViewportOrgEx(hdc, -offx, -offy, nullptr);
      break;
    case 1:
      platform::SetViewportOrgEx(hdc, shift - offx, -offy, nullptr);
      platform::SetGraphicsMode(hdc, platform::GM_ADVANCED);
      platform::SetWorldTransform(hdc, &kQuarterTurn);
      break;
    case 2:
      // Landscape paper: the two offsets change places.
      platform::SetViewportOrgEx(hdc, shift - offy, -offx, nullptr);
      platform::SetGraphicsMode(hdc, platform::GM_ADVANCED);
      if (!platform::SetWorldTransform(hdc, &kQuarterTurn)) ShowNotice("SetWorldTransForm_Error");
      break;
    default:
      break;
  }
  return 1;
}

int32_t setOldDC(HDC hdc) {
  platform::SetGraphicsMode(hdc, platform::GM_ADVANCED);
  return platform::SetWorldTransform(hdc, &kIdentity) ? 1 : 0;
}

int32_t setPrinterInfo(const char* printerName, int32_t orientation, int32_t paperSize, int32_t copies) {
  OpenedPrinter printer(printerName);
  if (!printer.opened()) {
    showLastError("OpenPrinter");
    return 0;
  }
  uint32_t needed = 0;
  if (!platform::GetPrinterA(printer.handle(), 2, nullptr, 0, &needed) &&
      platform::GetLastError() != platform::ERROR_INSUFFICIENT_BUFFER) {
    showLastError("GetPrinter");
    return 0;
  }
  if (needed == 0) return 0;
  std::unique_ptr<uint8_t[]> buffer = allocate(needed);
  if (!buffer) return 0;
  if (!platform::GetPrinterA(printer.handle(), 2, buffer.get(), needed, &needed)) {
    showLastError("GetPrinter_AFTER");
    return 0;
  }
  auto* info = reinterpret_cast<platform::PRINTER_INFO_2A*>(buffer.get());
  platform::DEVMODEA attached{};
  if (info->pDevMode == nullptr) {
    attached.dmSize = sizeof attached;
    info->pDevMode = &attached;
  }
  // Each value goes into its 16-bit field as it comes; dmFields stays.
  info->pDevMode->dmCopies = static_cast<int16_t>(copies);
  info->pDevMode->dmOrientation = static_cast<int16_t>(orientation);
  info->pDevMode->dmPaperSize = static_cast<int16_t>(paperSize);
  // A printer that refuses the change (no rights) still counts as done.
  platform::SetPrinterA(printer.handle(), 2, buffer.get(), 0);
  return 1;
}

int32_t rePrintEMF(const char* printerName, const char* fileName) {
  HDC hdc = platform::CreateDCA(nullptr, printerName, nullptr, nullptr);
  if (hdc == nullptr) {
    showLastError("CreateDC_DestDC");
    return 0;
  }
  struct DeleteOnExit {
    HDC hdc;
    ~DeleteOnExit() { platform::DeleteDC(hdc); }
  } owner{hdc};

  platform::DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "DDD";
  if (platform::StartDocA(hdc, &doc) <= 0) {
    showLastError("StartDoc");
    return 0;
  }
  const int32_t pages = CountPages(fileName);
  for (int32_t page = 1; page <= pages; ++page) {
    if (platform::StartPage(hdc) <= 0) {
      showLastError("StartPage");
      endBrokenDocument(hdc);
      return 0;
    }
    const int dpi = platform::GetDeviceCaps(hdc, platform::LOGPIXELSX);
    const int offx = platform::GetDeviceCaps(hdc, platform::PHYSICALOFFSETX);
    const int offy = platform::GetDeviceCaps(hdc, platform::PHYSICALOFFSETY);
    const Extents ext = sourceToDeviceExtents(getXQPPixels(fileName), dpi);
    platform::SetMapMode(hdc, platform::MM_TEXT);
    platform::SetMapMode(hdc, platform::MM_ANISOTROPIC);
    platform::SetWindowExtEx(hdc, ext.window, ext.window, nullptr);
    platform::SetViewportExtEx(hdc, ext.viewport, ext.viewport, nullptr);
    // The page's top-left corner lands on the paper's physical corner.
    platform::SetViewportOrgEx(hdc, -offx, -offy, nullptr);
    if (viewFullXQPImage(hdc, fileName, page, 0, 0) == 0) {
      platform::MessageBoxA(nullptr, "ReprintEMF FAILED!", "PRINTEMFIMAGE", platform::MB_OK);
      endBrokenDocument(hdc);
      return 0;
    }
    if (platform::EndPage(hdc) <= 0) {
      showLastError("EndPage");
      endBrokenDocument(hdc);
      return 0;
    }
    platform::SetViewportExtEx(hdc, 1, 1, nullptr);
    platform::SetWindowExtEx(hdc, 1, 1, nullptr);
    platform::SetViewportOrgEx(hdc, 0, 0, nullptr);
  }
  if (platform::EndDoc(hdc) <= 0) {
    showLastError("EndDoc");
    platform::AbortDoc(hdc);
  }
  return 1;
}

int32_t setPrintJobInfo(const char* printerName, int32_t jobId, const char* userName) {
  // A printer that cannot be opened shows as the job query's failure.
  OpenedPrinter printer(printerName);
  const auto id = static_cast<uint32_t>(jobId);
  uint32_t needed = 0;
  if (!platform::GetJobA(printer.handle(), id, 2, nullptr, 0, &needed) &&
      platform::GetLastError() != platform::ERROR_INSUFFICIENT_BUFFER) {
    showLastError("GetJob");
    return 0;
  }
  if (needed == 0) return 0;
  std::unique_ptr<uint8_t[]> buffer = allocate(needed);
  if (!buffer || !platform::GetJobA(printer.handle(), id, 2, buffer.get(), needed, &needed)) {
    if (buffer) showLastError("GetJob");
    return 0;
  }
  auto* info = reinterpret_cast<platform::JOB_INFO_2A*>(buffer.get());
  info->pUserName = const_cast<char*>(userName);
  info->Position = platform::JOB_POSITION_UNSPECIFIED;
  if (!platform::SetJobA(printer.handle(), id, 2, buffer.get(), 0)) {
    showLastError("SetJob");
    return 0;
  }
  return 1;
}

int32_t controlPrintJob(const char* printerName, int32_t jobId, uint32_t command) {
  OpenedPrinter printer(printerName);
  return platform::SetJobA(printer.handle(), static_cast<uint32_t>(jobId), 0, nullptr, command) ? 1 : 0;
}

}  // namespace viewxqp

using viewxqp::guarded;

extern "C" {

VIEWXQP_API int32_t SetNewDC(HDC hdc, int32_t sourceDpi, int32_t skipPlacement, int32_t doPlacement, int32_t rotation,
                             int32_t /*reserved*/, int32_t rotateExtent, int32_t setScale) {
  return guarded<int32_t>(1, [&] {
    return viewxqp::setNewDC(hdc, sourceDpi, skipPlacement, doPlacement, rotation, rotateExtent, setScale);
  });
}

VIEWXQP_API int32_t SetOldDC(HDC hdc) {
  return guarded<int32_t>(0, [&] { return viewxqp::setOldDC(hdc); });
}

VIEWXQP_API int32_t GetDCWidth(HDC hdc) {
  return guarded<int32_t>(0, [&] { return platform::GetDeviceCaps(hdc, platform::HORZRES); });
}

VIEWXQP_API int32_t GetDCHeight(HDC hdc) {
  return guarded<int32_t>(0, [&] { return platform::GetDeviceCaps(hdc, platform::VERTRES); });
}

VIEWXQP_API int32_t SetPrinterInfo(const char* printerName, int32_t orientation, int32_t paperSize, int32_t copies) {
  return guarded<int32_t>(0, [&] { return viewxqp::setPrinterInfo(printerName, orientation, paperSize, copies); });
}

VIEWXQP_API int32_t RePrintEMF(const char* printerName, const char* fileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::rePrintEMF(printerName, fileName); });
}

VIEWXQP_API int32_t SetPrintJOBInfo(const char* printerName, int32_t jobId, const char* userName,
                                    int32_t /*reserved*/) {
  return guarded<int32_t>(0, [&] { return viewxqp::setPrintJobInfo(printerName, jobId, userName); });
}

VIEWXQP_API int32_t SetPrintJobPause(const char* printerName, int32_t jobId) {
  return guarded<int32_t>(0, [&] { return viewxqp::controlPrintJob(printerName, jobId, platform::JOB_CONTROL_PAUSE); });
}

VIEWXQP_API int32_t SetPrintJobResume(const char* printerName, int32_t jobId) {
  return guarded<int32_t>(0,
                          [&] { return viewxqp::controlPrintJob(printerName, jobId, platform::JOB_CONTROL_RESUME); });
}

}  // extern "C"
