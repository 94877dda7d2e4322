#pragma once
// Selecting a bitmap into a memory device context: the context then draws
// on the bitmap's pixels.

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

// Makes `dc` (a memory context) draw on `bitmap`'s image and returns the
// bitmap selected before; null with the last error set when `dc` is not a
// memory context or `bitmap` is not a live bitmap.
HBITMAP selectBitmap(DeviceContext& dc, HBITMAP bitmap);

}  // namespace platform::gdi
