// Printers: listing, opening, reading and changing them, adding and
// deleting them.

#include <cstring>
#include <vector>

#include "platform/spooler/CupsQueues.h"
#include "platform/spooler/DevModes.h"
#include "platform/spooler/Drivers.h"
#include "platform/spooler/InfoBuffer.h"
#include "platform/spooler/PrinterHandles.h"
#include "platform/spooler/PrinterStore.h"
#include "platform/spooler/QueueNames.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace spooler;

namespace {

// Everything the information levels report about one printer.
struct PrinterRecord {
  QueueFacts facts;
  PrinterSetup setup;
  PrinterExtras extras;
  bool isDefault = false;
  std::string displayName, portName;
};

std::string defaultQueue() {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
  std::string name = dest != nullptr && dest->name != nullptr ? dest->name : "";
  if (dest != nullptr) cupsFreeDests(1, dest);
  return name;
}

std::string portNameOf(const QueueFacts& facts) {
  const std::string port = portForUri(facts.deviceUri);
  return port.empty() ? facts.deviceUri : port;
}

std::optional<PrinterRecord> recordOf(const QueueFacts& facts, const std::string& defaultName, bool withSetup) {
  PrinterRecord record;
  record.facts = facts;
  record.displayName = facts.displayName();
  record.portName = portNameOf(facts);
  record.extras = readExtras(record.displayName);
  record.isDefault = facts.queue == defaultName;
  if (withSetup) {
    auto setup = currentSetup(facts.queue);
    if (!setup) return std::nullopt;
    record.setup = *setup;
  }
  return record;
}

uint32_t attributesOf(const PrinterRecord& r) {
  uint32_t attributes = r.extras.attributes | PRINTER_ATTRIBUTE_QUEUED | PRINTER_ATTRIBUTE_LOCAL;
  if (r.isDefault) attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  return attributes;
}

uint32_t statusOf(const QueueFacts& facts) {
  if (facts.state == IPP_PSTATE_STOPPED) return PRINTER_STATUS_PAUSED;
  if (facts.state == IPP_PSTATE_PROCESSING) return PRINTER_STATUS_PRINTING;
  return 0;
}

void fill1(InfoPacker& p, const PrinterRecord& r, PRINTER_INFO_1A& info) {
  info.Flags = PRINTER_ENUM_ICON8;
  info.pDescription =
      p.string(r.displayName + "," + utf8ToAnsi(r.facts.makeAndModel) + "," + utf8ToAnsi(r.facts.location));
  info.pName = p.string(r.displayName);
  info.pComment = p.string(r.extras.comment);
}

void fill2(InfoPacker& p, const PrinterRecord& r, PRINTER_INFO_2A& info) {
  info.pServerName = nullptr;
  info.pPrinterName = p.string(r.displayName);
  info.pShareName = p.optionalString(r.extras.shareName);
  info.pPortName = p.string(utf8ToAnsi(r.portName));
  info.pDriverName = p.string(utf8ToAnsi(r.facts.makeAndModel));
  info.pComment = p.string(r.extras.comment);
  info.pLocation = p.string(utf8ToAnsi(r.facts.location));
  info.pDevMode = p.devMode(devModeFor(r.displayName, r.setup));
  info.pSepFile = p.string(r.extras.separatorFile);
  info.pPrintProcessor = p.string(r.extras.printProcessor);
  info.pDatatype = p.string(r.extras.datatype);
  info.pParameters = p.string(r.extras.parameters);
  info.pSecurityDescriptor = nullptr;
  info.Attributes = attributesOf(r);
  info.Priority = r.extras.priority;
  info.DefaultPriority = r.extras.defaultPriority;
  info.Status = statusOf(r.facts);
  info.cJobs = static_cast<uint32_t>(std::max(0, r.facts.jobCount));
  info.AveragePPM = r.extras.averagePpm;
}

void fill4(InfoPacker& p, const PrinterRecord& r, PRINTER_INFO_4A& info) {
  info.pPrinterName = p.string(r.displayName);
  info.pServerName = nullptr;
  info.Attributes = attributesOf(r);
}

bool packLevel(uint32_t level, const std::vector<PrinterRecord>& records, uint8_t* buffer, uint32_t size,
               uint32_t* needed) {
  switch (level) {
    case 1:
      return packRecords<PRINTER_INFO_1A>(records.size(), buffer, size, needed,
                                          [&](InfoPacker& p, size_t i, PRINTER_INFO_1A& r) { fill1(p, records[i], r); });
    case 2:
      return packRecords<PRINTER_INFO_2A>(records.size(), buffer, size, needed,
                                          [&](InfoPacker& p, size_t i, PRINTER_INFO_2A& r) { fill2(p, records[i], r); });
    case 4:
      return packRecords<PRINTER_INFO_4A>(records.size(), buffer, size, needed,
                                          [&](InfoPacker& p, size_t i, PRINTER_INFO_4A& r) { fill4(p, records[i], r); });
    default:
      return fail(ERROR_INVALID_LEVEL);
  }
}

// A port name of AddSpoolerPort, or a device URI as it stands.
std::optional<std::string> deviceUriForPort(const char* port) {
  if (port == nullptr || *port == '\0') {
    fail(ERROR_UNKNOWN_PORT);
    return std::nullopt;
  }
  std::string uri = uriForPort(port);
  if (uri.empty() && std::strchr(port, ':') != nullptr && std::strchr(port, ' ') == nullptr) uri = port;
  if (uri.empty()) {
    fail(ERROR_UNKNOWN_PORT);
    return std::nullopt;
  }
  return uri;
}

// The facts the registry keeps, as a level-2 structure gives them.
PrinterExtras extrasFrom(const PRINTER_INFO_2A& info) {
  auto str = [](const char* s) { return std::string(s != nullptr ? s : ""); };
  PrinterExtras extras;
  extras.printProcessor = str(info.pPrintProcessor);
  extras.datatype = str(info.pDatatype);
  extras.comment = str(info.pComment);
  extras.separatorFile = str(info.pSepFile);
  extras.parameters = str(info.pParameters);
  extras.shareName = str(info.pShareName);
  // The queued and local bits hold for every printer here, and the default
  // bit belongs to the server.
  extras.attributes = info.Attributes & ~(PRINTER_ATTRIBUTE_QUEUED | PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DEFAULT);
  extras.priority = info.Priority;
  extras.defaultPriority = info.DefaultPriority;
  extras.averagePpm = info.AveragePPM;
  return extras;
}

bool controlPrinter(const std::string& queue, uint32_t command) {
  switch (command) {
    case 0: return true;
    case PRINTER_CONTROL_PAUSE: return printerOperation(queue, IPP_OP_PAUSE_PRINTER);
    case PRINTER_CONTROL_RESUME: return printerOperation(queue, IPP_OP_RESUME_PRINTER);
    case PRINTER_CONTROL_PURGE: return printerOperation(queue, IPP_OP_PURGE_JOBS);
    default: return fail(ERROR_INVALID_PARAMETER);
  }
}

}  // namespace

