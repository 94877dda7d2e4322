#pragma once
// What the spooler keeps beside CUPS, in the machine's registry: the
// printer facts CUPS has no attribute for (print processor, data type,
// comment, ...), under the spooler's printer key
// SYSTEM\CurrentControlSet\Control\Print\Printers\<printer name>, and the
// ports (port name -> device URI) under
// SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports.

#include <cstdint>
#include <string>

namespace platform::spooler {

struct PrinterExtras {
  std::string printProcessor, datatype, comment, separatorFile, parameters, shareName;
  uint32_t attributes = 0, priority = 0, defaultPriority = 0, averagePpm = 0;
};

std::string printerKeyPath(const std::string& displayName);
PrinterExtras readExtras(const std::string& displayName);
bool writeExtras(const std::string& displayName, const PrinterExtras& extras);
void deleteExtras(const std::string& displayName);

// Empty when the port is not registered.
std::string uriForPort(const std::string& port);
// The registered port of a device URI, or empty.
std::string portForUri(const std::string& uri);
bool addPort(const std::string& port, const std::string& uri);
bool deletePort(const std::string& port);

}  // namespace platform::spooler
