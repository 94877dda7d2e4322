#include "prninst/Installer.h"

#include <cstring>
#include <vector>

#include "platform/system/LastError.h"
#include "platform/system/MachineRoot.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemMessage.h"

namespace prninst {

namespace {

using namespace platform;

// A buffer for spooler structures with pointers, aligned for them.
struct InfoBuffer {
  explicit InfoBuffer(uint32_t size) : words((size + 7) / 8, 0) {}
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(words.data()); }
  std::vector<uint64_t> words;
};

// The system's text for the last error, fetched and dropped: the installer
// shows no system text. The error itself stays for the caller to read.
void fetchErrorText(size_t size) {
  const uint32_t code = GetLastError();
  std::vector<char> text(size, '\0');
  FormatSystemMessage(code, text.data(), text.size());
  SetLastError(code);
}

bool openForAllAccess(const char* name, HANDLE* printer) {
  PrinterDefaults defaults;
  defaults.DesiredAccess = PRINTER_ALL_ACCESS;
  return OpenPrinterA(name, printer, &defaults);
}

}  // namespace

DriverFiles driverFilesIn(const std::string& folder) {
  DriverFiles files;
  files.driverPath = folder + "/Kavero_DRV.DLL";
  files.dataFile = folder + "/" + kDataFileName;
  files.configFile = folder + "/Kavero_DRVUI.DLL";
  files.helpFile = folder + "/Kavero_DRV.HLP";
  for (const char* name : {"Kavero_RES.dll", "STDNAMES.gpd", "Kavero_UI.dLL", "kavero.ini", "Kavero_UNI.DLL"}) {
    files.dependentFiles += name;
    files.dependentFiles += '\0';
  }
  files.dependentFiles += '\0';
  return files;
}

std::string driverFolder() {
  char folder[260] = {};
  uint32_t needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, kEnvironment, 1, reinterpret_cast<uint8_t*>(folder), sizeof folder,
                                  &needed))
    return {};
  folder[sizeof folder - 1] = '\0';
  return folder;
}

bool addNewPrinter(const char* printerName, const char* driverName) {
  if (printerName == nullptr) return false;
  std::string name = printerName, port = kPortName, driver = driverName ? driverName : "",
              processor = kPrintProcessor, datatype = kDatatype;
  PRINTER_INFO_2A info{};
  info.pPrinterName = name.data();
  info.pPortName = port.data();  // every printer goes on the product's port
  info.pDriverName = driver.data();
  info.pPrintProcessor = processor.data();
  info.pDatatype = datatype.data();
  info.AveragePPM = 400;
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<const uint8_t*>(&info));
  if (printer == nullptr) {
    fetchErrorText(1000);
    return false;
  }
  setQueuedAttribute(printerName);
  ClosePrinter(printer);
  return true;
}

void setQueuedAttribute(const char* printerName) {
  HANDLE printer = nullptr;
  if (!openForAllAccess(printerName, &printer)) return;
  uint32_t needed = 0;
  if (!GetPrinterA(printer, 2, nullptr, 0, &needed) && GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
      needed > 0) {
    InfoBuffer buffer(needed);
    if (GetPrinterA(printer, 2, buffer.bytes(), needed, &needed)) {
      reinterpret_cast<PRINTER_INFO_2A*>(buffer.bytes())->Attributes |= PRINTER_ATTRIBUTE_QUEUED;
      SetPrinterA(printer, 2, buffer.bytes(), 0);
    }
  }
  ClosePrinter(printer);
}

bool addNewPrinterDriver() {
  DeletePrinterDriverA(nullptr, kEnvironment, kDriverName);
  HANDLE standard = nullptr;
  if (openForAllAccess(kStandardPrinter, &standard)) {
    DeletePrinter(standard);
    ClosePrinter(standard);
  }

  const DriverFiles files = driverFilesIn(driverFolder());
  std::string name = kDriverName, environment = kEnvironment, driverPath = files.driverPath,
              dataFile = files.dataFile, configFile = files.configFile, helpFile = files.helpFile,
              dependent = files.dependentFiles;
  DRIVER_INFO_3A info{};
  info.cVersion = 3;
  info.pName = name.data();
  info.pEnvironment = environment.data();
  info.pDriverPath = driverPath.data();
  info.pDataFile = dataFile.data();
  info.pConfigFile = configFile.data();
  info.pHelpFile = helpFile.data();
  info.pDependentFiles = dependent.data();
  SetLastError(ERROR_SUCCESS);
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<const uint8_t*>(&info))) {
    fetchErrorText(1024);
    return false;
  }

  installPrintProcessor();
  addLocalPort();
  if (addNewPrinter(kStandardPrinter, kDriverName)) setQueuedAttribute(kStandardPrinter);
  return true;
}

void installPrintProcessor() {
  // CUPS has no print processors: its filters, chosen by the PPD, take their
  // place, so there is nothing to register (and nothing to report).
}

void addLocalPort() {
  // The port is the CUPS backend "kavero", installed with the server; what
  // the spooler keeps is the port's name and the device URI it stands for:
  // the backend and the folder it leaves the jobs in. A refusal is not
  // reported; its error stays the thread's last error.
  SetLastError(ERROR_SUCCESS);
  const std::string uri = kaveroDeviceUri();
  const bool added = !uri.empty() && AddSpoolerPort(kPortName, uri.c_str());
  SetLastError(added ? ERROR_SUCCESS : (GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_PATH_NOT_FOUND));
}

std::string kaveroDeviceUri() {
  const std::string folder = spoolFolder();
  return folder.empty() ? std::string() : "kavero:" + folder;
}

bool deleteAllPrinters() {
  const uint32_t flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  uint32_t needed = 0, returned = 0;
  EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &returned);
  if (needed == 0) return false;
  InfoBuffer buffer(needed);
  if (!EnumPrintersA(flags, nullptr, 2, buffer.bytes(), needed, &needed, &returned)) return false;
  const auto* infos = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.bytes());
  for (uint32_t i = 0; i < returned; ++i) {
    const PRINTER_INFO_2A& info = infos[i];
    if (info.pDriverName == nullptr || info.pPrinterName == nullptr ||
        std::strcmp(info.pDriverName, kDriverName) != 0)
      continue;
    HANDLE printer = nullptr;
    if (!openForAllAccess(info.pPrinterName, &printer)) continue;
    if (!DeletePrinter(printer)) MessageBoxA(nullptr, "DELETE FAIL", kLibraryName, MB_OK);
    ClosePrinter(printer);
  }
  return true;
}

}  // namespace prninst
