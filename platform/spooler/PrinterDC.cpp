#include "platform/spooler/PrinterDC.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Surfaces.h"
#include "platform/spooler/DevModes.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace spooler;

namespace spooler {

namespace {

int toPixels(int hundredthsMm, int dpi) {
  return static_cast<int>((int64_t{hundredthsMm} * dpi + 1270) / 2540);
}

}  // namespace

gdi::DeviceDescription printerDescription(const PrinterSetup& setup) {
  int width = setup.width, length = setup.length;
  int left = setup.left, top = setup.top, right = setup.right, bottom = setup.bottom;
  if (setup.orientation == 4) {
    std::swap(width, length);
    const int l = left, t = top, r = right, b = bottom;
    left = b;
    top = l;
    right = t;
    bottom = r;
  }
  gdi::DeviceDescription d;
  d.technology = DT_RASPRINTER;
  d.dpiX = setup.dpiX;
  d.dpiY = setup.dpiY;
  d.bitsPerPixel = 24;
  d.physicalWidth = toPixels(width, setup.dpiX);
  d.physicalHeight = toPixels(length, setup.dpiY);
  d.physicalOffsetX = toPixels(left, setup.dpiX);
  d.physicalOffsetY = toPixels(top, setup.dpiY);
  d.width = d.physicalWidth - d.physicalOffsetX - toPixels(right, setup.dpiX);
  d.height = d.physicalHeight - d.physicalOffsetY - toPixels(bottom, setup.dpiY);
  d.widthMm = (width - left - right + 50) / 100;
  d.heightMm = (length - top - bottom + 50) / 100;
  return d;
}

}  // namespace spooler

namespace {

constexpr int SP_ERROR = -1;

// Stands in for the paper outside a document: describes the device and
// keeps nothing drawn on it.
class IdleSurface final : public gdi::Surface {
 public:
  explicit IdleSurface(const gdi::DeviceDescription& d) : description_(d) {}
  const gdi::DeviceDescription& description() const override { return description_; }
  void fillPath(const QPainterPath&, const gdi::Paint&, const gdi::DeviceClip&) override {}
  void fillRegion(const QRegion&, const gdi::Paint&, const gdi::DeviceClip&) override {}
  void strokeCosmetic(const QPainterPath&, const QPen&, int, const gdi::DeviceClip&) override {}
  void drawImage(const QImage&, const QTransform&, bool, const gdi::DeviceClip&) override {}
  void drawText(const gdi::TextRun&, const gdi::DeviceClip&) override {}
  QImage readPixels(const QRect& rect) const override {
    const QRect r = rect.intersected(QRect(0, 0, description_.width, description_.height));
    QImage image(r.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
  }
  void writePixels(const QImage&, const QPoint&, const gdi::DeviceClip&) override {}

 private:
  gdi::DeviceDescription description_;
};

// The document of one printer context, from StartDoc to EndDoc.
class PrinterJob {
 public:
  PrinterJob(std::string queue, const PrinterSetup& setup)
      : queue_(std::move(queue)), setup_(setup), description_(printerDescription(setup)),
        idle_(std::make_shared<IdleSurface>(description_)) {}
  // The context is being destroyed: its surface is not to be touched.
  ~PrinterJob() {
    dc_ = nullptr;
    discard(true);
  }
  PrinterJob(const PrinterJob&) = delete;
  PrinterJob& operator=(const PrinterJob&) = delete;

  const std::shared_ptr<gdi::Surface>& idle() const { return idle_; }

  int startDoc(gdi::DeviceContext& dc, const DOCINFOA* info) {
    if (inDoc_) return failed(ERROR_INVALID_PARAMETER);
    docName_ = info != nullptr && info->lpszDocName != nullptr ? ansiToUtf8(info->lpszDocName) : "";
    outputFile_ = info != nullptr && info->lpszOutput != nullptr ? info->lpszOutput : "";
    std::string pattern = (std::filesystem::temp_directory_path() / "fb-print-XXXXXX.pdf").string();
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) return failed(setLastErrorFromErrno(errno));
    ::close(fd);
    pdfPath_ = pattern;
    const bool landscape = setup_.orientation == 4;
    const double paperW = (landscape ? setup_.length : setup_.width) / 100.0;
    const double paperH = (landscape ? setup_.width : setup_.length) / 100.0;
    pdf_ = gdi::makePdfSurface(pdfPath_, description_, paperW, paperH);
    if (!pdf_) {
      discard(false);
      return failed(ERROR_INVALID_FUNCTION);
    }
    jobId_ = 0;
    if (outputFile_.empty()) {
      cups_option_t* options = nullptr;
      int count = 0;
      count = cupsAddOption("media", setup_.media.c_str(), count, &options);
      count = cupsAddOption("orientation-requested", std::to_string(setup_.orientation).c_str(), count, &options);
      count = cupsAddOption("copies", std::to_string(setup_.copies).c_str(), count, &options);
      jobId_ = cupsCreateJob(CUPS_HTTP_DEFAULT, queue_.c_str(), docName_.c_str(), count, options);
      cupsFreeOptions(count, options);
      if (jobId_ <= 0) {
        failFromCups(Subject::Printer);
        const uint32_t error = GetLastError();
        jobId_ = 0;
        discard(false);
        return failed(error);
      }
    }
    dc_ = &dc;
    dc.setSurface(pdf_);
    inDoc_ = true;
    pages_ = 0;
    // Printing to a file makes no spooler job; its documents count as job 1.
    return jobId_ > 0 ? jobId_ : 1;
  }

  int startPage() {
    if (!inDoc_ || inPage_) return failed(ERROR_INVALID_PARAMETER);
    if (!pdf_->startPage()) return failed(ERROR_WRITE_FAULT);
    inPage_ = true;
    ++pages_;
    return 1;
  }

