#include "viewxqp/PageRendering.h"

#include <cmath>
#include <cstdlib>

#include "platform/emf/EnhMetaFile.h"
#include "platform/emf/PlayerApi.h"
#include "platform/gdi/DcApi.h"
#include "platform/system/LastError.h"
#include "viewxqp/ErrorBox.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/PageGeometry.h"
#include "viewxqp/PagePlayer.h"

namespace viewxqp {

namespace {

// Deletes a page after drawing; a deletion that fails is reported, as it
// means a handle went astray.
void deleteDrawnPage(HENHMETAFILE page) {
  if (!platform::DeleteEnhMetaFile(page)) ShowSystemError(platform::GetLastError(), "DeleteEnhMetaFile");
}

int32_t absSaturated(int32_t value) { return value == INT32_MIN ? INT32_MAX : std::abs(value); }

bool pageHeader(HENHMETAFILE page, platform::ENHMETAHEADER& header) {
  header = {};
  return platform::GetEnhMetaFileHeader(page, sizeof header, &header) != 0;
}

// Page 1's header, for the size queries.
bool firstPageHeader(const char* fileName, platform::ENHMETAHEADER& header) {
  HENHMETAFILE page = LoadPage(fileName, 1);
  if (page == nullptr) return false;
  const bool read = pageHeader(page, header);
  platform::DeleteEnhMetaFile(page);
  return read;
}

}  // namespace

Extents sourceToDeviceExtents(int32_t sourceDpi, int32_t deviceDpi) {
  const int64_t source = int64_t(sourceDpi) * 100, device = int64_t(deviceDpi) * 100;
  const int64_t g = greatestCommonDivisor(source, device);
  if (g == 0) return {};
  return {static_cast<int32_t>(source / g), static_cast<int32_t>(device / g)};
}

int32_t viewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                int32_t bottom) {
  HENHMETAFILE page = LoadPage(fileName, pageNo);
  if (page == nullptr) return 1;
  const platform::RECT rect{left, top, right, bottom};
  platform::PlayEnhMetaFile(hdc, page, &rect);
  platform::DeleteEnhMetaFile(page);
  return 1;
}

int32_t newViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, int32_t drawImages) {
  HENHMETAFILE page = LoadPage(fileName, pageNo);
  if (page == nullptr) return 0;
  PagePlayer player;
  player.EnumeratePage(hdc, page, {left, top, right, bottom}, drawImages != 0);
  deleteDrawnPage(page);
  return 1;
}

int32_t viewFullXQPImage(HDC hdc, const char* fileName, int32_t pageNo, int32_t x, int32_t y) {
  HENHMETAFILE page = LoadPage(fileName, pageNo);
  if (page == nullptr) return 0;
  platform::ENHMETAHEADER header;
  pageHeader(page, header);
  const int32_t width = absSaturated(pageWidthPixels(header));
  const int32_t height = absSaturated(pageHeightPixels(header));
  // Positions near the end of the 32-bit range saturate instead of wrapping.
  auto add = [](int32_t a, int32_t b) {
    const int64_t sum = int64_t(a) + b;
    return static_cast<int32_t>(sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : sum);
  };
  PagePlayer player;
  player.EnumeratePage(hdc, page, {x, y, add(x, width), add(y, height)}, true);
  deleteDrawnPage(page);
  return 1;
}

int32_t getISFullPrint(HDC hdc, const char* fileName, int32_t pageNo) {
  HENHMETAFILE page = LoadPage(fileName, pageNo);
  if (page == nullptr) return 0;
  platform::ENHMETAHEADER header;
  pageHeader(page, header);
  platform::DeleteEnhMetaFile(page);

  const int horzRes = platform::GetDeviceCaps(hdc, platform::HORZRES);
  const int vertRes = platform::GetDeviceCaps(hdc, platform::VERTRES);
  const int dpi = platform::GetDeviceCaps(hdc, platform::LOGPIXELSX);
  const Extents extents = sourceToDeviceExtents(pageResolution(header), dpi);

  bool fits = false;
  // A page or device without a resolution has no scale and so no fit.
  if (extents.window != 0 && extents.viewport != 0) {
    const float scale = float(extents.window) / float(extents.viewport);
    const bool fitsAcross = double(horzRes) * double(scale) >= double(header.rclBounds.right);
    const bool fitsDown = double(header.rclBounds.bottom) <= double(float(double(vertRes) * double(scale)));
    fits = fitsAcross && fitsDown;
  }
  platform::SetMapMode(hdc, platform::MM_ANISOTROPIC);
  if (fits) {
    platform::SetWindowExtEx(hdc, extents.window, extents.window, nullptr);
    platform::SetViewportExtEx(hdc, extents.viewport, extents.viewport, nullptr);
    return 1;
  }
  platform::SetWindowExtEx(hdc, 1, 1, nullptr);
  platform::SetViewportExtEx(hdc, 1, 1, nullptr);
  return 0;
}

int32_t getXQPPixels(const char* fileName) {
  platform::ENHMETAHEADER header;
  return firstPageHeader(fileName, header) ? pageResolution(header) : 0;
}

int32_t getXQPImageWidth(const char* fileName) {
  platform::ENHMETAHEADER header;
  return firstPageHeader(fileName, header) ? pageWidthPixels(header) : 0;
}

int32_t getXQPImageHeight(const char* fileName) {
  platform::ENHMETAHEADER header;
  return firstPageHeader(fileName, header) ? pageHeightPixels(header) : 0;
}

}  // namespace viewxqp
