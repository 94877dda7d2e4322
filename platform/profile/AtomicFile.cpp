#include "platform/profile/AtomicFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <utility>

#include "platform/system/LastError.h"

namespace platform {

namespace {

// Closes a descriptor on every way out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// A temporary file beside `target`, created exclusively so that neither a
// leftover of a crashed writer nor a concurrent one is reused.
int createTemporary(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  const std::string base = folderOf(target) + "/." + nameOf(target) + ".tmp-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = base + std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

ReadStatus readWholeFile(const std::string& path, std::string& out) {
  out.clear();
  const int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (raw < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      setLastErrorFromErrnoForPath(errno, path.c_str());
      return ReadStatus::Missing;
    }
    setLastErrorFromErrno(errno);
    return ReadStatus::Failed;
  }
  Fd fd(raw);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    setLastErrorFromErrno(errno);
    return ReadStatus::Failed;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return ReadStatus::Failed;
  }
  if (st.st_size > static_cast<off_t>(kMaxSettingsFileSize)) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return ReadStatus::Failed;
  }
  // The size is only a hint: read to the end, within the cap.
  std::string bytes;
  bytes.reserve(static_cast<size_t>(st.st_size));
  char chunk[16384];
  while (true) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      setLastErrorFromErrno(errno);
      return ReadStatus::Failed;
    }
    if (n == 0) break;
    if (bytes.size() + static_cast<size_t>(n) > kMaxSettingsFileSize) {
      SetLastError(ERROR_FILE_TOO_LARGE);
      return ReadStatus::Failed;
    }
    bytes.append(chunk, static_cast<size_t>(n));
  }
  out = std::move(bytes);
  return ReadStatus::Read;
}

std::string resolvedFilePath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;  // a dangling link: replace the link itself
  std::string resolved(real);
  ::free(real);
  return resolved;
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const std::string target = resolvedFilePath(path);
  std::string tempPath;
  const int raw = createTemporary(target, tempPath);
  if (raw < 0) {
    setLastErrorFromErrnoForPath(errno, tempPath.c_str());
    return false;
  }
  Fd fd(raw);
  const auto fail = [&tempPath](int err) {
    ::unlink(tempPath.c_str());
    setLastErrorFromErrno(err);
    return false;
  };
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd.get(), old.st_mode & 07777) != 0)
    return fail(errno);
  if (!writeAll(fd.get(), bytes)) return fail(errno);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (::close(fd.release()) != 0 && errno != EINTR) return fail(errno);
  if (::rename(tempPath.c_str(), target.c_str()) != 0) return fail(errno);
  // The rename itself reaches the disk with the folder. The new file is in
  // place whatever this says, so a failure here is not reported.
  const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock FileLock::lockDescriptor(int raw, Kind kind) {
  Fd fd(raw);
  while (::flock(fd.get(), kind == Kind::Exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno == EINTR) continue;
    setLastErrorFromErrno(errno);
    return FileLock();
  }
  FileLock lock;
  lock.fd_ = fd.release();
  return lock;
}

FileLock FileLock::onFile(const std::string& path, Kind kind, bool create) {
  // flock does not care how the file was opened; read-only suffices and
  // works where the lock file cannot be written.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT && create) fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    setLastErrorFromErrnoForPath(errno, path.c_str());
    return FileLock();
  }
  return lockDescriptor(fd, kind);
}

FileLock FileLock::onFolder(const std::string& path, Kind kind) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    // A missing folder is a missing path, as Windows reports it.
    if (errno == ENOENT) {
      SetLastError(ERROR_PATH_NOT_FOUND);
    } else if (errno == ENOTDIR) {
      SetLastError(ERROR_DIRECTORY);
    } else {
      setLastErrorFromErrno(errno);
    }
    return FileLock();
  }
  return lockDescriptor(fd, kind);
}

}  // namespace platform
