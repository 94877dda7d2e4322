#include "platform/system/LastError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/system/File.h"
#include "platform/system/SystemMessage.h"
#include "tests/support/TempDir.h"

namespace {

using namespace platform;

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  uint32_t seenThere = 0xFFFFFFFF;
  uint32_t afterSetThere = 0;
  std::thread other([&] {
    seenThere = GetLastError();
    SetLastError(ERROR_DISK_FULL);
    afterSetThere = GetLastError();
  });
  other.join();
  EXPECT_EQ(seenThere, ERROR_SUCCESS) << "a new thread starts without an error";
  EXPECT_EQ(afterSetThere, ERROR_DISK_FULL);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "another thread's error leaked into this one";
}

TEST(LastError, ErrnoValuesMapOntoWindowsNumbers) {
  struct Case {
    int errnoValue;
    uint32_t expected;
  };
  const Case cases[] = {
      {0, ERROR_SUCCESS},
      {ENOENT, ERROR_FILE_NOT_FOUND},
      {ENOTDIR, ERROR_PATH_NOT_FOUND},
      {EACCES, ERROR_ACCESS_DENIED},
      {EPERM, ERROR_ACCESS_DENIED},
      {EROFS, ERROR_ACCESS_DENIED},
      {EISDIR, ERROR_ACCESS_DENIED},
      {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
      {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
      {EBADF, ERROR_INVALID_HANDLE},
      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
      {EXDEV, ERROR_NOT_SAME_DEVICE},
      {EWOULDBLOCK, ERROR_SHARING_VIOLATION},
      {EAGAIN, ERROR_SHARING_VIOLATION},
      {ENOSPC, ERROR_DISK_FULL},
      {EDQUOT, ERROR_DISK_FULL},
      {EEXIST, ERROR_FILE_EXISTS},
      {EINVAL, ERROR_INVALID_PARAMETER},
      {EPIPE, ERROR_BROKEN_PIPE},
      {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
      {EFBIG, ERROR_FILE_TOO_LARGE},
      {ESPIPE, ERROR_NEGATIVE_SEEK},
      {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
      {EBUSY, ERROR_BUSY},
      {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
      {ETIMEDOUT, ERROR_TIMEOUT},
      {ECANCELED, ERROR_CANCELLED},
      {ENOTSUP, ERROR_NOT_SUPPORTED},
      {EILSEQ, ERROR_NO_UNICODE_TRANSLATION},
      {EIO, ERROR_IO_DEVICE},
      {EHOSTUNREACH, ERROR_IO_DEVICE},  // anything unlisted is an I/O error
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("errno ") + std::to_string(c.errnoValue) + " (" + std::strerror(c.errnoValue) + ")");
    EXPECT_EQ(winErrorFromErrno(c.errnoValue), c.expected);
    SetLastError(0xDEAD);
    EXPECT_EQ(setLastErrorFromErrno(c.errnoValue), c.expected);
    EXPECT_EQ(GetLastError(), c.expected);
  }
}

// Windows tells a missing file (2) from a missing folder (3); POSIX says
// ENOENT for both.
TEST(LastError, MissingFolderIsToldFromMissingFile) {
  fbtest::TempDir dir;
  fbtest::writeFile(dir.file("plain"), {1});
  struct Case {
    std::string path;
    int errnoValue;
    uint32_t expected;
  };
  const Case cases[] = {
      {dir.file("missing.xqp"), ENOENT, ERROR_FILE_NOT_FOUND},
      {dir.file("nofolder/missing.xqp"), ENOENT, ERROR_PATH_NOT_FOUND},
      {dir.file("no/such/folders/missing.xqp"), ENOENT, ERROR_PATH_NOT_FOUND},
      {dir.file("plain/missing.xqp"), ENOENT, ERROR_PATH_NOT_FOUND},  // the "folder" is a file
      {"/fb-no-such-file-at-the-root", ENOENT, ERROR_FILE_NOT_FOUND},
      {"fb-no-such-file-here", ENOENT, ERROR_FILE_NOT_FOUND},  // no folder given: the current one
      {dir.file("nofolder/missing.xqp"), EACCES, ERROR_ACCESS_DENIED},  // only ENOENT is refined
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " errno " + std::to_string(c.errnoValue));
    SetLastError(0xDEAD);
    EXPECT_EQ(setLastErrorFromErrnoForPath(c.errnoValue, c.path.c_str()), c.expected);
    EXPECT_EQ(GetLastError(), c.expected);
  }
  EXPECT_EQ(setLastErrorFromErrnoForPath(ENOENT, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST(LastError, FileOpenReportsMissingFileAndMissingFolderApart) {
  fbtest::TempDir dir;
  for (const FileMode mode : {FileMode::OpenForRead, FileMode::OpenForWrite, FileMode::CreateAlways}) {
    SCOPED_TRACE(static_cast<int>(mode));
    SetLastError(0);
    EXPECT_FALSE(File::open(dir.file("nofolder/page.xqp"), mode));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  }
  for (const FileMode mode : {FileMode::OpenForRead, FileMode::OpenForWrite}) {
    SCOPED_TRACE(static_cast<int>(mode));
    SetLastError(0);
    EXPECT_FALSE(File::open(dir.file("page.xqp"), mode));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
}

TEST(SystemMessage, EveryListedErrorHasOneLineOfTextEndingInCrLf) {
  const uint32_t codes[] = {
      ERROR_SUCCESS, ERROR_INVALID_FUNCTION, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_TOO_MANY_OPEN_FILES,
      ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_DATA, ERROR_OUTOFMEMORY,
      ERROR_NOT_SAME_DEVICE, ERROR_WRITE_FAULT, ERROR_READ_FAULT, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,
      ERROR_HANDLE_EOF, ERROR_HANDLE_DISK_FULL, ERROR_NOT_SUPPORTED, ERROR_FILE_EXISTS, ERROR_INVALID_PARAMETER,
      ERROR_BROKEN_PIPE, ERROR_DISK_FULL, ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_NAME, ERROR_NEGATIVE_SEEK,
      ERROR_DIR_NOT_EMPTY, ERROR_BUSY, ERROR_ALREADY_EXISTS, ERROR_FILENAME_EXCED_RANGE, ERROR_FILE_TOO_LARGE,
      ERROR_DIRECTORY, ERROR_MR_MID_NOT_FOUND, ERROR_IO_DEVICE, ERROR_NO_UNICODE_TRANSLATION, ERROR_CANCELLED,
      ERROR_TIMEOUT, ERROR_UNKNOWN_PRINTER_DRIVER, ERROR_INVALID_PRINTER_NAME, ERROR_PRINTER_ALREADY_EXISTS,
      ERROR_CANT_RESOLVE_FILENAME, ERROR_INVALID_PRINTER_STATE, ERROR_PRINTER_NOT_FOUND,
  };
  for (const uint32_t code : codes) {
    SCOPED_TRACE(code);
    const std::string text = systemMessageText(code);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find_first_of("\r\n"), text.size() - 2) << "a line break inside: " << text;
  }
}

TEST(SystemMessage, TextsAreTheSystemsOwn) {
  // These are shown to users next to our own messages, so they read as the
  // system words them.
  struct Case {
    uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
      {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
      {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
      {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process.\r\n"},
      {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
      {ERROR_INVALID_PRINTER_NAME, "The printer name is invalid.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(systemMessageText(c.code), c.text);
    char buffer[256];
    const uint32_t n = FormatSystemMessage(c.code, buffer, sizeof buffer);
    EXPECT_EQ(n, std::strlen(c.text));
    EXPECT_STREQ(buffer, c.text);
  }
}

TEST(SystemMessage, CodeWithoutTextGivesNothing) {
  for (const uint32_t code : {uint32_t{7}, uint32_t{1800}, uint32_t{0xDEADBEEF}}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(systemMessageText(code), "");
    char buffer[64] = "untouched";
    SetLastError(0);
    EXPECT_EQ(FormatSystemMessage(code, buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
    EXPECT_STREQ(buffer, "untouched");
  }
}

TEST(SystemMessage, BufferMustHoldTextAndZero) {
  const std::string text = systemMessageText(ERROR_ACCESS_DENIED);  // "Access is denied.\r\n"
  ASSERT_FALSE(text.empty());
  std::string buffer(text.size() + 8, '#');

  // Exactly enough: the text and its zero, nothing after touched.
  EXPECT_EQ(FormatSystemMessage(ERROR_ACCESS_DENIED, buffer.data(), text.size() + 1), text.size());
  EXPECT_EQ(buffer.substr(0, text.size()), text);
  EXPECT_EQ(buffer[text.size()], '\0');
  EXPECT_EQ(buffer[text.size() + 1], '#');

  // One short: nothing written, not even a cut text.
  buffer.assign(text.size() + 8, '#');
  SetLastError(0);
  EXPECT_EQ(FormatSystemMessage(ERROR_ACCESS_DENIED, buffer.data(), text.size()), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer, std::string(text.size() + 8, '#'));

  SetLastError(0);
  EXPECT_EQ(FormatSystemMessage(ERROR_ACCESS_DENIED, nullptr, 1024), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
