#pragma once
// Profile (ini) files as GetPrivateProfileString, GetPrivateProfileInt,
// GetPrivateProfileSectionNames and WritePrivateProfileString use them. The
// text rules are those of ProfileText.h; bytes are the active code page's
// and are kept exactly.
//
// A path that is not absolute names a file in the Windows folder
// (MachineRoot.h), as a bare file name does on Windows.
//
// Reads never fail: a missing, unreadable or oversized file reads as empty,
// so every lookup gives its default. Writes replace the file atomically
// (AtomicFile.h) and keep every byte they do not change; they are
// serialised between processes by a lock on the file's folder, and each
// re-reads the file under that lock, so writers do not lose each other's
// changes. A write fails (false, last error set) and leaves the file as it
// was when the folder is missing (ERROR_PATH_NOT_FOUND), the file exists
// but cannot be read, a name or value cannot be written as given
// (ERROR_INVALID_PARAMETER; see isWritableSection and friends), or the new
// file cannot be written (ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ...). A
// write that changes nothing leaves the file untouched and succeeds.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string readProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue = {});
// See parseProfileInt for what reads as a number; anything else gives the
// default.
int readProfileInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue);
// True for any nonzero integer; text that is not a number gives the default.
bool readProfileBool(const std::string& path, std::string_view section, std::string_view key, bool defaultValue);

std::vector<std::string> profileSectionNames(const std::string& path);
std::vector<std::string> profileSectionKeys(const std::string& path, std::string_view section);

// As WritePrivateProfileString: a missing key erases the section, a missing
// value erases the key. Creates the file (CRLF line endings) when needed;
// erasing from a missing file creates nothing.
bool writeProfileString(const std::string& path, std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value);
bool writeProfileInt(const std::string& path, std::string_view section, std::string_view key, int value);
// Written as "1" or "0".
bool writeProfileBool(const std::string& path, std::string_view section, std::string_view key, bool value);
bool eraseProfileKey(const std::string& path, std::string_view section, std::string_view key);
bool eraseProfileSection(const std::string& path, std::string_view section);

// The file a profile path names (the Windows folder for relative ones).
std::string profileFilePath(const std::string& path);

}  // namespace platform
