#include "tools/xqptool/InstallCommands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/system/CodePage.h"
#include "platform/system/File.h"
#include "platform/system/MachineRoot.h"
#include "platform/system/SystemMessage.h"
#include "prninst/Installer.h"
#include "prninst/KaveroPpd.h"
#include "prninst/prninst.h"
#include "tools/xqptool/Arguments.h"

namespace tools {

const char* const kInstallUsage =
    "  xqptool setup [--install-folder DIR]\n"
    "  xqptool add-printer NAME\n"
    "  xqptool delete-printers\n";

namespace {

// Where the program looks for its install folder (GetInstallPath).
constexpr const char* kInstallKey = "SOFTWARE\\Corvexa\\Folisto Brelvane";
constexpr const char* kInstallValue = "Path";

int usage() {
  std::fprintf(stderr, "usage:\n%s", kInstallUsage);
  return kExitUsage;
}

// The install folder as the setup program records it: absolute, with a
// trailing '/'.
bool recordInstallFolder(const std::string& folder) {
  std::error_code error;
  std::string path = std::filesystem::absolute(folder, error).lexically_normal().string();
  if (error || path.empty()) {
    std::fprintf(stderr, "xqptool: %s: not a usable folder\n", folder.c_str());
    return false;
  }
  if (path.back() != '/') path += '/';
  if (!platform::createFolderPath(path)) {
    std::fprintf(stderr, "xqptool: %s: %s\n", path.c_str(), lastErrorText().c_str());
    return false;
  }
  platform::HKEY key = nullptr;
  uint32_t status = platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0,
                                             platform::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status == platform::ERROR_SUCCESS) {
    status = platform::RegSetValueEx(key, kInstallValue, 0, platform::REG_SZ,
                                     reinterpret_cast<const uint8_t*>(path.c_str()),
                                     static_cast<uint32_t>(path.size() + 1));
    platform::RegCloseKey(key);
  }
  if (status != platform::ERROR_SUCCESS) {
    std::fprintf(stderr, "xqptool: cannot record the install folder: %s\n",
                 platform::ansiToUtf8(platform::systemMessageText(status)).c_str());
    return false;
  }
  std::printf("install folder: %s\n", path.c_str());
  return true;
}

bool writeTextFile(const std::string& path, std::string_view text) {
  platform::File out = platform::File::open(path, platform::FileMode::CreateAlways);
  if (!out || !out.write(text.data(), text.size()) || !out.close()) {
    std::fprintf(stderr, "xqptool: %s: %s\n", path.c_str(), lastErrorText().c_str());
    return false;
  }
  return true;
}

// The setup program's part of the driver: its files in the spooler's driver
// folder, where registering the driver looks for them. Here the driver is
// its PPD, the data file; the other names of its file list have no part on
// this platform and get a line that says so.
bool placeDriverFiles() {
  const std::string folder = prninst::driverFolder();
  if (folder.empty() || !platform::createFolderPath(folder)) {
    std::fprintf(stderr, "xqptool: no driver folder: %s\n", lastErrorText().c_str());
    return false;
  }
  const prninst::DriverFiles files = prninst::driverFilesIn(folder);
  if (!writeTextFile(files.dataFile, prninst::kaveroPpdText())) return false;
  const std::string note =
      std::string("Part of the driver \"") + prninst::kDriverName + "\": on CUPS the driver is its PPD, " +
      prninst::kDataFileName + ", and this file only completes its file list.\n";
  std::vector<std::string> others = {files.driverPath, files.configFile, files.helpFile};
  for (const char* name = files.dependentFiles.c_str(); *name != '\0'; name += std::strlen(name) + 1)
    others.push_back(folder + "/" + name);
  for (const std::string& path : others)
    if (!writeTextFile(path, note)) return false;
  return true;
}

int setup(int argc, char** argv) {
  std::string folder;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--install-folder" && i + 1 < argc) {
      folder = argv[++i];
    } else {
      return usage();
    }
  }
  if (folder.empty()) folder = platform::pathInMachineRoot("Program Files/Folisto Brelvane");
  if (folder.empty()) {
    std::fprintf(stderr, "xqptool: no machine root (set FOLISTO_ROOT or HOME)\n");
    return kExitFailure;
  }
  if (!platform::ensureMachineRoot() || !recordInstallFolder(folder) || !placeDriverFiles()) return kExitFailure;
  if (AddNewPrinterDriver() != 1) {
    std::fprintf(stderr, "xqptool: the spooler refused the driver \"%s\": %s\n", prninst::kDriverName,
                 lastErrorText().c_str());
    return kExitFailure;
  }
  std::printf("driver \"%s\" registered\n", prninst::kDriverName);
  return 0;
}

int addPrinter(int argc, char** argv) {
  if (argc != 3) return usage();
  if (AddNewPrinter(argv[2], prninst::kPortName, prninst::kDriverName) != 1) {
    std::fprintf(stderr, "xqptool: the printer \"%s\" cannot be added: %s\n", argv[2], lastErrorText().c_str());
    return kExitFailure;
  }
  return 0;
}

int deletePrinters(int argc) {
  if (argc != 2) return usage();
  if (DeleteALLPrinter() != 1) {
    std::fprintf(stderr, "xqptool: the printers cannot be listed: %s\n", lastErrorText().c_str());
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int runInstallCommand(int argc, char** argv) {
  if (argc < 2) return -1;
  const std::string command = argv[1];
  if (command == "setup") return setup(argc, argv);
  if (command == "add-printer") return addPrinter(argc, argv);
  if (command == "delete-printers") return deletePrinters(argc);
  return -1;
}

}  // namespace tools
