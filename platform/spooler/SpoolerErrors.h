#pragma once
// The one place where CUPS and IPP statuses become Windows error numbers.

#include <cstdint>

#include "platform/system/ErrorCodes.h"

namespace platform::spooler {

// Spooler errors the shared table lacks.
inline constexpr uint32_t ERROR_INVALID_LEVEL = 124;
inline constexpr uint32_t ERROR_UNKNOWN_PORT = 1796;
inline constexpr uint32_t RPC_S_SERVER_UNAVAILABLE = 1722;

// What a request was about: "not found" means an unknown printer for one
// and an unknown job for the other, as the Windows spooler tells them apart.
enum class Subject { Printer, Job, Driver };

// The Windows number for an IPP status (an ipp_status_t value); 0 for the
// successful ones.
uint32_t winErrorFromIpp(int ippStatus, Subject subject);

// Sets the last error from cupsLastError() and returns false, so that
// callers can `return failFromCups(...)`.
bool failFromCups(Subject subject);
// Sets the last error from `ippStatus` and returns false.
bool failFromIpp(int ippStatus, Subject subject);
// Sets `code` as the last error and returns false.
bool fail(uint32_t code);

}  // namespace platform::spooler
