#include "platform/gdi/Mapping.h"

#include <cstdlib>

#include "platform/gdi/DeviceContext.h"

namespace platform::gdi {

int32_t mulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return 0;
  int64_t p = int64_t(a) * int64_t(b);
  int64_t q = c;
  if (q < 0) {
    p = -p;
    q = -q;
  }
  int64_t r = p >= 0 ? (p + q / 2) / q : -((-p + q / 2) / q);
  if (r > INT32_MAX || r < INT32_MIN) return 0;
  return static_cast<int32_t>(r);
}

QTransform toQTransform(const XFORM& x) {
  return QTransform(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
}

XFORM toXform(const QTransform& t) {
  return XFORM{float(t.m11()), float(t.m12()), float(t.m21()), float(t.m22()), float(t.dx()), float(t.dy())};
}

bool isSingular(const XFORM& x) {
  double det = double(x.eM11) * x.eM22 - double(x.eM12) * x.eM21;
  return det == 0.0 || !std::isfinite(det) || !std::isfinite(x.eDx) || !std::isfinite(x.eDy);
}

namespace {

// Window extents of the metric modes: the device's size in the mode's
// units (tenths and hundredths of millimetres and of inches, twips).
SIZE metricWindowExt(int mode, const DeviceDescription& d) {
  auto scaled = [](int mm, int num, int den) { return mulDiv(mm, num, den); };
  switch (mode) {
    case MM_LOMETRIC:
    case MM_ISOTROPIC:
      return {scaled(d.widthMm, 10, 1), scaled(d.heightMm, 10, 1)};
    case MM_HIMETRIC:
      return {scaled(d.widthMm, 100, 1), scaled(d.heightMm, 100, 1)};
    case MM_LOENGLISH:
      return {scaled(d.widthMm, 1000, 254), scaled(d.heightMm, 1000, 254)};
    case MM_HIENGLISH:
      return {scaled(d.widthMm, 10000, 254), scaled(d.heightMm, 10000, 254)};
    case MM_TWIPS:
      return {scaled(d.widthMm, 14400, 254), scaled(d.heightMm, 14400, 254)};
    default:
      return {1, 1};
  }
}

bool scalable(const DcState& s) { return s.mapMode == MM_ISOTROPIC || s.mapMode == MM_ANISOTROPIC; }

int32_t nonZero(int32_t v) { return v == 0 ? 1 : v; }

}  // namespace

int setMapMode(DcState& s, int mode, const DeviceDescription& device) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
  int old = s.mapMode;
  if (mode == old && scalable(s)) return old;
  s.mapMode = mode;
  switch (mode) {
    case MM_TEXT:
      s.windowExt = {1, 1};
      s.viewportExt = {1, 1};
      break;
    case MM_ANISOTROPIC:
      break;  // keeps the extents in force
    default:
      s.windowExt = metricWindowExt(mode, device);
      s.windowExt.cx = nonZero(s.windowExt.cx);
      s.windowExt.cy = nonZero(s.windowExt.cy);
      s.viewportExt = {nonZero(device.width), -nonZero(device.height)};
      break;
  }
  return old;
}

void fixIsotropic(DcState& s, const DeviceDescription& device) {
  if (s.mapMode != MM_ISOTROPIC) return;
  double pixelX = (device.width > 0 && device.widthMm > 0) ? double(device.widthMm) / device.width : 1.0;
  double pixelY = (device.height > 0 && device.heightMm > 0) ? double(device.heightMm) / device.height : 1.0;
  // Millimetres per logical unit in each direction.
  double mmX = std::fabs(double(s.viewportExt.cx) / s.windowExt.cx) * pixelX;
  double mmY = std::fabs(double(s.viewportExt.cy) / s.windowExt.cy) * pixelY;
  if (mmX > mmY) {
    double v = std::fabs(double(s.viewportExt.cx)) * mmY / mmX;
    int32_t r = nonZero(roundCoord(v));
    s.viewportExt.cx = s.viewportExt.cx < 0 ? -r : r;
  } else if (mmY > mmX) {
    double v = std::fabs(double(s.viewportExt.cy)) * mmX / mmY;
    int32_t r = nonZero(roundCoord(v));
    s.viewportExt.cy = s.viewportExt.cy < 0 ? -r : r;
  }
}

