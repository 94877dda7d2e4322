// Drivers are PPD files. A registered driver lives in the driver folder's
// "3" subfolder as <name>.ppd; when a printer is added its PPD is uploaded
// to the server with it. Drivers the server has in its own model list are
// found by their make and model.

#include "platform/spooler/Drivers.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/spooler/CupsQueues.h"
#include "platform/spooler/QueueNames.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineRoot.h"

namespace platform {

using namespace spooler;

namespace {

constexpr uint32_t ERROR_INVALID_ENVIRONMENT = 1805;
constexpr size_t kMaxPpdBytes = 4 << 20;

std::optional<std::string> environmentFolder(const char* environment) {
  const std::string env = environment != nullptr ? environment : "";
  const char* sub = nullptr;
  if (env.empty() || env == "Windows NT x86") sub = "W32X86";
  else if (env == "Windows x64") sub = "x64";
  else if (env == "Windows IA64") sub = "IA64";
  if (sub == nullptr || spoolFolder().empty() || spoolFolder() == "/Spool") {
    fail(sub == nullptr ? ERROR_INVALID_ENVIRONMENT : ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  return spoolFolder() + "/DRIVERS/" + sub;
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string resolveIn(const std::string& folder, const char* name) {
  std::string path = name != nullptr ? name : "";
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.find('/') == std::string::npos) path = folder + "/" + path;
  return path;
}

bool readSmallFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  text = out.str();
  return text.size() <= kMaxPpdBytes;
}

bool printableAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c > 0x7e || c == '"') return false;
  return !s.empty();
}

// The NickName of a PPD's text, or empty.
std::string nickNameOf(const std::string& ppd) {
  std::istringstream lines(ppd);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("*NickName:", 0) != 0) continue;
    const size_t open = line.find('"');
    const size_t close = line.rfind('"');
    if (open != std::string::npos && close > open) return line.substr(open + 1, close - open - 1);
  }
  return "";
}

// The PPD of a driver whose data file is no PPD: a PDF printer, the pages
// passed on as they are, with the common paper sizes.
std::string genericPpd(const std::string& name) {
  struct Size {
    const char* key;
    int w, h;
  };
  const Size sizes[] = {{"A4", 595, 842}, {"A5", 420, 595}, {"A3", 842, 1191}, {"B5", 516, 729},
                        {"Letter", 612, 792}, {"Legal", 612, 1008}};
  std::ostringstream p;
  p << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
       "*LanguageEncoding: ISOLatin1\n*PCFileName: \"DRIVER.PPD\"\n*Manufacturer: \"Folisto\"\n"
    << "*Product: \"(" << name << ")\"\n*ModelName: \"" << name << "\"\n*ShortNickName: \"" << name.substr(0, 31)
    << "\"\n*NickName: \"" << name << "\"\n"
    << "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: True\n*DefaultColorSpace: RGB\n"
       "*FileSystem: False\n*Throughput: \"1\"\n*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
       "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n";
  for (const char* ui : {"PageSize", "PageRegion"}) {
    p << "*OpenUI *" << ui << ": PickOne\n*OrderDependency: 10 AnySetup *" << ui << "\n*Default" << ui << ": A4\n";
    for (const Size& s : sizes)
      p << "*" << ui << " " << s.key << "/" << s.key << ": \"<</PageSize[" << s.w << " " << s.h
        << "]>>setpagedevice\"\n";
    p << "*CloseUI: *" << ui << "\n";
  }
  p << "*DefaultImageableArea: A4\n";
  for (const Size& s : sizes)
    p << "*ImageableArea " << s.key << "/" << s.key << ": \"18 18 " << s.w - 18 << " " << s.h - 18 << "\"\n";
  p << "*DefaultPaperDimension: A4\n";
  for (const Size& s : sizes) p << "*PaperDimension " << s.key << "/" << s.key << ": \"" << s.w << " " << s.h << "\"\n";
  p << "*OpenUI *Resolution/Resolution: PickOne\n*OrderDependency: 10 AnySetup *Resolution\n"
       "*DefaultResolution: 300dpi\n*Resolution 300dpi/300 dpi: \"<</HWResolution[300 300]>>setpagedevice\"\n"
       "*Resolution 600dpi/600 dpi: \"<</HWResolution[600 600]>>setpagedevice\"\n*CloseUI: *Resolution\n";
  return p.str();
}

// A PPD given as the data file keeps its options; its names become the
// driver's, so that the printer can be found by its driver name.
std::string renamedPpd(const std::string& ppd, const std::string& name) {
  std::istringstream lines(ppd);
  std::ostringstream out;
  std::string line;
  bool nick = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("*NickName:", 0) == 0) {
      line = "*NickName: \"" + name + "\"";
      nick = true;
    } else if (line.rfind("*ModelName:", 0) == 0) {
      line = "*ModelName: \"" + name + "\"";
    }
    out << line << "\n";
  }
  if (!nick) out << "*NickName: \"" << name << "\"\n";
  return out.str();
}