  int endPage() {
    if (!inDoc_ || !inPage_) return failed(ERROR_INVALID_PARAMETER);
    inPage_ = false;
    if (!pdf_->endPage()) return failed(ERROR_WRITE_FAULT);
    return 1;
  }

  int endDoc() {
    if (!inDoc_) return failed(ERROR_INVALID_PARAMETER);
    if (inPage_) {
      inPage_ = false;
      pdf_->endPage();
    }
    if (!pdf_->finish()) {
      discard(true);
      return failed(ERROR_WRITE_FAULT);
    }
    bool ok = true;
    if (!outputFile_.empty()) {
      std::error_code ec;
      std::filesystem::copy_file(pdfPath_, outputFile_, std::filesystem::copy_options::overwrite_existing, ec);
      if (ec) ok = !setLastErrorFromErrnoForPath(ec.value(), outputFile_.c_str());
    } else if (pages_ == 0) {
      // CUPS has no job without a document: an empty document prints
      // nothing, and its job is withdrawn.
      cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.c_str(), jobId_, 0);
    } else {
      ok = submit();
    }
    const uint32_t error = GetLastError();
    discard(!ok);
    if (!ok) return failed(error);
    return 1;
  }

  int abortDoc() {
    if (!inDoc_) return failed(ERROR_INVALID_PARAMETER);
    discard(true);
    return 1;
  }

 private:
  int failed(uint32_t error) {
    SetLastError(error);
    return SP_ERROR;
  }

  bool submit() {
    std::FILE* file = std::fopen(pdfPath_.c_str(), "rb");
    if (file == nullptr) return !setLastErrorFromErrno(errno);
    http_status_t status =
        cupsStartDocument(CUPS_HTTP_DEFAULT, queue_.c_str(), jobId_, docName_.c_str(), CUPS_FORMAT_PDF, 1);
    char chunk[64 * 1024];
    size_t n = 0;
    while (status == HTTP_STATUS_CONTINUE && (n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      status = cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk, n);
    std::fclose(file);
    const ipp_status_t result = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue_.c_str());
    if (status != HTTP_STATUS_CONTINUE && result < IPP_STATUS_REDIRECTION_OTHER_SITE)
      return failFromIpp(IPP_STATUS_ERROR_INTERNAL, Subject::Printer);
    if (result >= IPP_STATUS_REDIRECTION_OTHER_SITE) return failFromIpp(result, Subject::Printer);
    jobId_ = 0;  // sent: nothing to cancel any more
    return true;
  }

  // Drops the document; `cancel` withdraws its job from the queue too.
  void discard(bool cancel) {
    if (cancel && jobId_ > 0) {
      const uint32_t saved = GetLastError();
      cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.c_str(), jobId_, 0);
      SetLastError(saved);
    }
    jobId_ = 0;
    if (dc_ != nullptr) dc_->setSurface(idle_);
    dc_ = nullptr;
    pdf_.reset();
    if (!pdfPath_.empty()) std::remove(pdfPath_.c_str());
    pdfPath_.clear();
    inDoc_ = inPage_ = false;
  }

  std::string queue_;
  PrinterSetup setup_;
  gdi::DeviceDescription description_;
  std::shared_ptr<gdi::Surface> idle_, pdf_;
  gdi::DeviceContext* dc_ = nullptr;
  std::string docName_, outputFile_, pdfPath_;
  int jobId_ = 0;
  int pages_ = 0;
  bool inDoc_ = false, inPage_ = false;
};

// The job of a printer context; null (ERROR_INVALID_HANDLE) for others.
// Only this file puts jobs into contexts, and only PrinterJobs.
PrinterJob* jobOf(HDC hdc, gdi::DeviceContext** dc = nullptr) {
  gdi::DeviceContext* context = gdi::dcFromHandle(hdc);
  if (context == nullptr || !context->job) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (dc != nullptr) *dc = context;
  return static_cast<PrinterJob*>(context->job.get());
}

}  // namespace

HDC CreateDCA(const char* /*driver*/, const char* device, const char* /*output*/, const DEVMODEA* devMode) {
  const auto facts = findPrinter(device);
  if (!facts) return nullptr;
  DefaultsChange overrides;
  if (devMode != nullptr) overrides = changeFrom(*devMode);
  const auto setup = currentSetup(facts->queue, &overrides);
  if (!setup) return nullptr;
  auto job = std::make_shared<PrinterJob>(facts->queue, *setup);
  HDC hdc = CreateSurfaceDC(job->idle());
  gdi::DeviceContext* dc = gdi::dcFromHandle(hdc);
  if (dc == nullptr) return nullptr;
  dc->job = std::move(job);
  return hdc;
}

int StartDocA(HDC hdc, const DOCINFOA* info) {
  gdi::DeviceContext* dc = nullptr;
  PrinterJob* job = jobOf(hdc, &dc);
  return job != nullptr ? job->startDoc(*dc, info) : SP_ERROR;
}

int StartPage(HDC hdc) {
  PrinterJob* job = jobOf(hdc);
  return job != nullptr ? job->startPage() : SP_ERROR;
}

int EndPage(HDC hdc) {
  PrinterJob* job = jobOf(hdc);
  return job != nullptr ? job->endPage() : SP_ERROR;
}

int EndDoc(HDC hdc) {
  PrinterJob* job = jobOf(hdc);
  return job != nullptr ? job->endDoc() : SP_ERROR;
}

int AbortDoc(HDC hdc) {
  PrinterJob* job = jobOf(hdc);
  return job != nullptr ? job->abortDoc() : SP_ERROR;
}

}  // namespace platform
