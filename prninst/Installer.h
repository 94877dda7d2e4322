#pragma once
// The installer's steps in C++, under the C exports of prninst.h.

#include <cstdint>
#include <string>

#include "platform/spooler/SpoolerApi.h"

namespace prninst {

inline constexpr const char* kStandardPrinter = "Folisto Brelvane";
inline constexpr const char* kDriverName = "Folisto_Brelvane Driver";
inline constexpr const char* kEnvironment = "Windows NT x86";
inline constexpr const char* kPortName = "Kavero Port";
inline constexpr const char* kPrintProcessor = "KaveroProc";
inline constexpr const char* kPrintProcessorFile = "kaveroproc.dll";
inline constexpr const char* kDatatype = "NT EMF 1.008";
inline constexpr const char* kLibraryName = "Prninst";  // caption of its one message box

inline constexpr uint32_t PRINTER_ALL_ACCESS = 0xF000C;

// The spooler's open options (PRINTER_DEFAULTS): data type, device mode and
// the access wanted.
struct PrinterDefaults {
  char* pDatatype = nullptr;
  platform::DEVMODEA* pDevMode = nullptr;
  uint32_t DesiredAccess = 0;
};

// The names the driver is registered with, joined to the driver folder.
struct DriverFiles {
  std::string driverPath, dataFile, configFile, helpFile;
  // The dependent files: each name with its zero, then one more zero.
  std::string dependentFiles;
};
DriverFiles driverFilesIn(const std::string& driverFolder);

// The file that carries the driver's description (the PPD): the data file.
inline constexpr const char* kDataFileName = "Kavero.GPD";

bool addNewPrinter(const char* printerName, const char* driverName);
void setQueuedAttribute(const char* printerName);
bool addNewPrinterDriver();
void installPrintProcessor();
void addLocalPort();
bool deleteAllPrinters();

// The spooler's driver folder for the installer's environment, or "".
std::string driverFolder();

// The device URI behind "Kavero Port": the backend "kavero" and the spool
// folder of the machine root, where it leaves each job's document. "" when
// there is no machine root.
std::string kaveroDeviceUri();

}  // namespace prninst
