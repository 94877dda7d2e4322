#include <QColor>
#include <mutex>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Mapping.h"
#include "platform/system/LastError.h"

namespace platform::gdi {

namespace {

constexpr uint64_t kSlotBits = 24;
constexpr uint64_t kSlotMask = (uint64_t(1) << kSlotBits) - 1;
constexpr uint64_t kDcTag = uint64_t(1) << 62;  // keeps context handles apart from object handles

struct DcSlot {
  std::unique_ptr<DeviceContext> dc;
  uint32_t generation = 1;
};

struct DcTable {
  std::mutex mutex;
  std::vector<DcSlot> entries_;
  std::vector<uint32_t> freeEntries_;
};

DcTable& dcTable() {
  static DcTable* t = new DcTable;
  return *t;
}

class NullSurface : public Surface {
 public:
  explicit NullSurface(const DeviceDescription& d) : description_(d) {}
  const DeviceDescription& description() const override { return description_; }
  void fillPath(const QPainterPath&, const Paint&, const DeviceClip&) override {}
  void fillRegion(const QRegion&, const Paint&, const DeviceClip&) override {}
  void strokeCosmetic(const QPainterPath&, const QPen&, int, const DeviceClip&) override {}
  void drawImage(const QImage&, const QTransform&, bool, const DeviceClip&) override {}
  void drawText(const TextRun&, const DeviceClip&) override {}
  QImage readPixels(const QRect& rect) const override {
    QImage image(rect.size().expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
  }
  void writePixels(const QImage&, const QPoint&, const DeviceClip&) override {}

 private:
  DeviceDescription description_;
};

ScreenDescription& screenSetting() {
  static ScreenDescription screen;
  return screen;
}

}  // namespace

template <typename T>
T invalidParameter(T result) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return result;
}
template bool invalidParameter<bool>(bool);
template int invalidParameter<int>(int);
template uint32_t invalidParameter<uint32_t>(uint32_t);
template HGDIOBJ invalidParameter<HGDIOBJ>(HGDIOBJ);

std::shared_ptr<Surface> makeNullSurface(const DeviceDescription& description) {
  return std::make_shared<NullSurface>(description);
}

DeviceDescription screenDeviceDescription() {
  const ScreenDescription& s = screenSetting();
  DeviceDescription d;
  d.technology = DT_RASDISPLAY;
  d.width = s.width;
  d.height = s.height;
  d.widthMm = s.widthMm;
  d.heightMm = s.heightMm;
  d.dpiX = d.dpiY = 96;
  d.bitsPerPixel = s.bitsPerPixel;
  d.palette = s.bitsPerPixel <= 8;
  return d;
}

DeviceContext::DeviceContext(std::shared_ptr<Surface> surface, bool memoryDc)
    : surface_(std::move(surface)), memoryDc_(memoryDc) {
  if (!surface_) surface_ = makeNullSurface(screenDeviceDescription());
  description_ = surface_->description();
  auto select = [](int index, HGDIOBJ& handle) {
    handle = stockObject(index);
    return handle;
  };
  state.penObject = objectAs<PenObject>(select(BLACK_PEN, state.pen));
  state.brushObject = objectAs<BrushObject>(select(WHITE_BRUSH, state.brush));
  state.fontObject = objectAs<FontObject>(select(SYSTEM_FONT, state.font));
  state.paletteObject = objectAs<PaletteObject>(select(DEFAULT_PALETTE, state.palette));
  if (memoryDc_) state.bitmap = defaultBitmap();
}

QTransform DeviceContext::worldToDevice() const { return gdi::worldToDevice(state); }
QTransform DeviceContext::pageTransform() const { return gdi::pageTransform(state); }

QPointF DeviceContext::toDevice(double x, double y) const { return worldToDevice().map(QPointF(x, y)); }

DeviceClip DeviceContext::deviceClip() const {
  DeviceClip clip;
  if (state.hasClip && state.hasMeta) {
    clip.active = true;
    clip.region = state.clip & state.meta;
  } else if (state.hasClip) {
    clip.active = true;
    clip.region = state.clip;
  } else if (state.hasMeta) {
    clip.active = true;
    clip.region = state.meta;
  }
  return clip;
}

DeviceContext* dcFromHandle(HDC hdc) {
  uint64_t value = reinterpret_cast<uintptr_t>(hdc);
  if (!(value & kDcTag)) return nullptr;
  DcTable& t = dcTable();
  std::lock_guard lock(t.mutex);
  uint64_t index = value & kSlotMask;
  if (index == 0 || index > t.entries_.size()) return nullptr;
  DcSlot& slot = t.entries_[index - 1];
  if (!slot.dc || slot.generation != uint32_t((value & ~kDcTag) >> kSlotBits)) return nullptr;
  return slot.dc.get();
}

HDC addDeviceContext(std::unique_ptr<DeviceContext> dc) {
  if (!dc) return nullptr;
  DcTable& t = dcTable();
  std::lock_guard lock(t.mutex);
  uint32_t index;
  if (!t.freeEntries_.empty()) {
    index = t.freeEntries_.back();
    t.freeEntries_.pop_back();
  } else {
    if (t.entries_.size() >= kSlotMask - 1) return nullptr;
    index = uint32_t(t.entries_.size());
    t.entries_.emplace_back();
  }
  t.entries_[index].dc = std::move(dc);
  uint64_t value = kDcTag | (uint64_t(t.entries_[index].generation) << kSlotBits) | (uint64_t(index) + 1);
  return reinterpret_cast<HDC>(static_cast<uintptr_t>(value));
}

bool removeDeviceContext(HDC hdc) {
  std::unique_ptr<DeviceContext> doomed;
  {
    uint64_t value = reinterpret_cast<uintptr_t>(hdc);
    if (!(value & kDcTag)) return false;
    DcTable& t = dcTable();
    std::lock_guard lock(t.mutex);
    uint64_t index = value & kSlotMask;
    if (index == 0 || index > t.entries_.size()) return false;
    DcSlot& slot = t.entries_[index - 1];
    if (!slot.dc || slot.generation != uint32_t((value & ~kDcTag) >> kSlotBits)) return false;
    doomed = std::move(slot.dc);
    slot.generation = slot.generation == 0xFFFFFFFu ? 1 : slot.generation + 1;
    t.freeEntries_.push_back(uint32_t(index - 1));
  }
  return true;  // the context is destroyed outside the lock
}

DeviceContext* dcOrFail(HDC hdc) {
  DeviceContext* dc = dcFromHandle(hdc);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

}  // namespace platform::gdi

namespace platform {

using namespace platform::gdi;

HDC CreateSurfaceDC(std::shared_ptr<gdi::Surface> surface) {
  if (!surface) return invalidParameter<HDC>(nullptr);
  return addDeviceContext(std::make_unique<DeviceContext>(std::move(surface), false));
}

HDC GetDC(std::nullptr_t) {
  auto dc = std::make_unique<DeviceContext>(makeNullSurface(screenDeviceDescription()), false);
  dc->isScreenDc = true;
  return addDeviceContext(std::move(dc));
}

int ReleaseDC(std::nullptr_t, HDC hdc) {
  DeviceContext* dc = dcFromHandle(hdc);
  if (!dc || !dc->isScreenDc) return 0;
  return removeDeviceContext(hdc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC hdc) {
  DeviceDescription reference;
  if (hdc) {
    DeviceContext* ref = dcOrFail(hdc);
    if (!ref) return nullptr;
    reference = ref->description();
  } else {
    reference = screenDeviceDescription();
  }
  auto dc = std::make_unique<DeviceContext>(makeNullSurface(reference), true);
  dc->setDescription(reference);
  return addDeviceContext(std::move(dc));
}

bool DeleteDC(HDC hdc) {
  if (!removeDeviceContext(hdc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

int GetDeviceCaps(HDC hdc, int index) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  const DeviceDescription& d = dc->description();
  const bool printer = d.technology == DT_RASPRINTER;
  switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return d.technology;
    case HORZSIZE: return d.widthMm;
    case VERTSIZE: return d.heightMm;
    case HORZRES: return d.width;
    case VERTRES: return d.height;
    case BITSPIXEL: return d.bitsPerPixel;
    case PLANES: return 1;
    case NUMBRUSHES: return -1;
    case NUMPENS: return -1;
    case NUMFONTS: return 0;
    case NUMCOLORS: return d.palette ? 20 : (d.bitsPerPixel <= 8 ? 1 << d.bitsPerPixel : -1);
    case RASTERCAPS:
      return RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB | (d.palette ? RC_PALETTE : 0);
    case LOGPIXELSX: return d.dpiX;
    case LOGPIXELSY: return d.dpiY;
    case SIZEPALETTE: return d.palette ? 256 : 0;
    case NUMRESERVED: return d.palette ? 20 : 0;
    case COLORRES: return d.palette ? 18 : 0;
    case PHYSICALWIDTH: return printer ? (d.physicalWidth ? d.physicalWidth : d.width) : 0;
    case PHYSICALHEIGHT: return printer ? (d.physicalHeight ? d.physicalHeight : d.height) : 0;
    case PHYSICALOFFSETX: return printer ? d.physicalOffsetX : 0;
    case PHYSICALOFFSETY: return printer ? d.physicalOffsetY : 0;
    case SCALINGFACTORX: return 0;
    case SCALINGFACTORY: return 0;
    default: return 0;
  }
}

ScreenDescription screenDescription() { return screenSetting(); }
void setScreenDescription(const ScreenDescription& screen) { screenSetting() = screen; }

}  // namespace platform
