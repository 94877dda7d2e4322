// PlayEnhMetaFile, EnumEnhMetaFile, PlayEnhMetaFileRecord and
// CopyEnhMetaFileA: the record walk (stage two of the checks: every record
// at least 8 bytes, a multiple of 4 and inside the metafile), the per-thread
// stack of active playbacks, and the one switch over record types.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <span>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"
#include "platform/system/ErrorCodes.h"
#include "platform/system/File.h"
#include "platform/system/LastError.h"

namespace platform::emf {

namespace {

// The playbacks running on this thread, innermost last, so that
// PlayEnhMetaFileRecord finds the one its enumeration started.
thread_local std::vector<Playback*> activePlaybacks;

class ActiveScope {
 public:
  explicit ActiveScope(Playback& playback) { activePlaybacks.push_back(&playback); }
  ~ActiveScope() { activePlaybacks.pop_back(); }
  ActiveScope(const ActiveScope&) = delete;
  ActiveScope& operator=(const ActiveScope&) = delete;
};

Playback* activePlaybackFor(HDC hdc) {
  for (auto it = activePlaybacks.rbegin(); it != activePlaybacks.rend(); ++it)
    if ((*it)->hdc() == hdc) return *it;
  return nullptr;
}

uint32_t loadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool wellFormedSize(uint32_t size, uint64_t available) { return size >= 8 && size % 4 == 0 && size <= available; }

enum class Walk { Complete, Broken, Stopped };

// Visits each record from the header on; `visit` returns false to stop.
// Ends after EMR_EOF, at the end of the bytes, or at a record whose size
// cannot be right (then the result is Broken).
template <typename Visit>
Walk walkRecords(std::span<const uint8_t> bytes, Visit visit) {
  uint64_t at = 0;
  while (bytes.size() - at >= 8) {
    const uint8_t* record = bytes.data() + at;
    const uint32_t type = loadU32(record);
    const uint32_t size = loadU32(record + 4);
    if (!wellFormedSize(size, bytes.size() - at)) return Walk::Broken;
    if (!visit(record, size)) return Walk::Stopped;
    if (type == EMR_EOF) break;
    at += size;
  }
  return Walk::Complete;
}

}  // namespace

Playback::Playback(HDC hdc, const EnhMetaFile& metafile, const RECT* rect)
    : hdc_(hdc), metafile_(metafile), header_(metafile.header()) {
  if (rect != nullptr) {
    rect_ = *rect;
    hasRect_ = true;
  }
  // Some writers leave the reference device empty: assume a 96 dpi one.
  if (header_.szlDevice.cx > 0 && header_.szlDevice.cy > 0 && header_.szlMillimeters.cx > 0 &&
      header_.szlMillimeters.cy > 0) {
    devicePixels_ = {header_.szlDevice.cx, header_.szlDevice.cy};
    deviceMm_ = {header_.szlMillimeters.cx, header_.szlMillimeters.cy};
  } else {
    devicePixels_ = {960, 960};
    deviceMm_ = {254, 254};
  }
  objects_.assign(size_t{header_.nHandles} + 1, nullptr);
}

Playback::~Playback() { end(); }

void Playback::begin() {
  if (hdc_ == nullptr || begun_) return;
  gdi::DeviceContext* dc = gdi::dcFromHandle(hdc_);
  if (dc == nullptr) return;
  const QTransform callerToDevice = dc->worldToDevice();

  // The frame's rectangle in the recording device's pixels goes onto the
  // caller's rectangle; a frame without extent falls back to the bounds.
  QTransform frameToRect;
  if (hasRect_) {
    const double perX = double(devicePixels_.cx) / (double(deviceMm_.cx) * 100.0);
    const double perY = double(devicePixels_.cy) / (double(deviceMm_.cy) * 100.0);
    double left = header_.rclFrame.left * perX, right = header_.rclFrame.right * perX;
    double top = header_.rclFrame.top * perY, bottom = header_.rclFrame.bottom * perY;
    if (std::abs(right - left) < 1e-9 || std::abs(bottom - top) < 1e-9) {
      left = header_.rclBounds.left;
      right = double(header_.rclBounds.right) + 1;
      top = header_.rclBounds.top;
      bottom = double(header_.rclBounds.bottom) + 1;
    }
    if (std::abs(right - left) < 1e-9) right = left + 1;
    if (std::abs(bottom - top) < 1e-9) bottom = top + 1;
    const double sx = (double(rect_.right) - rect_.left) / (right - left);
    const double sy = (double(rect_.bottom) - rect_.top) / (bottom - top);
    frameToRect = QTransform(sx, 0, 0, sy, rect_.left - left * sx, rect_.top - top * sy);
  }
  base_ = frameToRect * callerToDevice;

  savedLevel_ = SaveDC(hdc_);
  if (savedLevel_ <= 0) return;
  begun_ = true;
  // The caller's clip becomes the meta region, so that the metafile's own
  // clipping (a reset included) stays inside it.
  SetMetaRgn(hdc_);
  resetAttributes();
  applyTransform();
  MoveToEx(hdc_, 0, 0, nullptr);
}

void Playback::end() {
  if (begun_) {
    RestoreDC(hdc_, savedLevel_);
    begun_ = false;
  }
  for (HGDIOBJ& object : objects_) {
    if (object != nullptr) DeleteObject(object);
    object = nullptr;
  }
}

Outcome Playback::play(const uint8_t* record, size_t size) {
  const RecordReader reader(record, size);
  Outcome outcome = Outcome::Ignored;
  if (begun_ && base_.isInvertible()) outcome = dispatch(reader);
  if (outcome == Outcome::Malformed) ++malformed_;
  if (outcome == Outcome::Ignored) ++ignored_;
  return outcome;
}

Outcome Playback::dispatch(const RecordReader& r) {
  switch (r.type()) {
    case EMR_HEADER:
    case EMR_EOF:
      return Outcome::Played;

    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
      return polyRecord(r);
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
      return polyPolyRecord(r);

    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
    case EMR_SETMAPMODE:
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX:
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM:
      return mappingRecord(r);

    case EMR_SETBRUSHORGEX:
    case EMR_SETMAPPERFLAGS:
    case EMR_SETBKMODE:
    case EMR_SETPOLYFILLMODE:
    case EMR_SETROP2:
    case EMR_SETSTRETCHBLTMODE:
    case EMR_SETTEXTALIGN:
    case EMR_SETTEXTCOLOR:
    case EMR_SETBKCOLOR:
    case EMR_SETARCDIRECTION:
    case EMR_SETMITERLIMIT:
      return attributeRecord(r);

    case EMR_OFFSETCLIPRGN:
    case EMR_SETMETARGN:
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXTSELECTCLIPRGN:
    case EMR_SELECTCLIPPATH:
      return clipRecord(r);

    case EMR_SAVEDC:
    case EMR_RESTOREDC:
      return saveRestoreRecord(r);

    case EMR_SELECTOBJECT:
    case EMR_CREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_DELETEOBJECT:
    case EMR_SELECTPALETTE:
    case EMR_CREATEPALETTE:
    case EMR_SETPALETTEENTRIES:
    case EMR_RESIZEPALETTE:
    case EMR_REALIZEPALETTE:
    case EMR_EXTCREATEFONTINDIRECTW:
    case EMR_EXTCREATEPEN:
      return objectRecord(r);
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
      return dibBrushRecord(r);

    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_SETPIXELV:
    case EMR_ANGLEARC:
    case EMR_ELLIPSE:
    case EMR_RECTANGLE:
    case EMR_ROUNDRECT:
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO:
      return shapeRecord(r);

    case EMR_BEGINPATH:
    case EMR_ENDPATH:
    case EMR_CLOSEFIGURE:
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH:
    case EMR_FLATTENPATH:
    case EMR_WIDENPATH:
    case EMR_ABORTPATH:
      return pathRecord(r);

    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_INVERTRGN:
    case EMR_PAINTRGN:
      return regionRecord(r);
    case EMR_GRADIENTFILL:
      return gradientRecord(r);

    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
      return textRecord(r);
    case EMR_POLYTEXTOUTA:
    case EMR_POLYTEXTOUTW:
      return polyTextRecord(r);
    case EMR_SMALLTEXTOUT:
      return smallTextRecord(r);

    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_MASKBLT:
    case EMR_PLGBLT:
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS:
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
      return bitmapRecord(r);

    // Comments (EMF+ of dual files included: their GDI records draw the
    // same picture), colour management, OpenGL, escapes, flood fills and
    // layout hints have no effect on this device.
    default:
      return Outcome::Ignored;
  }
}

XFORM toXform(const QTransform& t) {
  return {float(t.m11()), float(t.m12()), float(t.m21()), float(t.m22()), float(t.dx()), float(t.dy())};
}

QTransform fromXform(const XFORM& x) { return QTransform(x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy); }

}  // namespace platform::emf

