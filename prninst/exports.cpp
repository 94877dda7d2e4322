// The C boundary: argument checks, and no exception leaves the library.

#include <new>

#include "platform/system/LastError.h"
#include "prninst/Installer.h"
#include "prninst/prninst.h"

namespace {

template <typename Body>
int32_t guarded(Body body) noexcept {
  try {
    return body() ? 1 : 0;
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    platform::SetLastError(platform::ERROR_INVALID_FUNCTION);
  }
  return 0;
}

}  // namespace

extern "C" {

int32_t AddNewPrinter(const char* printerName, const char* /*portName*/, const char* driverName) {
  return guarded([&] { return prninst::addNewPrinter(printerName, driverName); });
}

int32_t AddNewPrinterDriver(void) {
  return guarded([] { return prninst::addNewPrinterDriver(); });
}

int32_t DeleteALLPrinter(void) {
  return guarded([] { return prninst::deleteAllPrinters(); });
}

}  // extern "C"
