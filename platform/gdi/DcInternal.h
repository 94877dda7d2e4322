#pragma once
// Helpers shared by the device-context units: handle checks that set the
// last error, and the surface of contexts that draw nowhere.

#include <memory>

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

// The context behind `hdc`, or null with ERROR_INVALID_HANDLE set.
DeviceContext* dcOrFail(HDC hdc);
// Sets ERROR_INVALID_PARAMETER and returns `result`.
template <typename T>
T invalidParameter(T result);

// A surface that draws nothing and reads back white: the screen stand-in and
// memory contexts before a bitmap is selected.
std::shared_ptr<Surface> makeNullSurface(const DeviceDescription& description);

// The device description of the screen stand-in.
DeviceDescription screenDeviceDescription();

}  // namespace platform::gdi
