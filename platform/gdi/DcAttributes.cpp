// The state calls of a device context: save and restore, mapping, and the
// attribute setters.

#include <cmath>
#include <utility>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Mapping.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace platform::gdi;

namespace {
// Saved states beyond this many are refused rather than grown without bound.
constexpr size_t kMaxSavedStates = 65536;
}  // namespace

int SaveDC(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (dc->saved.size() >= kMaxSavedStates) return invalidParameter(0);
  dc->saved.push_back(dc->state);
  return int(dc->saved.size());
}

bool RestoreDC(HDC hdc, int savedDc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  int64_t level = savedDc > 0 ? savedDc : int64_t(dc->saved.size()) + 1 + savedDc;
  if (savedDc == 0 || level < 1 || level > int64_t(dc->saved.size())) return invalidParameter(false);
  HGDIOBJ bitmapBefore = dc->state.bitmap;
  dc->state = std::move(dc->saved[size_t(level - 1)]);
  dc->saved.resize(size_t(level - 1));
  if (dc->isMemoryDc() && dc->state.bitmap != bitmapBefore) restoreSelectedBitmap(*dc, bitmapBefore);
  return true;
}

int SetMapMode(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  int old = setMapMode(dc->state, mode, dc->description());
  if (!old) SetLastError(ERROR_INVALID_PARAMETER);
  return old;
}

int GetMapMode(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.mapMode : 0;
}

bool SetWindowExtEx(HDC hdc, int x, int y, SIZE* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.windowExt;
  return setWindowExt(dc->state, x, y, dc->description()) || invalidParameter(false);
}

bool SetViewportExtEx(HDC hdc, int x, int y, SIZE* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.viewportExt;
  return setViewportExt(dc->state, x, y, dc->description()) || invalidParameter(false);
}

bool SetWindowOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.windowOrg;
  dc->state.windowOrg = {x, y};
  return true;
}

bool SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.viewportOrg;
  dc->state.viewportOrg = {x, y};
  return true;
}

namespace {
int32_t addClamped(int32_t a, int32_t b) {
  int64_t r = int64_t(a) + b;
  return r > INT32_MAX ? INT32_MAX : r < INT32_MIN ? INT32_MIN : int32_t(r);
}
}  // namespace

bool OffsetWindowOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  POINT& o = dc->state.windowOrg;
  if (old) *old = o;
  o = {addClamped(o.x, x), addClamped(o.y, y)};
  return true;
}

bool OffsetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  POINT& o = dc->state.viewportOrg;
  if (old) *old = o;
  o = {addClamped(o.x, x), addClamped(o.y, y)};
  return true;
}

bool ScaleWindowExtEx(HDC hdc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.windowExt;
  return scaleWindowExt(dc->state, xNum, xDenom, yNum, yDenom, dc->description()) || invalidParameter(false);
}

bool ScaleViewportExtEx(HDC hdc, int xNum, int xDenom, int yNum, int yDenom, SIZE* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.viewportExt;
  return scaleViewportExt(dc->state, xNum, xDenom, yNum, yDenom, dc->description()) || invalidParameter(false);
}

bool GetWindowExtEx(HDC hdc, SIZE* size) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !size) return false;
  *size = dc->state.windowExt;
  return true;
}

bool GetViewportExtEx(HDC hdc, SIZE* size) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !size) return false;
  *size = dc->state.viewportExt;
  return true;
}

bool GetWindowOrgEx(HDC hdc, POINT* point) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !point) return false;
  *point = dc->state.windowOrg;
  return true;
}

bool GetViewportOrgEx(HDC hdc, POINT* point) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !point) return false;
  *point = dc->state.viewportOrg;
  return true;
}

int SetGraphicsMode(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  int old = setGraphicsMode(dc->state, mode);
  if (!old) SetLastError(ERROR_INVALID_PARAMETER);
  return old;
}

int GetGraphicsMode(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.graphicsMode : 0;
}

bool SetWorldTransform(HDC hdc, const XFORM* xform) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!xform) return invalidParameter(false);
  return setWorldTransform(dc->state, *xform) || invalidParameter(false);
}

bool ModifyWorldTransform(HDC hdc, const XFORM* xform, uint32_t mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  return modifyWorldTransform(dc->state, xform, mode) || invalidParameter(false);
}

bool GetWorldTransform(HDC hdc, XFORM* xform) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !xform) return false;
  *xform = dc->state.world;
  return true;
}

bool LPtoDP(HDC hdc, POINT* points, int count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (count < 0 || (count > 0 && !points)) return invalidParameter(false);
  transformPoints(dc->worldToDevice(), points, count);
  return true;
}

bool DPtoLP(HDC hdc, POINT* points, int count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (count < 0 || (count > 0 && !points)) return invalidParameter(false);
  bool invertible = false;
  QTransform inverse = dc->worldToDevice().inverted(&invertible);
  if (!invertible) return invalidParameter(false);
  transformPoints(inverse, points, count);
  return true;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->state.textColor, color);
}

COLORREF GetTextColor(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->state.bkColor, color);
}

COLORREF GetBkColor(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) return invalidParameter(0);
  return std::exchange(dc->state.bkMode, mode);
}

int GetBkMode(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.bkMode : 0;
}

uint32_t SetTextAlign(HDC hdc, uint32_t align) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0xFFFFFFFF;  // GDI_ERROR
  return std::exchange(dc->state.textAlign, align);
}

uint32_t GetTextAlign(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  return dc ? dc->state.textAlign : 0xFFFFFFFF;
}

int SetPolyFillMode(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (mode != ALTERNATE && mode != WINDING) return invalidParameter(0);
  return std::exchange(dc->state.polyFillMode, mode);
}

int SetROP2(HDC hdc, int rop2) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (rop2 < R2_BLACK || rop2 > R2_WHITE) return invalidParameter(0);
  return std::exchange(dc->state.rop2, rop2);
}

int SetStretchBltMode(HDC hdc, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (mode < BLACKONWHITE || mode > HALFTONE) return invalidParameter(0);
  return std::exchange(dc->state.stretchMode, mode);
}

int SetArcDirection(HDC hdc, int direction) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (direction != AD_COUNTERCLOCKWISE && direction != AD_CLOCKWISE) return invalidParameter(0);
  return std::exchange(dc->state.arcDirection, direction);
}

bool SetMiterLimit(HDC hdc, float limit, float* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!(limit >= 1.0f) || !std::isfinite(limit)) return invalidParameter(false);
  if (old) *old = dc->state.miterLimit;
  dc->state.miterLimit = limit;
  return true;
}

bool SetBrushOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.brushOrg;
  dc->state.brushOrg = {x, y};
  return true;
}

COLORREF SetDCBrushColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->state.dcBrushColor, color);
}

COLORREF SetDCPenColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  return std::exchange(dc->state.dcPenColor, color);
}

bool MoveToEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (old) *old = dc->state.currentPosition;
  dc->state.currentPosition = {x, y};
  if (dc->state.pathOpen) dc->state.pathNeedsMove = true;
  return true;
}

bool GetCurrentPositionEx(HDC hdc, POINT* point) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !point) return false;
  *point = dc->state.currentPosition;
  return true;
}

}  // namespace platform