bool writeFileAtomically(const std::string& path, const std::string& text) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
      std::remove(tmp.c_str());
      return fail(ERROR_ACCESS_DENIED);
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    setLastErrorFromErrno(errno);
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

std::string driverFile(const std::string& folder, const std::string& name) {
  return folder + "/3/" + queueNameFor(name) + ".ppd";
}

std::optional<std::string> serverModel(const std::string& name) {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PPDS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "ppd-make-and-model", nullptr, name.c_str());
  const char* wanted[] = {"ppd-name", "ppd-make-and-model"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
  ipp_t* response = sendRequest(request, Subject::Driver);
  if (response == nullptr) return std::nullopt;
  std::string ppdName, model;
  std::optional<std::string> found;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a != nullptr && !found; a = ippNextAttribute(response)) {
    const char* attrName = ippGetName(a);
    if (attrName == nullptr) {
      ppdName.clear();
      model.clear();
      continue;
    }
    const char* value = ippGetString(a, 0, nullptr);
    if (!std::strcmp(attrName, "ppd-name")) ppdName = value != nullptr ? value : "";
    else if (!std::strcmp(attrName, "ppd-make-and-model")) model = value != nullptr ? value : "";
    if (!ppdName.empty() && model == name) found = ppdName;
  }
  ippDelete(response);
  return found;
}

}  // namespace

namespace spooler {

std::optional<DriverSource> findDriver(const std::string& driverName) {
  if (driverName.empty()) {
    fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    return std::nullopt;
  }
  std::error_code ec;
  const std::filesystem::path drivers = spoolFolder() + "/DRIVERS";
  if (!spoolFolder().empty() && std::filesystem::is_directory(drivers, ec)) {
    for (const auto& env : std::filesystem::directory_iterator(drivers, ec)) {
      const std::string candidate = env.path().string() + "/3/" + queueNameFor(driverName) + ".ppd";
      std::string text;
      if (isFile(candidate) && readSmallFile(candidate, text) && nickNameOf(text) == driverName)
        return DriverSource{candidate, ""};
    }
  }
  if (auto model = serverModel(driverName)) return DriverSource{"", *model};
  fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  return std::nullopt;
}

}  // namespace spooler

bool GetPrinterDriverDirectoryA(const char* /*server*/, const char* environment, uint32_t level, uint8_t* buffer,
                                uint32_t size, uint32_t* needed) {
  if (level != 1) return fail(ERROR_INVALID_LEVEL);
  const auto folder = environmentFolder(environment);
  if (!folder) return false;
  if (!createFolderPath(*folder)) return false;
  const auto wanted = static_cast<uint32_t>(folder->size() + 1);
  if (needed != nullptr) *needed = wanted;
  if (buffer == nullptr || size < wanted) return fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, folder->c_str(), wanted);
  return true;
}

bool AddPrinterDriverA(const char* /*server*/, uint32_t level, const uint8_t* info) {
  if (level != 2 && level != 3) return fail(ERROR_INVALID_LEVEL);
  if (info == nullptr) return fail(ERROR_INVALID_PARAMETER);
  DRIVER_INFO_3A di{};
  std::memcpy(&di, info, level == 3 ? sizeof(DRIVER_INFO_3A) : offsetof(DRIVER_INFO_3A, pHelpFile));
  const std::string name = di.pName != nullptr ? di.pName : "";
  // The name goes into the PPD, whose text must stay ASCII.
  if (!printableAscii(name)) return fail(ERROR_INVALID_PARAMETER);
  const auto folder = environmentFolder(di.pEnvironment);
  if (!folder) return false;
  std::vector<std::string> required = {resolveIn(*folder, di.pDriverPath), resolveIn(*folder, di.pDataFile),
                                       resolveIn(*folder, di.pConfigFile)};
  if (level == 3) {
    if (di.pHelpFile != nullptr && *di.pHelpFile != '\0') required.push_back(resolveIn(*folder, di.pHelpFile));
    // A list of names, each ended by a zero, closed by an empty one.
    for (const char* dep = di.pDependentFiles; dep != nullptr && *dep != '\0'; dep += std::strlen(dep) + 1)
      required.push_back(resolveIn(*folder, dep));
  }
  for (const std::string& file : required)
    if (!isFile(file)) return fail(ERROR_FILE_NOT_FOUND);
  std::string data;
  if (!readSmallFile(required[1], data)) return fail(ERROR_INVALID_DATA);
  const std::string ppd = data.rfind("*PPD-Adobe:", 0) == 0 ? renamedPpd(data, name) : genericPpd(name);
  if (!createFolderPath(*folder + "/3")) return false;
  if (!writeFileAtomically(driverFile(*folder, name), ppd)) return false;
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool DeletePrinterDriverA(const char* /*server*/, const char* environment, const char* driverName) {
  const auto folder = environmentFolder(environment);
  if (!folder) return false;
  if (driverName == nullptr || *driverName == '\0') return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  if (std::remove(driverFile(*folder, driverName).c_str()) != 0) return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  return true;
}

}  // namespace platform
