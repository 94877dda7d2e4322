#include "platform/gdi/BitmapSelect.h"

#include <cmath>

#include "platform/gdi/Surfaces.h"
#include "platform/system/LastError.h"

namespace platform::gdi {

HBITMAP selectBitmap(DeviceContext& dc, HBITMAP bitmap) {
  if (!dc.isMemoryDc()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = objectAs<BitmapObject>(bitmap);
  if (!object || !object->image || object->image->isNull()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // The surface is the bitmap: its size and depth, the reference device's
  // resolution and kind.
  DeviceDescription description = dc.description();
  description.width = object->image->width();
  description.height = object->image->height();
  description.bitsPerPixel = object->bitsPerPixel;
  auto mm = [](int pixels, int dpi) { return dpi > 0 ? int(std::lround(pixels * 25.4 / dpi)) : 0; };
  description.widthMm = mm(description.width, description.dpiX);
  description.heightMm = mm(description.height, description.dpiY);
  description.physicalWidth = description.physicalHeight = 0;
  description.physicalOffsetX = description.physicalOffsetY = 0;
  dc.setSurface(makeRasterSurface(object->image, description));
  HBITMAP previous = dc.state.bitmap;
  dc.state.bitmap = bitmap;
  return previous;
}

}  // namespace platform::gdi
