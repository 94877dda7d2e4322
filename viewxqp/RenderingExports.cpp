// The exports that draw pages, answer questions about their geometry and
// convert page files to other formats.

#include "viewxqp/ExportConversions.h"
#include "viewxqp/ExportGuard.h"
#include "viewxqp/PageRendering.h"
#include "viewxqp/viewxqp.h"

using viewxqp::guarded;

extern "C" {

int32_t ViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                int32_t bottom, int32_t, int32_t, int32_t, int32_t) {
  return guarded<int32_t>(1, [&] { return viewxqp::viewXQP(hdc, fileName, pageNo, left, top, right, bottom); });
}

int32_t NewViewXQP(HDC hdc, const char* fileName, int32_t pageNo, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, int32_t drawImages) {
  return guarded<int32_t>(
      0, [&] { return viewxqp::newViewXQP(hdc, fileName, pageNo, left, top, right, bottom, drawImages); });
}

int32_t ViewFullXQPImage(HDC hdc, const char* fileName, int32_t pageNo, int32_t x, int32_t y) {
  return guarded<int32_t>(0, [&] { return viewxqp::viewFullXQPImage(hdc, fileName, pageNo, x, y); });
}

int32_t GetISFullPrint(HDC hdc, const char* fileName, int32_t pageNo) {
  return guarded<int32_t>(0, [&] { return viewxqp::getISFullPrint(hdc, fileName, pageNo); });
}

int32_t GetXQPPixels(const char* fileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::getXQPPixels(fileName); });
}

int32_t GetXQPImageWidth(const char* fileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::getXQPImageWidth(fileName); });
}

int32_t GetXQPImageHeight(const char* fileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::getXQPImageHeight(fileName); });
}

int32_t ConvertXQPToBMP(const char* fileName, const char* outFileName, int32_t) {
  return guarded<int32_t>(0, [&] { return viewxqp::convertXQPToBMP(fileName, outFileName); });
}

int32_t ConvertXQPToEMF(const char* fileName, const char* outFileName) {
  return guarded<int32_t>(1, [&] { return viewxqp::convertXQPToEMF(fileName, outFileName); });
}

int32_t ConvertXQPToTxt(const char* fileName, const char* outFileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::convertXQPToTxt(fileName, outFileName); });
}

}  // extern "C"
