#include "platform/system/LastError.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace platform {

namespace {
thread_local uint32_t t_lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() { return t_lastError; }

void SetLastError(uint32_t code) { t_lastError = code; }

uint32_t winErrorFromErrno(int e) {
  switch (e) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case ESPIPE: return ERROR_NEGATIVE_SEEK;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBUSY: return ERROR_BUSY;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case ECANCELED: return ERROR_CANCELLED;
    case ENOTSUP: return ERROR_NOT_SUPPORTED;
    case EILSEQ: return ERROR_NO_UNICODE_TRANSLATION;
    case EIO:
    default: return ERROR_IO_DEVICE;
  }
}

uint32_t setLastErrorFromErrno(int e) {
  const uint32_t code = winErrorFromErrno(e);
  SetLastError(code);
  return code;
}

uint32_t setLastErrorFromErrnoForPath(int e, const char* path) {
  if (e == ENOENT && path != nullptr) {
    std::string folder(path);
    const auto slash = folder.find_last_of('/');
    if (slash != std::string::npos) {
      folder.resize(slash == 0 ? 1 : slash);
      struct stat st {};
      if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return ERROR_PATH_NOT_FOUND;
      }
    }
  }
  return setLastErrorFromErrno(e);
}

}  // namespace platform
