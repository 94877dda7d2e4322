#pragma once
// The print spooler over CUPS, with the Windows spooler's names, arguments
// and results. Printer names are the names users see (blanks allowed); the
// CUPS queue behind each has a valid queue name. Failures return 0 / false
// and set the last error to a Windows number (ERROR_INVALID_PRINTER_NAME
// 1801 for an unknown printer, ERROR_INSUFFICIENT_BUFFER 122 for a buffer
// too small, ERROR_ACCESS_DENIED 5 where CUPS refuses, ...).
//
// Structures with string pointers are filled the Windows way: the caller
// asks for the size with a null buffer, then passes a buffer of that size;
// the strings live inside that buffer after the fixed part.

#include <cstdint>

#include "platform/gdi/GdiTypes.h"

namespace platform {

using HANDLE = void*;

inline constexpr int CCHDEVICENAME = 32, CCHFORMNAME = 32;
inline constexpr uint32_t DM_ORIENTATION = 0x1, DM_PAPERSIZE = 0x2, DM_PAPERLENGTH = 0x4, DM_PAPERWIDTH = 0x8,
                          DM_SCALE = 0x10, DM_COPIES = 0x100, DM_PRINTQUALITY = 0x400, DM_YRESOLUTION = 0x2000,
                          DM_FORMNAME = 0x10000;
inline constexpr int16_t DMPAPER_USER = 256;
// DocumentPropertiesA modes and result
inline constexpr uint32_t DM_OUT_BUFFER = 2, DM_IN_PROMPT = 4, DM_IN_BUFFER = 8;
inline constexpr int16_t DMORIENT_PORTRAIT = 1, DMORIENT_LANDSCAPE = 2;
inline constexpr int16_t DMPAPER_LETTER = 1, DMPAPER_LEGAL = 5, DMPAPER_A3 = 8, DMPAPER_A4 = 9,
                         DMPAPER_A5 = 11, DMPAPER_B5 = 13;

// The ANSI device mode: 148 bytes with the fields the system reads.
struct DEVMODEA {
  char dmDeviceName[CCHDEVICENAME];
  uint16_t dmSpecVersion, dmDriverVersion, dmSize, dmDriverExtra;
  uint32_t dmFields;
  int16_t dmOrientation, dmPaperSize, dmPaperLength, dmPaperWidth, dmScale, dmCopies, dmDefaultSource,
      dmPrintQuality;
  int16_t dmColor, dmDuplex, dmYResolution, dmTTOption, dmCollate;
  char dmFormName[CCHFORMNAME];
  uint16_t dmLogPixels;
  uint32_t dmBitsPerPel, dmPelsWidth, dmPelsHeight, dmDisplayFlags, dmDisplayFrequency, dmICMMethod,
      dmICMIntent, dmMediaType, dmDitherType, dmReserved1, dmReserved2, dmPanningWidth, dmPanningHeight;
};
static_assert(sizeof(DEVMODEA) == 156 || sizeof(DEVMODEA) >= 148);

struct PRINTER_INFO_2A {
  char* pServerName;
  char* pPrinterName;
  char* pShareName;
  char* pPortName;
  char* pDriverName;
  char* pComment;
  char* pLocation;
  DEVMODEA* pDevMode;
  char* pSepFile;
  char* pPrintProcessor;
  char* pDatatype;
  char* pParameters;
  void* pSecurityDescriptor;
  uint32_t Attributes, Priority, DefaultPriority, StartTime, UntilTime, Status, cJobs, AveragePPM;
};

struct PRINTER_INFO_4A {
  char* pPrinterName;
  char* pServerName;
  uint32_t Attributes;
};

struct JOB_INFO_1A {
  uint32_t JobId;
  char* pPrinterName;
  char* pMachineName;
  char* pUserName;
  char* pDocument;
  char* pDatatype;
  char* pStatus;
  uint32_t Status, Priority, Position, TotalPages, PagesPrinted;
  uint32_t Submitted[4];
};

struct PRINTER_INFO_1A {
  uint32_t Flags;
  char* pDescription;
  char* pName;
  char* pComment;
};

struct JOB_INFO_2A {
  uint32_t JobId;
  char* pPrinterName;
  char* pMachineName;
  char* pUserName;
  char* pDocument;
  char* pNotifyName;
  char* pDatatype;
  char* pPrintProcessor;
  char* pParameters;
  char* pDriverName;
  DEVMODEA* pDevMode;
  char* pStatus;
  void* pSecurityDescriptor;
  uint32_t Status, Priority, Position, StartTime, UntilTime, TotalPages, Size;
  uint32_t Submitted[4];  // SYSTEMTIME's 8 words
  uint32_t Time, PagesPrinted;
};

struct DRIVER_INFO_3A {
  uint32_t cVersion;
  char* pName;
  char* pEnvironment;
  char* pDriverPath;
  char* pDataFile;
  char* pConfigFile;
  char* pHelpFile;
  char* pDependentFiles;
  char* pMonitorName;
  char* pDefaultDataType;
};

struct DOCINFOA {
  int cbSize;
  const char* lpszDocName;
  const char* lpszOutput;
  const char* lpszDatatype;
  uint32_t fwType;
};

inline constexpr uint32_t PRINTER_ENUM_DEFAULT = 0x1, PRINTER_ENUM_LOCAL = 0x2, PRINTER_ENUM_CONNECTIONS = 0x4,
                          PRINTER_ENUM_NAME = 0x8;
inline constexpr uint32_t PRINTER_ENUM_ICON8 = 0x00800000;
// Every CUPS queue spools the whole document before printing it.
inline constexpr uint32_t PRINTER_ATTRIBUTE_QUEUED = 0x1, PRINTER_ATTRIBUTE_DEFAULT = 0x4,
                          PRINTER_ATTRIBUTE_SHARED = 0x8, PRINTER_ATTRIBUTE_LOCAL = 0x40;
inline constexpr uint32_t PRINTER_STATUS_PAUSED = 0x1, PRINTER_STATUS_PRINTING = 0x400;
inline constexpr uint32_t PRINTER_CONTROL_PAUSE = 1, PRINTER_CONTROL_RESUME = 2, PRINTER_CONTROL_PURGE = 3;
inline constexpr uint32_t JOB_CONTROL_PAUSE = 1, JOB_CONTROL_RESUME = 2, JOB_CONTROL_CANCEL = 3,
                          JOB_CONTROL_RESTART = 4, JOB_CONTROL_DELETE = 5;
inline constexpr uint32_t JOB_POSITION_UNSPECIFIED = 0;
inline constexpr uint32_t JOB_STATUS_PAUSED = 0x1, JOB_STATUS_ERROR = 0x2, JOB_STATUS_DELETING = 0x4,
                          JOB_STATUS_SPOOLING = 0x8, JOB_STATUS_PRINTING = 0x10, JOB_STATUS_PRINTED = 0x80,
                          JOB_STATUS_DELETED = 0x100, JOB_STATUS_COMPLETE = 0x1000;

// Printers. Handles come from OpenPrinterA or AddPrinterA and stay valid
// until ClosePrinter; a handle names its printer, CUPS keeps no session.
bool EnumPrintersA(uint32_t flags, const char* name, uint32_t level, uint8_t* buffer, uint32_t size,
                   uint32_t* needed, uint32_t* returned);  // levels 1, 2 and 4 (4 as 1's names)
bool OpenPrinterA(const char* printerName, HANDLE* printer, const void* defaults);
bool ClosePrinter(HANDLE printer);
bool GetPrinterA(HANDLE printer, uint32_t level, uint8_t* buffer, uint32_t size, uint32_t* needed);
bool SetPrinterA(HANDLE printer, uint32_t level, uint8_t* info, uint32_t command);
// DM_OUT_BUFFER (2) fills `out` with the printer's current defaults; with no
// flags, returns the device mode's size.
int32_t DocumentPropertiesA(void* window, HANDLE printer, const char* deviceName, DEVMODEA* out,
                            const DEVMODEA* in, uint32_t mode);
// Level 2: pPrinterName (any text: the CUPS queue gets a valid name and
// keeps this one as its printer-info), pDriverName (a driver registered by
// AddPrinterDriverA, or the make and model of a driver the server knows),
// pPortName (a port of AddSpoolerPort, or a device URI). The other fields
// are kept with the printer. ERROR_PRINTER_ALREADY_EXISTS,
// ERROR_UNKNOWN_PRINTER_DRIVER, ERROR_UNKNOWN_PORT (1796) on refusal.
HANDLE AddPrinterA(const char* server, uint32_t level, const uint8_t* info);
bool DeletePrinter(HANDLE printer);
bool GetDefaultPrinterA(char* buffer, uint32_t* size);

// Ports: a port name stands for a CUPS device URI, whose scheme must be an
// installed backend ("pdffolder:/srv/out", "socket://host:9100").
bool AddSpoolerPort(const char* portName, const char* deviceUri);
bool DeleteSpoolerPort(const char* portName);

// Drivers. A driver is a PPD file named after the driver in the driver
// folder's "3" subfolder (GetPrinterDriverDirectoryA: <machine root>/Spool/
// DRIVERS/W32X86 for "Windows NT x86"). AddPrinterDriverA (level 3, or 2)
// checks that the driver, data and configuration files exist (names
// without a folder are taken from the driver folder, backslashes count as
// slashes), then writes the PPD: the data file itself when it is a PPD, else a PPD
// for PDF output; its *NickName is the driver's name either way.
bool AddPrinterDriverA(const char* server, uint32_t level, const uint8_t* info);
bool DeletePrinterDriverA(const char* server, const char* environment, const char* driverName);
bool GetPrinterDriverDirectoryA(const char* server, const char* environment, uint32_t level, uint8_t* buffer,
                                uint32_t size, uint32_t* needed);

// Jobs
bool GetJobA(HANDLE printer, uint32_t jobId, uint32_t level, uint8_t* buffer, uint32_t size, uint32_t* needed);
bool SetJobA(HANDLE printer, uint32_t jobId, uint32_t level, uint8_t* info, uint32_t command);

// Printer device contexts: pages drawn into them become one PDF document
// sent to the printer's queue by EndDoc.
HDC CreateDCA(const char* driver, const char* device, const char* output, const DEVMODEA* devMode);
int StartDocA(HDC hdc, const DOCINFOA* info);  // the job id, or <= 0
int StartPage(HDC hdc);
int EndPage(HDC hdc);
int EndDoc(HDC hdc);
int AbortDoc(HDC hdc);

}  // namespace platform
