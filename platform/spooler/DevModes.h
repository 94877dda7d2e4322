#pragma once
// Device modes from and onto a printer's setup.

#include <string>

#include "platform/spooler/CupsQueues.h"
#include "platform/spooler/SpoolerApi.h"

namespace platform::spooler {

// The device mode of `setup`, for the printer users know as `displayName`.
DEVMODEA devModeFor(const std::string& displayName, const PrinterSetup& setup);

// The changes a device mode asks for, field by field as dmFields names
// them. Values CUPS cannot take (an unknown paper code, an orientation
// other than 1 or 2, fewer than one copy) are left out.
DefaultsChange changeFrom(const DEVMODEA& mode);

}  // namespace platform::spooler
