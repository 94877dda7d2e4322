// The exports that read page files and the one that builds them.

#include <cstdlib>
#include <cstring>

#include "viewxqp/ExportGuard.h"
#include "viewxqp/PageFileReader.h"
#include "viewxqp/SpoolConversion.h"
#include "viewxqp/viewxqp.h"

using viewxqp::guarded;

extern "C" {

int32_t GetXQPFilePageNo(const char* fileName) {
  return guarded<int32_t>(0, [&] { return viewxqp::CountPages(fileName); });
}

HENHMETAFILE GetXQPEMFHandle(const char* fileName, int32_t pageNo) {
  return guarded<HENHMETAFILE>(nullptr, [&] { return viewxqp::LoadPage(fileName, pageNo); });
}

char* GetXQPDocName(const char* fileName) {
  return guarded<char*>(nullptr, [&]() -> char* {
    const auto trailer = viewxqp::ReadTrailer(fileName);
    if (!trailer) return nullptr;
    const std::string name = trailer->docNameText();
    auto* copy = static_cast<char*>(std::malloc(name.size() + 1));
    if (copy == nullptr) {
      platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    std::memcpy(copy, name.c_str(), name.size() + 1);
    return copy;
  });
}

int32_t GetPaperSize(const char* fileName) {
  return guarded<int32_t>(0, [&] {
    const auto trailer = viewxqp::ReadTrailer(fileName);
    return trailer ? trailer->paperSize : 0;
  });
}

int32_t GetOrientation(const char* fileName) {
  return guarded<int32_t>(0, [&] {
    const auto trailer = viewxqp::ReadTrailer(fileName);
    return trailer ? trailer->orientation : 0;
  });
}

int32_t BuildXQPFile(const char* spoolFileName, const char* docName, int32_t orientation, int32_t paperSize) {
  return guarded<int32_t>(0, [&] { return viewxqp::buildXQPFile(spoolFileName, docName, orientation, paperSize); });
}

}  // extern "C"
