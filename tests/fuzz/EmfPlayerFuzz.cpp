// Plays arbitrary bytes as an enhanced metafile into a small raster
// surface, once with PlayEnhMetaFile and once through EnumEnhMetaFile with
// PlayEnhMetaFileRecord, and checks that the caller's context comes back
// exactly as it was handed in.

#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/emf/EnhMetaFile.h"
#include "platform/emf/PlayerApi.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/GuiApplication.h"
#include "platform/gdi/Surfaces.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using namespace platform;
using fbfuzz::check;

constexpr int kSize = 96;

// The parts of the context's state a playback must give back.
struct CallerState {
  int mapMode = 0, graphicsMode = 0, bkMode = 0;
  SIZE windowExt{}, viewportExt{};
  POINT windowOrg{}, viewportOrg{};
  XFORM world{};
  COLORREF textColor = 0, bkColor = 0;
  HGDIOBJ pen = nullptr, brush = nullptr, font = nullptr;
  RECT clipBox{};
  int clipKind = 0;

  static CallerState of(HDC hdc) {
    CallerState s;
    s.mapMode = GetMapMode(hdc);
    s.graphicsMode = GetGraphicsMode(hdc);
    s.bkMode = GetBkMode(hdc);
    GetWindowExtEx(hdc, &s.windowExt);
    GetViewportExtEx(hdc, &s.viewportExt);
    GetWindowOrgEx(hdc, &s.windowOrg);
    GetViewportOrgEx(hdc, &s.viewportOrg);
    GetWorldTransform(hdc, &s.world);
    s.textColor = GetTextColor(hdc);
    s.bkColor = GetBkColor(hdc);
    s.pen = GetCurrentObject(hdc, OBJ_PEN);
    s.brush = GetCurrentObject(hdc, OBJ_BRUSH);
    s.font = GetCurrentObject(hdc, OBJ_FONT);
    s.clipKind = GetClipBox(hdc, &s.clipBox);
    return s;
  }

  bool operator==(const CallerState& o) const {
    const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    return mapMode == o.mapMode && graphicsMode == o.graphicsMode && bkMode == o.bkMode &&
           same(windowExt, o.windowExt) && same(viewportExt, o.viewportExt) && same(windowOrg, o.windowOrg) &&
           same(viewportOrg, o.viewportOrg) && same(world, o.world) && textColor == o.textColor &&
           bkColor == o.bkColor && pen == o.pen && brush == o.brush && font == o.font && clipKind == o.clipKind &&
           same(clipBox, o.clipBox);
  }
};

int playEach(HDC hdc, HANDLETABLE* table, const ENHMETARECORD* record, int handles, void* data) {
  check(table != nullptr && handles >= 1, "enumeration without a handle table");
  check(record->nSize >= 8 && record->nSize % 4 == 0, "enumerated record of impossible size");
  ++*static_cast<int*>(data);
  PlayEnhMetaFileRecord(hdc, table, record, static_cast<uint32_t>(handles));
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gdi::ensureGuiApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<uint32_t>(size), data);
  if (metafile == nullptr) return 0;

  auto image = std::make_shared<QImage>(kSize, kSize, QImage::Format_RGB32);
  image->fill(Qt::white);
  gdi::DeviceDescription device;
  device.width = device.height = kSize;
  device.widthMm = device.heightMm = 25;
  HDC hdc = CreateSurfaceDC(gdi::makeRasterSurface(image, device));
  check(hdc != nullptr, "no context");

  // A caller with a mapping of its own and a clip, as the page viewers have.
  SetMapMode(hdc, MM_ANISOTROPIC);
  SetWindowExtEx(hdc, 200, 200, nullptr);
  SetViewportExtEx(hdc, kSize, kSize, nullptr);
  IntersectClipRect(hdc, 10, 10, 190, 190);
  SetTextColor(hdc, RGB(1, 2, 3));
  const CallerState before = CallerState::of(hdc);
  const RECT rect{0, 0, 200, 200};

  PlayEnhMetaFile(hdc, metafile, &rect);
  check(CallerState::of(hdc) == before, "PlayEnhMetaFile left the caller's state changed");

  int records = 0;
  EnumEnhMetaFile(hdc, metafile, playEach, &records, &rect);
  check(records >= 1, "the header record was not enumerated");
  check(CallerState::of(hdc) == before, "EnumEnhMetaFile left the caller's state changed");

  DeleteDC(hdc);
  DeleteEnhMetaFile(metafile);
  return 0;
}
