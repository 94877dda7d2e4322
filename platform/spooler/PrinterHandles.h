#pragma once
// Printer handles: CUPS has no sessions, so a handle only names a queue.

#include <optional>
#include <string>

#include "platform/spooler/SpoolerApi.h"

namespace platform::spooler {

struct PrinterHandleInfo {
  std::string queue;
  std::string displayName;  // active code page
};

HANDLE openHandle(PrinterHandleInfo info);
// The printer of a live handle; nothing (ERROR_INVALID_HANDLE) for others.
std::optional<PrinterHandleInfo> handleInfo(HANDLE handle);
bool closeHandle(HANDLE handle);

}  // namespace platform::spooler
