#include "platform/system/File.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/system/LastError.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;

constexpr FileMode kModes[] = {FileMode::OpenForRead, FileMode::OpenForWrite, FileMode::CreateAlways};

const char* modeName(FileMode mode) {
  switch (mode) {
    case FileMode::OpenForRead: return "OpenForRead";
    case FileMode::OpenForWrite: return "OpenForWrite";
    case FileMode::CreateAlways: return "CreateAlways";
  }
  return "?";
}

using fbtest::inChild;

class FileTest : public ::testing::Test {
 protected:
  // A file holding `content`, at `name` in the test's folder.
  std::string makeFile(const std::string& name, const std::string& content) {
    const std::string path = dir_.file(name);
    fbtest::writeFile(path, std::vector<uint8_t>(content.begin(), content.end()));
    return path;
  }
  std::string contentOf(const std::string& path) {
    const auto bytes = fbtest::readFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  fbtest::TempDir dir_;
};

TEST_F(FileTest, SecondOpenIsRefusedWhileTheFirstHoldsThePath) {
  const std::string path = makeFile("held.xqp", "0123456789");
  for (const FileMode first : kModes) {
    for (const FileMode second : kModes) {
      SCOPED_TRACE(std::string(modeName(first)) + " then " + modeName(second));
      File holder = File::open(path, first);
      ASSERT_TRUE(holder) << GetLastError();
      SetLastError(0);
      File other = File::open(path, second);
      EXPECT_FALSE(other);
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
      ASSERT_TRUE(holder.close());
      EXPECT_TRUE(File::open(path, second)) << "still refused after the holder closed: " << GetLastError();
    }
  }
}

TEST_F(FileTest, CreateAlwaysOnAHeldFileLeavesItsContent) {
  for (const FileMode holderMode : {FileMode::OpenForRead, FileMode::OpenForWrite}) {
    SCOPED_TRACE(modeName(holderMode));
    const std::string path = makeFile("keep.xqp", "page data");
    File holder = File::open(path, holderMode);
    ASSERT_TRUE(holder);
    SetLastError(0);
    EXPECT_FALSE(File::open(path, FileMode::CreateAlways));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(holder.size(), 9);
    char buffer[9];
    ASSERT_TRUE(holder.readExact(buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, sizeof buffer), "page data");
  }
}

TEST_F(FileTest, AnotherProcessIsRefusedWhileThePathIsHeld) {
  const std::string path = makeFile("shared.xqp", "x");
  // The child reports what its own open got: 0 opened, else the error number
  // (all the ones that matter here fit in an exit status).
  const auto childOpens = [&path](FileMode mode) {
    return inChild([&path, mode] {
      File f = File::open(path, mode);
      return f ? 0 : static_cast<int>(GetLastError() & 0xFF);
    });
  };
  {
    File holder = File::open(path, FileMode::OpenForRead);
    ASSERT_TRUE(holder);
    for (const FileMode mode : kModes) {
      SCOPED_TRACE(modeName(mode));
      EXPECT_EQ(childOpens(mode), static_cast<int>(ERROR_SHARING_VIOLATION));
    }
  }
  EXPECT_EQ(childOpens(FileMode::OpenForWrite), 0) << "the lock outlived the holder";
  EXPECT_EQ(contentOf(path), "x") << "a refused CreateAlways emptied the file";
}

// A program started while a file is open must not inherit its descriptor:
// the lock goes with it, and would hold the path after we close it.
TEST_F(FileTest, StartedProgramsDoNotInheritTheOpenFile) {
  const std::string path = makeFile("inherit.xqp", "x");
  File holder = File::open(path, FileMode::OpenForRead);
  ASSERT_TRUE(holder);
  // The shell exits 1 when one of its descriptors refers to the file.
  const char* script = "for fd in /proc/$$/fd/*; do [ \"$(readlink \"$fd\")\" = \"$1\" ] && exit 1; done; exit 0";
  const int status = inChild([&] {
    ::execl("/bin/sh", "sh", "-c", script, "sh", path.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
  ASSERT_NE(status, 127) << "/bin/sh could not be started";
  EXPECT_EQ(status, 0) << "the started program holds the open file";
}

TEST_F(FileTest, TheLockMovesWithTheFile) {
  const std::string path = makeFile("moved.xqp", "x");
  File target;
  {
    File source = File::open(path, FileMode::OpenForRead);
    ASSERT_TRUE(source);
    target = std::move(source);
    EXPECT_FALSE(source);  // a moved-from File is closed
  }
  EXPECT_TRUE(target);
  EXPECT_FALSE(File::open(path, FileMode::OpenForRead)) << "destroying the moved-from File released the lock";

  File constructed(std::move(target));
  EXPECT_FALSE(File::open(path, FileMode::OpenForRead));

  // Assigning over an open File closes it and frees its path.
  const std::string otherPath = makeFile("other.xqp", "y");
  constructed = File::open(otherPath, FileMode::OpenForRead);
  ASSERT_TRUE(constructed);
  EXPECT_TRUE(File::open(path, FileMode::OpenForRead));
  EXPECT_FALSE(File::open(otherPath, FileMode::OpenForRead));
}

TEST_F(FileTest, CreateAlwaysEmptiesOrCreates) {
  const std::string existing = makeFile("old.xqp", std::string(100, 'a'));
  {
    File f = File::open(existing, FileMode::CreateAlways);
    ASSERT_TRUE(f);
    EXPECT_EQ(f.size(), 0);
    ASSERT_TRUE(f.write("new", 3));
  }
  EXPECT_EQ(contentOf(existing), "new");

  const std::string fresh = dir_.file("fresh.xqp");
  {
    File f = File::open(fresh, FileMode::CreateAlways);
    ASSERT_TRUE(f);
    EXPECT_EQ(f.size(), 0);
  }
  EXPECT_TRUE(fbtest::fileExists(fresh));
}

TEST_F(FileTest, OpeningAMissingFileCreatesNothing) {
  const std::string path = dir_.file("absent.xqp");
  for (const FileMode mode : {FileMode::OpenForRead, FileMode::OpenForWrite}) {
    SCOPED_TRACE(modeName(mode));
    SetLastError(0);
    EXPECT_FALSE(File::open(path, mode));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fbtest::fileExists(path));
  }
}

TEST_F(FileTest, BadPathsAreRefused) {
  for (const FileMode mode : kModes) {
    SCOPED_TRACE(modeName(mode));
    SetLastError(0);
    EXPECT_FALSE(File::open(dir_.path().string(), mode));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "a folder";
    SetLastError(0);
    EXPECT_FALSE(File::open("", mode));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << "an empty path";
  }
}

TEST_F(FileTest, ReadsStopAtTheEnd) {
  File f = File::open(makeFile("ten.bin", "0123456789"), FileMode::OpenForRead);
  ASSERT_TRUE(f);
  char buffer[16] = {};
  EXPECT_EQ(f.read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(f.read(buffer, sizeof buffer), 6) << "a short read at the end is no error";
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(f.read(buffer, sizeof buffer), 0);

  ASSERT_TRUE(f.seek(0));
  EXPECT_TRUE(f.readExact(buffer, 10));
  SetLastError(0);
  EXPECT_FALSE(f.readExact(buffer, 1));
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);

  ASSERT_TRUE(f.seek(4));
  SetLastError(0);
  EXPECT_FALSE(f.readExact(buffer, 7)) << "only 6 bytes left";
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
}

TEST_F(FileTest, ReadAtLeavesThePositionAlone) {
  File f = File::open(makeFile("ten.bin", "0123456789"), FileMode::OpenForRead);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f.seek(2));
  char buffer[8] = {};
  ASSERT_TRUE(f.readAt(5, buffer, 3));
  EXPECT_EQ(std::string(buffer, 3), "567");
  EXPECT_EQ(f.position(), 2);
  ASSERT_TRUE(f.readAt(0, buffer, 8));
  EXPECT_EQ(std::string(buffer, 8), "01234567");

  struct Case {
    int64_t offset;
    size_t size;
    uint32_t error;
  };
  const Case failures[] = {
      {8, 3, ERROR_HANDLE_EOF},  // runs over the end
      {10, 1, ERROR_HANDLE_EOF},
      {1000, 1, ERROR_HANDLE_EOF},
      {-1, 1, ERROR_NEGATIVE_SEEK},
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.offset);
    SetLastError(0);
    EXPECT_FALSE(f.readAt(c.offset, buffer, c.size));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(f.position(), 2);
  }
}

TEST_F(FileTest, SeekingPastTheEndThenWritingLeavesAZeroGap) {
  const std::string path = makeFile("gap.bin", "abc");
  {
    File f = File::open(path, FileMode::OpenForWrite);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f.seek(8));
    EXPECT_EQ(f.position(), 8);
    EXPECT_EQ(f.size(), 3) << "seeking alone does not grow the file";
    char c;
    EXPECT_EQ(f.read(&c, 1), 0);
    ASSERT_TRUE(f.write("Z", 1));
    EXPECT_EQ(f.size(), 9);

    SetLastError(0);
    EXPECT_FALSE(f.seek(-1));
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(f.position(), 9);

    ASSERT_TRUE(f.seek(1));
    ASSERT_TRUE(f.seekToEnd());
    EXPECT_EQ(f.position(), 9);
  }
  EXPECT_EQ(contentOf(path), std::string("abc\0\0\0\0\0Z", 9));
}

