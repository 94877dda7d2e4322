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

#if __has_include("platform/gdi/BitmapSelect.h")
#include "platform/gdi/BitmapSelect.h"
#else
namespace platform::gdi {
HBITMAP selectBitmap(DeviceContext& dc, HBITMAP bitmap);
}
#endif

namespace platform::gdi {
// After RestoreDC brought back another bitmap handle (`shown` is the one the
// surface still draws on): draw on it again, or on the default bitmap when
// it is gone.
void restoreSelectedBitmap(DeviceContext& dc, HBITMAP shown);
}  // namespace platform::gdi
