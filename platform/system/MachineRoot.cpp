#include "platform/system/MachineRoot.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/system/LastError.h"

namespace platform {

namespace {

const char kFolderName[] = "folisto-brelvane";

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string homeFolder() {
  std::string home = env("HOME");
  if (!home.empty()) return home;
  // Services started without a login environment have no HOME.
  std::vector<char> buffer(16384);
  passwd entry {};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    home = found->pw_dir;
  return home;
}

}  // namespace

std::string machineRoot() {
  if (std::string root = env("FOLISTO_ROOT"); !root.empty()) return withoutTrailingSlashes(std::move(root));
  if (const std::string data = env("XDG_DATA_HOME"); !data.empty() && data.front() == '/') {
    const std::string base = withoutTrailingSlashes(data);
    return (base == "/" ? std::string() : base) + "/" + kFolderName;
  }
  const std::string home = homeFolder();
  if (home.empty()) return std::string();
  const std::string base = withoutTrailingSlashes(home);
  return (base == "/" ? std::string() : base) + "/.local/share/" + kFolderName;
}

std::string pathInMachineRoot(const std::string& name) {
  const std::string root = machineRoot();
  return root.empty() ? root : root + "/" + name;
}

std::string windowsFolder() { return pathInMachineRoot("Windows"); }

std::string spoolFolder() { return pathInMachineRoot("Spool"); }

bool createFolderPath(const std::string& path, unsigned mode) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    SetLastError(ERROR_DIRECTORY);
    return false;
  }
  if (errno != ENOENT) {
    setLastErrorFromErrno(errno);
    return false;
  }
  const auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !createFolderPath(path.substr(0, slash), mode)) return false;
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return true;
  // Another process may have made it in the meantime.
  const int err = errno;
  if (err == EEXIST && ::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    SetLastError(ERROR_DIRECTORY);
    return false;
  }
  setLastErrorFromErrnoForPath(err, path.c_str());
  return false;
}

bool ensureMachineRoot() {
  const std::string root = machineRoot();
  if (root.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return createFolderPath(root) && createFolderPath(root + "/Windows") && createFolderPath(root + "/Spool");
}

}  // namespace platform