namespace platform {

using emf::Outcome;
using emf::Playback;

namespace {

const EnhMetaFile* liveMetafile(HENHMETAFILE metafile) {
  const EnhMetaFile* m = enhMetaFileFromHandle(metafile);
  if (m == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return m;
}

}  // namespace

bool PlayEnhMetaFile(HDC hdc, HENHMETAFILE metafile, const RECT* rect) {
  try {
    const EnhMetaFile* m = liveMetafile(metafile);
    if (m == nullptr) return false;
    if (hdc == nullptr || gdi::dcFromHandle(hdc) == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    Playback playback(hdc, *m, rect);
    playback.begin();
    emf::ActiveScope scope(playback);
    const emf::Walk walk = emf::walkRecords(m->bytes(), [&](const uint8_t* record, uint32_t size) {
      playback.play(record, size);
      return true;
    });
    playback.end();
    return walk == emf::Walk::Complete && playback.malformedCount() == 0;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
}

bool EnumEnhMetaFile(HDC hdc, HENHMETAFILE metafile, ENHMFENUMPROC callback, void* data, const RECT* rect) {
  try {
    const EnhMetaFile* m = liveMetafile(metafile);
    if (m == nullptr) return false;
    if (callback == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    if (hdc != nullptr && gdi::dcFromHandle(hdc) == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    Playback playback(hdc, *m, rect);
    playback.begin();
    emf::ActiveScope scope(playback);
    const int count = static_cast<int>(std::max<uint32_t>(1, m->header().nHandles));
    const emf::Walk walk = emf::walkRecords(m->bytes(), [&](const uint8_t* record, uint32_t) {
      return callback(hdc, playback.table(), reinterpret_cast<const ENHMETARECORD*>(record), count, data) != 0;
    });
    playback.end();
    return walk == emf::Walk::Complete;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
}

bool PlayEnhMetaFileRecord(HDC hdc, HANDLETABLE* table, const ENHMETARECORD* record, uint32_t handleCount) {
  (void)table;
  (void)handleCount;
  try {
    if (record == nullptr || hdc == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    Playback* playback = emf::activePlaybackFor(hdc);
    if (playback == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    // A record of the metafile being enumerated cannot reach past its end;
    // one from elsewhere is taken at its word.
    const auto* p = reinterpret_cast<const uint8_t*>(record);
    const auto bytes = playback->metafile().bytes();
    uint32_t size;
    std::memcpy(&size, p + 4, sizeof size);
    uint64_t available = size;
    if (std::less_equal<const uint8_t*>()(bytes.data(), p) && std::less<const uint8_t*>()(p, bytes.data() + bytes.size()))
      available = uint64_t(bytes.data() + bytes.size() - p);
    if (!emf::wellFormedSize(size, available)) {
      SetLastError(ERROR_INVALID_DATA);
      return false;
    }
    if (playback->play(p, size) == Outcome::Malformed) {
      SetLastError(ERROR_INVALID_DATA);
      return false;
    }
    return true;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
}

HENHMETAFILE CopyEnhMetaFileA(HENHMETAFILE metafile, const char* fileName) {
  try {
    const EnhMetaFile* m = liveMetafile(metafile);
    if (m == nullptr) return nullptr;
    const auto bytes = m->bytes();
    if (fileName != nullptr) {
      File file = File::open(fileName, FileMode::CreateAlways);
      if (!file) return nullptr;
      if (!file.write(bytes.data(), bytes.size())) return nullptr;
      if (!file.close()) return nullptr;
    }
    return SetEnhMetaFileBits(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

}  // namespace platform
