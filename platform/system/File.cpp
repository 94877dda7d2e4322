#include "platform/system/File.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/system/LastError.h"

namespace platform {

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

File File::open(const std::string& path, FileMode mode) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return File();
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::OpenForRead: flags |= O_RDONLY; break;
    case FileMode::OpenForWrite: flags |= O_RDWR; break;
    // Not O_TRUNC: a file that another open holds must not be emptied
    // before the lock tells us it is taken.
    case FileMode::CreateAlways: flags |= O_RDWR | O_CREAT; break;
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    setLastErrorFromErrnoForPath(errno, path.c_str());
    return File();
  }
  File file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    setLastErrorFromErrno(errno);
    return File();
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return File();
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    SetLastError(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : winErrorFromErrno(errno));
    return File();
  }
  if (mode == FileMode::CreateAlways && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
    setLastErrorFromErrno(errno);
    return File();
  }
  return file;
}

int64_t File::read(void* buffer, size_t size) {
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, out + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      setLastErrorFromErrno(errno);
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool File::readExact(void* buffer, size_t size) {
  const int64_t n = read(buffer, size);
  if (n < 0) return false;
  if (static_cast<size_t>(n) != size) {
    SetLastError(ERROR_HANDLE_EOF);
    return false;
  }
  return true;
}

bool File::readAt(int64_t offset, void* buffer, size_t size) {
  if (offset < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  auto* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      setLastErrorFromErrno(errno);
      return false;
    }
    if (n == 0) {
      SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool File::write(const void* buffer, size_t size) {
  const auto* in = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, in + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      // Writing through a read-only open is a denied access on Windows.
      if (errno == EBADF && fd_ >= 0)
        SetLastError(ERROR_ACCESS_DENIED);
      else
        setLastErrorFromErrno(errno);
      return false;
    }
    if (n == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool File::seek(int64_t offset) {
  if (offset < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    setLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool File::seekToEnd() {
  if (::lseek(fd_, 0, SEEK_END) < 0) {
    setLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

int64_t File::position() const {
  const off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) setLastErrorFromErrno(errno);
  return at;
}

int64_t File::size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    setLastErrorFromErrno(errno);
    return -1;
  }
  return st.st_size;
}

bool File::close() {
  if (fd_ < 0) return true;
  const int fd = std::exchange(fd_, -1);
  // Closing releases the lock with the open file description.
  if (::close(fd) != 0 && errno != EINTR) {
    setLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

}  // namespace platform
