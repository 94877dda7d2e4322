#pragma once
// A device context: the GDI state that turns logical drawing calls into
// device-space primitives on a surface. The state is one copyable value, so
// SaveDC pushes a copy and RestoreDC pops to one.

#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <memory>
#include <vector>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Surface.h"

namespace platform::gdi {

struct DcState {
  // Mapping
  int mapMode = MM_TEXT;
  POINT windowOrg{0, 0}, viewportOrg{0, 0};
  SIZE windowExt{1, 1}, viewportExt{1, 1};
  int graphicsMode = GM_COMPATIBLE;
  XFORM world{1, 0, 0, 1, 0, 0};

  // Selected objects (never null once the context is made: stock defaults)
  HGDIOBJ pen = nullptr, brush = nullptr, font = nullptr, palette = nullptr, bitmap = nullptr;
  std::shared_ptr<const PenObject> penObject;
  std::shared_ptr<const BrushObject> brushObject;
  std::shared_ptr<const FontObject> fontObject;
  std::shared_ptr<const PaletteObject> paletteObject;
  COLORREF dcBrushColor = 0xFFFFFF, dcPenColor = 0;

  // Attributes
  POINT currentPosition{0, 0};
  COLORREF textColor = 0, bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  uint32_t textAlign = TA_LEFT | TA_TOP;
  int textCharExtra = 0;
  int polyFillMode = ALTERNATE;
  int rop2 = R2_COPYPEN;
  int stretchMode = BLACKONWHITE;
  int arcDirection = AD_COUNTERCLOCKWISE;
  float miterLimit = 10.0f;
  POINT brushOrg{0, 0};
  uint32_t mapperFlags = 0;
  uint32_t layout = 0;

  // Clipping, in device pixels: the clip region and the meta region.
  bool hasClip = false;
  QRegion clip;
  bool hasMeta = false;
  QRegion meta;

  // Path under construction (logical coordinates as recorded, transformed to
  // device space when the path is closed off by EndPath).
  bool pathOpen = false;
  bool pathValid = false;
  QPainterPath path;  // device space
  // The next segment added to the path starts a figure at the current
  // position (after BeginPath, MoveToEx and CloseFigure).
  bool pathNeedsMove = true;
};

class DeviceContext {
 public:
  DeviceContext(std::shared_ptr<Surface> surface, bool memoryDc);

  DcState state;
  std::vector<DcState> saved;

  Surface& surface() { return *surface_; }
  const std::shared_ptr<Surface>& surfacePtr() const { return surface_; }
  // Memory device contexts draw on the bitmap selected into them; selecting
  // a bitmap replaces the surface.
  void setSurface(std::shared_ptr<Surface> surface) { surface_ = std::move(surface); }
  bool isMemoryDc() const { return memoryDc_; }
  // What GetDeviceCaps reports and the metric mapping modes use: the
  // surface's description, or for memory contexts the reference device's.
  const DeviceDescription& description() const { return description_; }
  void setDescription(const DeviceDescription& description) { description_ = description; }
  // GetDC(NULL) contexts, which only ReleaseDC frees.
  bool isScreenDc = false;

  // Logical to device: the page transform (window to viewport) after the
  // world transform in GM_ADVANCED.
  QTransform worldToDevice() const;
  QTransform pageTransform() const;
  QPointF toDevice(double x, double y) const;
  // The effective clip: the clip region intersected with the meta region,
  // in device pixels.
  DeviceClip deviceClip() const;

  // Printer contexts: the job the pages go to (set by the spooler layer).
  std::shared_ptr<void> job;

 private:
  std::shared_ptr<Surface> surface_;
  bool memoryDc_ = false;
  DeviceDescription description_;
};

// The context behind a live handle, or null.
DeviceContext* dcFromHandle(HDC hdc);
HDC addDeviceContext(std::unique_ptr<DeviceContext> dc);
bool removeDeviceContext(HDC hdc);

}  // namespace platform::gdi
