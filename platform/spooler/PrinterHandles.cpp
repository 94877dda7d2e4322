#include "platform/spooler/PrinterHandles.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/spooler/SpoolerErrors.h"
#include "platform/system/ErrorCodes.h"

namespace platform::spooler {

namespace {

// Handle values are counters, never addresses, so a stale handle cannot
// reach freed memory.
std::mutex mutex;
std::map<uintptr_t, PrinterHandleInfo> handles;
uintptr_t nextHandle = 0x5000;

}  // namespace

HANDLE openHandle(PrinterHandleInfo info) {
  std::lock_guard lock(mutex);
  nextHandle += 4;
  handles.emplace(nextHandle, std::move(info));
  return reinterpret_cast<HANDLE>(nextHandle);
}

std::optional<PrinterHandleInfo> handleInfo(HANDLE handle) {
  std::lock_guard lock(mutex);
  const auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles.end()) {
    fail(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  return it->second;
}

bool closeHandle(HANDLE handle) {
  std::lock_guard lock(mutex);
  if (handles.erase(reinterpret_cast<uintptr_t>(handle)) == 0) return fail(ERROR_INVALID_HANDLE);
  return true;
}

}  // namespace platform::spooler
