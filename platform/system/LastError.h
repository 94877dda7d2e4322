#pragma once
// The calling thread's last error, as GetLastError/SetLastError keep it.

#include <cstdint>

#include "platform/system/ErrorCodes.h"

namespace platform {

uint32_t GetLastError();
void SetLastError(uint32_t code);

// The Windows error number that stands for a POSIX errno value.
// ENOENT maps to ERROR_FILE_NOT_FOUND; callers that know the folder is
// missing use ERROR_PATH_NOT_FOUND instead (see lastErrorFromErrnoForPath).
uint32_t winErrorFromErrno(int errnoValue);

// Sets the last error from errno and returns it.
uint32_t setLastErrorFromErrno(int errnoValue);

// As setLastErrorFromErrno, but an ENOENT on `path` becomes
// ERROR_PATH_NOT_FOUND when the folder that should hold it does not exist,
// as Windows tells the two apart.
uint32_t setLastErrorFromErrnoForPath(int errnoValue, const char* path);

}  // namespace platform
