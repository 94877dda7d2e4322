#include "app/shell/uPubFunction.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>
#include <utility>

#include "platform/gdi/DcApi.h"
#include "platform/registry/Registry.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineRoot.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemMessage.h"

extern char** environ;

namespace {

using namespace platform;

// A string value of an open key; "" when it is missing.
std::string readString(HKEY key, const char* name) {
  uint32_t size = 0;
  if (RegQueryValueEx(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0) return {};
  std::string data(size, '\0');
  if (RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<uint8_t*>(data.data()), &size) !=
      ERROR_SUCCESS)
    return {};
  data.resize(std::min<size_t>(size, data.size()));
  const size_t zero = data.find('\0');
  if (zero != std::string::npos) data.resize(zero);
  return data;
}

void writeString(HKEY key, const char* name, const std::string& value) {
  RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(value.c_str()),
                static_cast<uint32_t>(value.size() + 1));
}

// The extension as the system's path routines take it: from the last '.'
// of the last component, "" when it has none.
std::string extensionOf(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return {};
  return path.substr(dot);
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// '*' and '?' wildcards, without regard to ASCII case; "*.*" is everything,
// names without a dot included, as the system's file search has it.
bool matchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || foldAscii(mask[m]) == foldAscii(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

struct Entry {
  std::string name;
  bool folder = false;   // a real folder, not a link to one
  bool regular = false;  // a regular file (or a link to one)
  int64_t size = 0;      // 0 for folders, as the file search reports them
};

// The entries of `folder` that `mask` matches, "." and ".." included, in
// one fixed order (case-folded names, then bytes) so walks are repeatable.
std::vector<Entry> findEntries(const std::string& folder, const std::string& mask) {
  std::vector<Entry> entries;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return entries;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (const dirent* d = readdir(dir)) {
    Entry e;
    e.name = d->d_name;
    if (!matchesMask(e.name, mask)) continue;
    struct stat st {};
    const std::string path = prefix + e.name;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      e.folder = true;
    } else {
      // Links to folders are not followed: a link loop must not hang a walk.
      if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0) st = {};
      e.regular = S_ISREG(st.st_mode);
      e.size = e.regular ? static_cast<int64_t>(st.st_size) : 0;
    }
    entries.push_back(std::move(e));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    const auto fold = [](const std::string& s) {
      std::string f = s;
      for (char& c : f) c = foldAscii(c);
      return f;
    };
    const std::string fa = fold(a.name), fb = fold(b.name);
    return fa != fb ? fa < fb : a.name < b.name;
  });
  return entries;
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The read-only attribute is the missing owner write bit here; clearing it
// is what lets the walk delete and rename what it visits.
void clearReadOnly(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
    chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

void showPlain(const char* text, const char* caption = kAppTitle) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

// A buffer for spooler structures with pointers, aligned for them.
struct InfoBuffer {
  explicit InfoBuffer(uint32_t size) : words((size + 7) / 8, 0) {}
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(words.data()); }
  std::vector<uint64_t> words;
};

std::vector<std::string> installedPrinterNames() {
  std::vector<std::string> names;
  const uint32_t flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  uint32_t needed = 0, returned = 0;
  // Level 4: the names only, which is all the walk needs from the list.
  EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &returned);
  if (needed == 0) return names;
  InfoBuffer buffer(needed);
  if (!EnumPrintersA(flags, nullptr, 4, buffer.bytes(), needed, &needed, &returned)) return names;
  const auto* infos = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.bytes());
  for (uint32_t i = 0; i < returned; ++i)
    if (infos[i].pPrinterName != nullptr) names.emplace_back(infos[i].pPrinterName);
  return names;
}

