#pragma once
// What both fuzz targets share: a scratch folder made once per process, the
// input written to a fixed path in it, and checks that abort so libFuzzer
// records the input as a crash.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace fbfuzz {

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

inline uint32_t u32At(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One folder per process under $TMPDIR (the runner points that into the
// build tree), removed again at a normal exit. A crash leaves it behind,
// which is harmless: it holds only the last input.
class ScratchDir {
 public:
  explicit ScratchDir(const char* prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::fprintf(stderr, "cannot make a scratch folder %s: %s\n", pattern.c_str(), std::strerror(errno));
      std::exit(2);
    }
    path_ = pattern;
  }

  std::string file(const char* name) const { return path_ + "/" + name; }

  // Removes the named files and the folder; for an atexit handler.
  void remove(std::initializer_list<const char*> names) const {
    for (const char* name : names) ::unlink(file(name).c_str());
    ::rmdir(path_.c_str());
  }

 private:
  std::string path_;
};

// Replaces the file's contents with the input. It is overwritten in place
// and then cut to length, never truncated to zero first: ext4 flushes a file
// emptied that way when it is closed, which made every run wait for the
// disk. A failure here is the harness's, not the library's, so it ends the
// run without a crash report.
inline void writeInput(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  if (ok && ::ftruncate(fd, static_cast<off_t>(size)) != 0) ok = false;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "cannot write the input to %s: %s\n", path.c_str(), std::strerror(errno));
    std::exit(2);
  }
}

// The whole file, or false when it cannot be read.
inline bool readWhole(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return n == 0;
    }
    out.insert(out.end(), buffer, buffer + n);
  }
}

}  // namespace fbfuzz
