#pragma once
// Where a printer's driver comes from when a printer is added.

#include <optional>
#include <string>

namespace platform::spooler {

struct DriverSource {
  std::string ppdFile;  // a registered driver's PPD, uploaded with the printer
  std::string ppdName;  // or a driver the server has in its model list
};

// The driver whose name (a PPD's *NickName, the server's make and model)
// is exactly `driverName`; ERROR_UNKNOWN_PRINTER_DRIVER when none is.
std::optional<DriverSource> findDriver(const std::string& driverName);

}  // namespace platform::spooler