bool EnumPrintersA(uint32_t flags, const char* /*name*/, uint32_t level, uint8_t* buffer, uint32_t size,
                   uint32_t* needed, uint32_t* returned) {
  if (returned != nullptr) *returned = 0;
  if (needed != nullptr) *needed = 0;
  if (level != 1 && level != 2 && level != 4) return fail(ERROR_INVALID_LEVEL);
  if ((flags & (PRINTER_ENUM_DEFAULT | PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS | PRINTER_ENUM_NAME)) == 0)
    return true;
  const auto queues = listQueues();
  if (!queues) return false;
  const std::string defaultName = defaultQueue();
  std::vector<PrinterRecord> records;
  for (const QueueFacts& facts : *queues) {
    if (flags == PRINTER_ENUM_DEFAULT && facts.queue != defaultName) continue;
    auto record = recordOf(facts, defaultName, level == 2);
    if (!record) return false;
    records.push_back(std::move(*record));
  }
  if (!packLevel(level, records, buffer, size, needed)) return false;
  if (returned != nullptr) *returned = static_cast<uint32_t>(records.size());
  return true;
}

bool OpenPrinterA(const char* printerName, HANDLE* printer, const void* /*defaults*/) {
  if (printer == nullptr) return fail(ERROR_INVALID_PARAMETER);
  *printer = nullptr;
  const auto facts = findPrinter(printerName);
  if (!facts) return false;
  *printer = openHandle({facts->queue, facts->displayName()});
  return true;
}

bool ClosePrinter(HANDLE printer) { return closeHandle(printer); }

bool GetPrinterA(HANDLE printer, uint32_t level, uint8_t* buffer, uint32_t size, uint32_t* needed) {
  if (needed != nullptr) *needed = 0;
  const auto handle = handleInfo(printer);
  if (!handle) return false;
  if (level != 1 && level != 2 && level != 4) return fail(ERROR_INVALID_LEVEL);
  const auto facts = queueFacts(handle->queue);
  if (!facts) return false;
  auto record = recordOf(*facts, defaultQueue(), level == 2);
  if (!record) return false;
  return packLevel(level, {*record}, buffer, size, needed);
}