// The walk shared by the two printer lists: each printer's level-2
// information, read the way the spooler wants (a size query that must ask
// for a buffer, then the data).
void listPrinters(std::vector<std::string>& names, bool ownDriver) {
  names.clear();
  for (const std::string& name : installedPrinterNames()) {
    HANDLE printer = nullptr;
    if (!OpenPrinterA(name.c_str(), &printer, nullptr)) continue;
    uint32_t needed = 0;
    if (!GetPrinterA(printer, 2, nullptr, 0, &needed) && GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
        needed > 0) {
      InfoBuffer buffer(needed);
      if (GetPrinterA(printer, 2, buffer.bytes(), needed, &needed)) {
        const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.bytes());
        const bool own = info->pDriverName != nullptr && std::strcmp(info->pDriverName, kOwnDriverName) == 0;
        if (own == ownDriver && info->pPrinterName != nullptr) names.emplace_back(info->pPrinterName);
      }
    }
    ClosePrinter(printer);
  }
}

void endOrAbort(HDC dc) {
  if (EndDoc(dc) < 1) AbortDoc(dc);
}

bool pageStep(HDC dc, int (*step)(HDC), const char* tag) {
  if (step(dc) > 0) return true;
  const uint32_t code = GetLastError();
  ShowErrorCode(code, tag);
  endOrAbort(dc);
  return false;
}

WaitHook& waitHook() {
  static WaitHook hook;
  return hook;
}

// Parameters as one line, split at blanks; double quotes group blanks into
// one argument and are dropped.
std::vector<std::string> splitParameters(const std::string& line) {
  std::vector<std::string> args;
  std::string current;
  bool inQuotes = false, any = false;
  for (char c : line) {
    if (c == '"') {
      inQuotes = !inQuotes;
      any = true;
    } else if ((c == ' ' || c == '\t') && !inQuotes) {
      if (any) args.push_back(std::move(current));
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) args.push_back(std::move(current));
  return args;
}

// Waits up to 100 ms for the child; true when it has ended (and is reaped).
bool waitSlice(pid_t pid, int pidfd) {
  int status = 0;
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) return true;
  } else {
    const timespec slice{0, 100 * 1000 * 1000};
    nanosleep(&slice, nullptr);
  }
  const pid_t done = waitpid(pid, &status, WNOHANG);
  return done == pid || (done < 0 && errno != EINTR);
}

}  // namespace

std::string GetInstallPath() {
  try {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
      showPlain("GetSoftWare_ERROR");
      return {};
    }
    std::string path = readString(key, kInstallValue);
    RegCloseKey(key);
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
  } catch (...) {
    return {};
  }
}

void ListDriverPrinters(std::vector<std::string>& names) {
  try {
    listPrinters(names, true);
  } catch (...) {
  }
}

void ListOtherPrinters(std::vector<std::string>& names) {
  try {
    listPrinters(names, false);
  } catch (...) {
  }
}

int64_t PageFilesSize(const std::string& folder, const std::string& mask, bool recurse) {
  try {
    const std::string base = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    int64_t total = 0;
    for (const Entry& e : findEntries(base, mask)) {
      if (extensionOf(base + e.name) == ".xqp") total += e.size;
      if (e.folder && e.name[0] != '.' && recurse) total += PageFilesSize(base + e.name, "*.xqp", true);
    }
    return total;
  } catch (...) {
    return 0;
  }
}

bool DeletePageFiles(const std::string& folder, const std::string& mask) {
  try {
    std::string pattern = mask;
    if (!pattern.empty() && (pattern[0] == '/' || pattern[0] == '\\')) pattern.erase(0, 1);
    for (const Entry& e : findEntries(folder, pattern)) {
      if (e.name == "." || e.name == "..") continue;
      const std::string path = folder + "/" + e.name;
      if (e.folder) {
        clearReadOnly(path);
        DeletePageFiles(path, "/*.xqp");
        continue;
      }
      clearReadOnly(path);
      if (extensionOf(path) == ".xqp" && unlink(path.c_str()) != 0) break;
    }
  } catch (...) {
  }
  return true;
}