bool setWindowExt(DcState& s, int32_t x, int32_t y, const DeviceDescription& device) {
  if (!scalable(s)) return true;
  if (x == 0 || y == 0) return false;
  s.windowExt = {x, y};
  fixIsotropic(s, device);
  return true;
}

bool setViewportExt(DcState& s, int32_t x, int32_t y, const DeviceDescription& device) {
  if (!scalable(s)) return true;
  if (x == 0 || y == 0) return false;
  s.viewportExt = {x, y};
  fixIsotropic(s, device);
  return true;
}

namespace {
bool scaleExt(SIZE& ext, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
  if (xDenom == 0 || yDenom == 0) return false;
  int32_t x = mulDiv(ext.cx, xNum, xDenom);
  int32_t y = mulDiv(ext.cy, yNum, yDenom);
  if (x == 0 || y == 0) return false;
  ext = {x, y};
  return true;
}
}  // namespace

bool scaleWindowExt(DcState& s, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                    const DeviceDescription& device) {
  if (!scalable(s)) return true;
  if (!scaleExt(s.windowExt, xNum, xDenom, yNum, yDenom)) return false;
  fixIsotropic(s, device);
  return true;
}

bool scaleViewportExt(DcState& s, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom,
                      const DeviceDescription& device) {
  if (!scalable(s)) return true;
  if (!scaleExt(s.viewportExt, xNum, xDenom, yNum, yDenom)) return false;
  fixIsotropic(s, device);
  return true;
}

bool setWorldTransform(DcState& s, const XFORM& x) {
  if (s.graphicsMode != GM_ADVANCED || isSingular(x)) return false;
  s.world = x;
  return true;
}

bool modifyWorldTransform(DcState& s, const XFORM* x, uint32_t mode) {
  if (s.graphicsMode != GM_ADVANCED) return false;
  QTransform result;
  switch (mode) {
    case MWT_IDENTITY:
      s.world = XFORM{1, 0, 0, 1, 0, 0};
      return true;
    case MWT_LEFTMULTIPLY:
      if (!x) return false;
      result = toQTransform(*x) * toQTransform(s.world);
      break;
    case MWT_RIGHTMULTIPLY:
      if (!x) return false;
      result = toQTransform(s.world) * toQTransform(*x);
      break;
    case MWT_SET:
      if (!x) return false;
      return setWorldTransform(s, *x);
    default:
      return false;
  }
  XFORM combined = toXform(result);
  if (isSingular(combined)) return false;
  s.world = combined;
  return true;
}

int setGraphicsMode(DcState& s, int mode) {
  if (mode != GM_COMPATIBLE && mode != GM_ADVANCED) return 0;
  int old = s.graphicsMode;
  s.graphicsMode = mode;
  return old;
}

QTransform pageTransform(const DcState& s) {
  double sx = double(s.viewportExt.cx) / nonZero(s.windowExt.cx);
  double sy = double(s.viewportExt.cy) / nonZero(s.windowExt.cy);
  double dx = s.viewportOrg.x - double(s.windowOrg.x) * sx;
  double dy = s.viewportOrg.y - double(s.windowOrg.y) * sy;
  return QTransform(sx, 0, 0, sy, dx, dy);
}

QTransform worldToDevice(const DcState& s) {
  if (s.graphicsMode != GM_ADVANCED) return pageTransform(s);
  return toQTransform(s.world) * pageTransform(s);
}

void transformPoints(const QTransform& t, POINT* points, int count) {
  for (int i = 0; i < count; ++i) {
    double x = points[i].x, y = points[i].y;
    double tx = t.m11() * x + t.m21() * y + t.dx();
    double ty = t.m12() * x + t.m22() * y + t.dy();
    points[i] = {roundCoord(tx), roundCoord(ty)};
  }
}

}  // namespace platform::gdi
