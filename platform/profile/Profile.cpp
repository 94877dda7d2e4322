#include "platform/profile/Profile.h"

#include <functional>

#include "platform/profile/AtomicFile.h"
#include "platform/profile/ProfileText.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineRoot.h"

namespace platform {

namespace {

bool isRelative(const std::string& path) { return !path.empty() && path.front() != '/'; }

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string readText(const std::string& path) {
  const std::string file = profileFilePath(path);
  std::string text;
  if (file.empty() || readWholeFile(file, text) != ReadStatus::Read) text.clear();
  return text;
}

// Applies `edit` to the file's text under the folder's lock. A missing file
// is edited as empty text when `createMissing`, and left missing otherwise.
bool editFile(const std::string& path, const std::function<std::string(std::string_view)>& edit, bool createMissing) {
  std::string file = profileFilePath(path);
  if (file.empty()) {
    SetLastError(path.empty() ? ERROR_INVALID_PARAMETER : ERROR_PATH_NOT_FOUND);
    return false;
  }
  // The Windows folder always exists on Windows; here it is made on demand
  // (but no folder below it: a missing one is a failure as anywhere else).
  if (isRelative(path) && !createFolderPath(windowsFolder())) return false;
  file = resolvedFilePath(file);
  const FileLock lock = FileLock::onFolder(folderOf(file), FileLock::Kind::Exclusive);
  if (!lock) return false;
  std::string old;
  const ReadStatus status = readWholeFile(file, old);
  if (status == ReadStatus::Failed) return false;  // never replace what we could not read
  if (status == ReadStatus::Missing && !createMissing) return true;
  const std::string next = edit(old);
  if (status == ReadStatus::Read && next == old) return true;
  return replaceFileAtomically(file, next);
}

}  // namespace

std::string profileFilePath(const std::string& path) {
  if (!isRelative(path)) return path;
  const std::string folder = windowsFolder();
  return folder.empty() ? std::string() : folder + "/" + path;
}

std::string readProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
  auto value = profile::findValue(readText(path), section, key);
  return value ? std::move(*value) : std::string(defaultValue);
}

int readProfileInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue) {
  const auto value = profile::findValue(readText(path), section, key);
  if (!value) return defaultValue;
  return profile::parseProfileInt(*value).value_or(defaultValue);
}

bool readProfileBool(const std::string& path, std::string_view section, std::string_view key, bool defaultValue) {
  return readProfileInt(path, section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> profileSectionNames(const std::string& path) { return profile::sectionNames(readText(path)); }

std::vector<std::string> profileSectionKeys(const std::string& path, std::string_view section) {
  return profile::sectionKeys(readText(path), section);
}

bool writeProfileString(const std::string& path, std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value) {
  if (!key) return eraseProfileSection(path, section);
  if (!value) return eraseProfileKey(path, section, *key);
  if (!profile::isWritableSection(section) || !profile::isWritableKey(*key) || !profile::isWritableValue(*value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return editFile(
      path, [&](std::string_view text) { return profile::setValue(text, section, *key, *value); }, true);
}

bool writeProfileInt(const std::string& path, std::string_view section, std::string_view key, int value) {
  const std::string text = std::to_string(value);
  return writeProfileString(path, section, key, std::string_view(text));
}

bool writeProfileBool(const std::string& path, std::string_view section, std::string_view key, bool value) {
  return writeProfileString(path, section, key, std::string_view(value ? "1" : "0"));
}

bool eraseProfileKey(const std::string& path, std::string_view section, std::string_view key) {
  return editFile(
      path, [&](std::string_view text) { return profile::eraseKey(text, section, key); }, false);
}

bool eraseProfileSection(const std::string& path, std::string_view section) {
  return editFile(
      path, [&](std::string_view text) { return profile::eraseSection(text, section); }, false);
}

}  // namespace platform
