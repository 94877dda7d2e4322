#include "viewxqp/DesktopUser.h"

#include <dirent.h>
#include <pwd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

namespace viewxqp {

namespace {

bool equalNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return fold(x) == fold(y);
         });
}

// The process ids under `root`, ascending (the names of its all-digit folders).
std::vector<unsigned long> processIds(const std::string& root) {
  std::vector<unsigned long> ids;
  DIR* dir = opendir(root.c_str());
  if (dir == nullptr) return ids;
  while (const dirent* d = readdir(dir)) {
    const std::string name = d->d_name;
    if (name.empty() || name.size() > 10 || name.find_first_not_of("0123456789") != std::string::npos) continue;
    ids.push_back(std::strtoul(name.c_str(), nullptr, 10));
  }
  closedir(dir);
  std::sort(ids.begin(), ids.end());
  return ids;
}

struct ProcessStatus {
  std::string name;
  std::optional<unsigned long> uid;  // the real user id
};

// "Name:" and the first "Uid:" field of a status file; nothing when it
// cannot be read (the process has gone).
std::optional<ProcessStatus> readStatus(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  ProcessStatus status;
  std::string line;
  // The fields sit in the first lines; a bounded read keeps an odd file cheap.
  for (int i = 0; i < 64 && std::getline(in, line); ++i) {
    if (line.rfind("Name:", 0) == 0) {
      const size_t start = line.find_first_not_of(" \t", 5);
      status.name = start == std::string::npos ? std::string() : line.substr(start);
    } else if (line.rfind("Uid:", 0) == 0) {
      const char* text = line.c_str() + 4;
      char* end = nullptr;
      errno = 0;
      const unsigned long uid = std::strtoul(text, &end, 10);
      if (end != text && errno == 0) status.uid = uid;
      break;
    }
  }
  return status;
}

std::string accountName(unsigned long uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr)
    return {};
  return found->pw_name;
}

}  // namespace

const std::vector<std::string>& desktopShellNames() {
  static const std::vector<std::string> names = {
      "explorer.exe", "gnome-shell", "plasmashell", "xfce4-session", "mate-session", "cinnamon", "lxqt-session",
  };
  return names;
}

std::string desktopUserName(const std::string& procRoot) {
  for (const unsigned long id : processIds(procRoot)) {
    const auto status = readStatus(procRoot + "/" + std::to_string(id) + "/status");
    if (!status) continue;
    const auto& shells = desktopShellNames();
    const bool shell = std::any_of(shells.begin(), shells.end(),
                                   [&](const std::string& s) { return equalNoCase(s, status->name); });
    if (!shell) continue;
    return status->uid ? accountName(*status->uid) : std::string();
  }
  return {};
}

}  // namespace viewxqp