TEST_F(FileTest, ReadOnlyFileRefusesWrites) {
  const std::string path = makeFile("ro.bin", "abc");
  {
    File f = File::open(path, FileMode::OpenForRead);
    ASSERT_TRUE(f);
    SetLastError(0);
    EXPECT_FALSE(f.write("xyz", 3));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(contentOf(path), "abc");
}

TEST_F(FileTest, ClosedFileFailsEveryCallWithInvalidHandle) {
  File f = File::open(makeFile("c.bin", "abc"), FileMode::OpenForWrite);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f.close());
  EXPECT_FALSE(f);
  EXPECT_TRUE(f.close()) << "closing twice is harmless";

  char buffer[4];
  const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
      {"read", [&] { return f.read(buffer, 1) == -1; }},
      {"readExact", [&] { return !f.readExact(buffer, 1); }},
      {"readAt", [&] { return !f.readAt(0, buffer, 1); }},
      {"write", [&] { return !f.write("x", 1); }},
      {"seek", [&] { return !f.seek(0); }},
      {"seekToEnd", [&] { return !f.seekToEnd(); }},
      {"position", [&] { return f.position() == -1; }},
      {"size", [&] { return f.size() == -1; }},
  };
  for (const auto& [name, failed] : calls) {
    SCOPED_TRACE(name);
    SetLastError(0);
    EXPECT_TRUE(failed());
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

// /dev/full answers every write with ENOSPC, as a full disk does.
TEST_F(FileTest, WriteOnAFullDiskFailsWithDiskFull) {
  File f = File::open("/dev/full", FileMode::OpenForWrite);
  if (!f) GTEST_SKIP() << "/dev/full cannot be opened here (error " << GetLastError() << ")";
  SetLastError(0);
  EXPECT_FALSE(f.write("page", 4));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}

// A file size limit makes write fail with EFBIG once the limit is reached;
// the limit is set in a child so that this process keeps its own.
TEST_F(FileTest, WriteBeyondTheFileSizeLimitFailsWithFileTooLarge) {
  const std::string path = dir_.file("limited.bin");
  const int status = inChild([&path] {
    ::signal(SIGXFSZ, SIG_IGN);
    File f = File::open(path, FileMode::CreateAlways);
    if (!f) return 100;
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 101;
    const std::vector<char> data(10000, 'p');
    if (f.write(data.data(), data.size())) return 102;
    return static_cast<int>(GetLastError() & 0xFF);
  });
  ASSERT_NE(status, 100) << "the child could not create the file";
  ASSERT_NE(status, 101) << "setrlimit failed in the child";
  ASSERT_NE(status, 102) << "the write over the limit succeeded";
  EXPECT_EQ(status, static_cast<int>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(fbtest::readFile(path).size(), 4096u) << "what fitted under the limit was written";
}

}  // namespace