bool ForceFolders(const std::string& path) {
  try {
    if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
      if (!isFolder(path)) mkdir(path.c_str(), 0777);
      return true;
    }
    for (size_t i = path.find('/'); i != std::string::npos; i = path.find('/', i + 1)) {
      const std::string prefix = path.substr(0, i + 1);
      if (!isFolder(prefix) && mkdir(prefix.c_str(), 0777) != 0) return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

void CopyFileTo(const std::string& source, const std::string& target) {
  try {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    if (!(isFolder(folder) || ForceFolders(folder)) || !isFile(source)) return;
    std::error_code error;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, error);
    if (error) showPlain("Copy File Error");
  } catch (...) {
  }
}

int64_t FileSizeOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  if (nameAt < path.size() && path[nameAt] == '.') return 0;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

void ShowErrorCode(uint32_t code, const std::string& tag) {
  try {
    const std::string caption = tag + " - " + std::to_string(code);
    std::string text;
    try {
      std::vector<char> buffer(1024, '\0');
      FormatSystemMessage(code, buffer.data(), buffer.size());
      text = buffer.data();
    } catch (const std::bad_alloc&) {
      text = "The Error Code is " + std::to_string(code);
    }
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
  } catch (...) {
  }
}

bool OpenPrinterDoc(const std::string& printer, const std::string& document, HDC& dc, int32_t& jobId) {
  try {
    HDC created = CreateDCA(nullptr, printer.c_str(), nullptr, nullptr);
    if (created == nullptr || created == reinterpret_cast<HDC>(static_cast<intptr_t>(-1))) {
      showPlain("Can't connect the printer!", "Error");
      return false;
    }
    DOCINFOA info{};
    info.cbSize = 20;
    info.lpszDocName = document.c_str();
    const int job = StartDocA(created, &info);
    // A job id is positive; the spooler reports failure as -1 and never
    // hands out 0, so both count as failure. The context is ours to drop.
    if (job <= 0) {
      DeleteDC(created);
      showPlain("Can't connect the printer!", "Error");
      return false;
    }
    dc = created;
    jobId = job;
    return true;
  } catch (...) {
    return false;
  }
}

bool ClosePrinterDoc(HDC dc) {
  try {
    endOrAbort(dc);
    DeleteDC(dc);
  } catch (...) {
  }
  return true;
}

bool StartPrinterPage(HDC dc) {
  try {
    return pageStep(dc, &StartPage, "StartPage_Error");
  } catch (...) {
    return false;
  }
}

bool EndPrinterPage(HDC dc) {
  try {
    return pageStep(dc, &EndPage, "EndPage_Error");
  } catch (...) {
    return false;
  }
}

std::string GetDefaultSpoolDirectory() {
  try {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPrintersKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return {};
    std::string folder = readString(key, "DefaultSpoolDirectory");
    RegCloseKey(key);
    return folder;
  } catch (...) {
    return {};
  }
}

void AssignPrinterFolders(const std::string& printer) {
  try {
    const std::string install = GetInstallPath();
    const std::string own = std::string(kPrintersKey) + "\\" + printer;
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, (own + "\\Settings").c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      writeString(key, "DataSavePath", install + "Images");
      RegCloseKey(key);
    }
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, own.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      writeString(key, "SpoolDirectory", GetDefaultSpoolDirectory());
      RegCloseKey(key);
    }
  } catch (...) {
  }
}

WaitHook setRunAndWaitHook(WaitHook hook) { return std::exchange(waitHook(), std::move(hook)); }

bool RunAndWait(const std::string& program, const std::string& parameters) {
  try {
    if (program.empty()) return false;
    std::vector<std::string> args = splitParameters(parameters);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Hidden: the program gets no terminal input; its output goes where ours does.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return false;

    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    while (!waitSlice(pid, pidfd)) {
      const WaitHook hook = waitHook();
      if (hook && !hook()) break;  // the program is ending; the child runs on
    }
    if (pidfd >= 0) close(pidfd);
    return true;
  } catch (...) {
    return false;
  }
}

std::string GetWindowsFolder() {
  try {
    std::string folder = windowsFolder();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  } catch (...) {
    return {};
  }
}

std::string GetShortPath(const std::string& path) { return path; }

double RoundDownTo(int32_t digits, double value) {
  if (digits <= 0) return value;
  const double scale = std::pow(10.0, digits);
  const double scaled = value * scale;
  // Beyond 2^53 a double has no fraction left to cut off; the division
  // would only add rounding error (or give NaN for an infinite scale).
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9007199254740992.0) return value;
  return std::floor(scaled) / scale;
}
