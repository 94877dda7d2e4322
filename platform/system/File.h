#pragma once
// Files opened for exclusive access, as CreateFile with no sharing opens
// them: while one File holds a path, every other open of it, in this process
// or another, fails with ERROR_SHARING_VIOLATION. Failures set the last error
// (LastError.h) to the Windows number of what went wrong.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class FileMode {
  OpenForRead,   // the file must exist; read only
  OpenForWrite,  // the file must exist; read and write
  CreateAlways,  // created, or emptied when it exists; read and write
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An open File, or a closed one (isOpen() false) with the last error set.
  static File open(const std::string& path, FileMode mode);

  bool isOpen() const { return fd_ >= 0; }
  explicit operator bool() const { return isOpen(); }

  // Reads up to `size` bytes at the current position; returns the number
  // read (fewer only at the end of the file), or -1 on error.
  int64_t read(void* buffer, size_t size);
  // Reads exactly `size` bytes; false on error or at the end of the file
  // (then the last error is ERROR_HANDLE_EOF).
  bool readExact(void* buffer, size_t size);
  // Reads exactly `size` bytes at `offset` without moving the position.
  bool readAt(int64_t offset, void* buffer, size_t size);
  // Writes all `size` bytes or fails (ERROR_DISK_FULL when the disk is full).
  bool write(const void* buffer, size_t size);

  // Moves to an absolute position (may lie past the end); false on error.
  bool seek(int64_t offset);
  bool seekToEnd();
  // The current position, or -1 on error.
  int64_t position() const;
  // The file's length in bytes, or -1 on error.
  int64_t size() const;

  // Closes the file; false when the close reports an error (data not written).
  bool close();

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform
