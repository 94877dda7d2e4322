#pragma once
// Whole-file reads and atomic replacement for the small text files that hold
// settings (profile files, the registry store), and advisory locks between
// processes. Failures set the last error (LastError.h).

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Files larger than this are refused rather than read into memory: no
// settings file comes near it, and a damaged or foreign one must not exhaust
// the memory.
inline constexpr size_t kMaxSettingsFileSize = 64u << 20;

enum class ReadStatus {
  Read,     // `out` holds the file's bytes
  Missing,  // neither the file nor, perhaps, its folder exists
  Failed,   // it exists but cannot be read (or is too large, or a folder)
};

ReadStatus readWholeFile(const std::string& path, std::string& out);

// Replaces the file at `path` with `bytes` so that every reader sees either
// the old file or the new one, never a part: the bytes go to a temporary
// file in the same folder, which is flushed to the disk and renamed over the
// target. An existing file keeps its permission bits; a symbolic link is
// followed, so the file it points to is replaced. On failure the old file is
// untouched, the temporary file removed, and the last error set
// (ERROR_DISK_FULL, ERROR_FILE_TOO_LARGE, ERROR_ACCESS_DENIED, ...).
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

// `path` with a symbolic link at its end resolved; `path` itself otherwise.
std::string resolvedFilePath(const std::string& path);

// An flock held on an open file or folder until destruction. Locks taken
// through separate FileLocks exclude each other in one process too.
class FileLock {
 public:
  enum class Kind { Shared, Exclusive };

  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits for the lock on the file at `path`, created (mode 0666 less the
  // umask) when `create` is set and it is missing. Not held (false) with the
  // last error set on failure.
  static FileLock onFile(const std::string& path, Kind kind, bool create);
  // Waits for the lock on the folder itself; creates nothing in it.
  static FileLock onFolder(const std::string& path, Kind kind);

  bool held() const { return fd_ >= 0; }
  explicit operator bool() const { return held(); }

 private:
  static FileLock lockDescriptor(int fd, Kind kind);
  int fd_ = -1;
};

}  // namespace platform