bool SetPrinterA(HANDLE printer, uint32_t level, uint8_t* info, uint32_t command) {
  const auto handle = handleInfo(printer);
  if (!handle) return false;
  if (level == 0) return command != 0 ? controlPrinter(handle->queue, command) : fail(ERROR_INVALID_PARAMETER);
  if (level != 2) return fail(ERROR_INVALID_LEVEL);
  if (info == nullptr) return fail(ERROR_INVALID_PARAMETER);
  PRINTER_INFO_2A pi;
  std::memcpy(&pi, info, sizeof pi);
  const auto facts = queueFacts(handle->queue);
  if (!facts) return false;
  if (pi.pPrinterName != nullptr && handle->displayName != pi.pPrinterName) return fail(ERROR_NOT_SUPPORTED);

  DefaultsChange change;
  if (pi.pDevMode != nullptr) change = changeFrom(*pi.pDevMode);
  if (pi.pLocation != nullptr && ansiToUtf8(pi.pLocation) != facts->location) change.location = ansiToUtf8(pi.pLocation);
  if (pi.pPortName != nullptr && ansiToUtf8(pi.pPortName) != portNameOf(*facts)) {
    const auto uri = deviceUriForPort(pi.pPortName);
    if (!uri) return false;
    if (*uri != facts->deviceUri) change.deviceUri = *uri;
  }
  if ((change.media || change.orientation || change.copies || change.location || change.deviceUri) &&
      !writeDefaults(handle->queue, change))
    return false;
  if (!writeExtras(handle->displayName, extrasFrom(pi))) return false;
  return controlPrinter(handle->queue, command);
}

int32_t DocumentPropertiesA(void* /*window*/, HANDLE printer, const char* deviceName, DEVMODEA* out,
                            const DEVMODEA* in, uint32_t mode) {
  std::string queue, display;
  if (printer != nullptr) {
    const auto handle = handleInfo(printer);
    if (!handle) return -1;
    queue = handle->queue;
    display = handle->displayName;
  } else {
    const auto facts = findPrinter(deviceName);
    if (!facts) return -1;
    queue = facts->queue;
    display = facts->displayName();
  }
  if (mode == 0) return static_cast<int32_t>(sizeof(DEVMODEA));
  DefaultsChange change;
  if ((mode & DM_IN_BUFFER) != 0 && in != nullptr) change = changeFrom(*in);
  const auto setup = currentSetup(queue, &change);
  if (!setup) return -1;
  if ((mode & DM_OUT_BUFFER) != 0) {
    if (out == nullptr) {
      fail(ERROR_INVALID_PARAMETER);
      return -1;
    }
    *out = devModeFor(display, *setup);
  }
  return 1;  // IDOK: no dialog is ever shown
}

HANDLE AddPrinterA(const char* /*server*/, uint32_t level, const uint8_t* info) {
  if (level != 2) {
    fail(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  if (info == nullptr) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  PRINTER_INFO_2A pi;
  std::memcpy(&pi, info, sizeof pi);
  if (pi.pPrinterName == nullptr || *pi.pPrinterName == '\0') {
    fail(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }
  const std::string display = pi.pPrinterName;
  const std::string queue = queueNameFor(display);
  if (queueFacts(queue)) {
    fail(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  if (GetLastError() != ERROR_INVALID_PRINTER_NAME) return nullptr;
  const auto driver = findDriver(pi.pDriverName != nullptr ? pi.pDriverName : "");
  if (!driver) return nullptr;
  const auto uri = deviceUriForPort(pi.pPortName);
  if (!uri) return nullptr;

  ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
  if (!driver->ppdName.empty())
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "ppd-name", nullptr, driver->ppdName.c_str());
  ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, uri->c_str());
  ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, ansiToUtf8(display).c_str());
  if (pi.pLocation != nullptr)
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-location", nullptr, ansiToUtf8(pi.pLocation).c_str());
  ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
  ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
  ipp_t* response = sendRequest(request, Subject::Printer, "/admin/",
                                driver->ppdFile.empty() ? nullptr : driver->ppdFile.c_str());
  if (response == nullptr) return nullptr;
  ippDelete(response);
  if (!writeExtras(display, extrasFrom(pi))) return nullptr;
  if (pi.pDevMode != nullptr) writeDefaults(queue, changeFrom(*pi.pDevMode));
  SetLastError(ERROR_SUCCESS);
  return openHandle({queue, display});
}

bool DeletePrinter(HANDLE printer) {
  const auto handle = handleInfo(printer);
  if (!handle) return false;
  if (!printerOperation(handle->queue, IPP_OP_CUPS_DELETE_PRINTER)) return false;
  deleteExtras(handle->displayName);
  return true;
}

bool GetDefaultPrinterA(char* buffer, uint32_t* size) {
  if (size == nullptr) return fail(ERROR_INVALID_PARAMETER);
  const std::string queue = defaultQueue();
  if (queue.empty()) return fail(ERROR_FILE_NOT_FOUND);
  const auto facts = queueFacts(queue);
  const std::string name = facts ? facts->displayName() : utf8ToAnsi(queue);
  const auto wanted = static_cast<uint32_t>(name.size() + 1);
  if (buffer == nullptr || *size < wanted) {
    *size = wanted;
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, name.c_str(), wanted);
  *size = wanted;
  return true;
}

bool AddSpoolerPort(const char* portName, const char* deviceUri) {
  if (portName == nullptr || deviceUri == nullptr) return fail(ERROR_INVALID_PARAMETER);
  return addPort(portName, deviceUri);
}

bool DeleteSpoolerPort(const char* portName) {
  if (portName == nullptr) return fail(ERROR_INVALID_PARAMETER);
  return deletePort(portName);
}

}  // namespace platform
