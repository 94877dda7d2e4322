// Mapping, attribute, clipping and save/restore records. The metafile's
// mapping is kept here, relative to the recording device's pixels, and
// composed with the base transform (those pixels onto the caller's
// rectangle) into the one transform the context draws with.

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/emf/EmfRecordTypes.h"
#include "platform/emf/Playback.h"
#include "platform/gdi/Gdi.h"

namespace platform::emf {

namespace {

int32_t clampToInt(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t roundToInt(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0));
}

bool isotropicOrAnisotropic(int mode) { return mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC; }

bool finiteTransform(const XFORM& x) {
  return std::isfinite(x.eM11) && std::isfinite(x.eM12) && std::isfinite(x.eM21) && std::isfinite(x.eM22) &&
         std::isfinite(x.eDx) && std::isfinite(x.eDy);
}

bool usableTransform(const XFORM& x) {
  return finiteTransform(x) && double(x.eM11) * x.eM22 - double(x.eM12) * x.eM21 != 0.0;
}

// One axis of an axis-aligned transform as GDI's integer page mapping:
// device = (logical - windowOrg) * viewportExt / windowExt + viewportOrg.
struct AxisMapping {
  int32_t windowExt, viewportExt, windowOrg, viewportOrg;
};

std::optional<AxisMapping> axisMapping(double scale, double offset) {
  constexpr double kPrecision = 1 << 20;
  const double magnitude = std::abs(scale);
  if (!std::isfinite(scale) || !std::isfinite(offset) || magnitude < 1e-7 || magnitude > 1e6 ||
      std::abs(offset) > 1e9)
    return std::nullopt;
  double window = kPrecision, viewport = kPrecision;
  if (magnitude >= 1)
    window = std::round(kPrecision / magnitude);
  else
    viewport = std::round(kPrecision * magnitude);
  if (window < 1 || viewport < 1) return std::nullopt;
  if (scale < 0) viewport = -viewport;
  // The fraction of the offset goes into the window origin, in logical units.
  const double effective = viewport / window;
  const double viewportOrg = std::round(offset);
  const double windowOrg = std::round((viewportOrg - offset) / effective);
  if (std::abs(windowOrg) > 1e9) return std::nullopt;
  return AxisMapping{int32_t(window), int32_t(viewport), int32_t(windowOrg), int32_t(viewportOrg)};
}

}  // namespace

QTransform Playback::pageTransform() const {
  const double sx = double(mapping_.viewportExt.cx) / mapping_.windowExt.cx;
  const double sy = double(mapping_.viewportExt.cy) / mapping_.windowExt.cy;
  return QTransform(sx, 0, 0, sy, mapping_.viewportOrg.x - mapping_.windowOrg.x * sx,
                    mapping_.viewportOrg.y - mapping_.windowOrg.y * sy);
}

QTransform Playback::logicalToDevice() const { return mapping_.world * pageTransform() * base_; }

bool Playback::worldIsIdentity() const { return mapping_.world.isIdentity(); }

void Playback::applyTransform() { applyRepresentation(worldIsIdentity()); }

void Playback::applyRepresentation(bool compatible) {
  const QTransform m = logicalToDevice();
  std::optional<AxisMapping> x, y;
  if (compatible && m.m12() == 0 && m.m21() == 0) {
    x = axisMapping(m.m11(), m.dx());
    y = axisMapping(m.m22(), m.dy());
  }
  const bool useCompatible = x && y;
  if (representationValid_ && representationCompatible_ == useCompatible && representation_ == m) return;
  representationValid_ = true;
  representationCompatible_ = useCompatible;
  representation_ = m;

  const XFORM identity{1, 0, 0, 1, 0, 0};
  if (useCompatible) {
    // GM_COMPATIBLE keeps text upright under flipped axes, as the recording
    // device drew it.
    ModifyWorldTransform(hdc_, &identity, MWT_IDENTITY);
    SetGraphicsMode(hdc_, GM_COMPATIBLE);
    SetMapMode(hdc_, MM_ANISOTROPIC);
    SetWindowExtEx(hdc_, x->windowExt, y->windowExt, nullptr);
    SetViewportExtEx(hdc_, x->viewportExt, y->viewportExt, nullptr);
    SetWindowOrgEx(hdc_, x->windowOrg, y->windowOrg, nullptr);
    SetViewportOrgEx(hdc_, x->viewportOrg, y->viewportOrg, nullptr);
    return;
  }
  SetGraphicsMode(hdc_, GM_ADVANCED);
  SetMapMode(hdc_, MM_TEXT);
  SetWindowOrgEx(hdc_, 0, 0, nullptr);
  SetViewportOrgEx(hdc_, 0, 0, nullptr);
  const XFORM xform = toXform(m);
  if (finiteTransform(xform)) SetWorldTransform(hdc_, &xform);
}

void Playback::resetAttributes() {
  SelectObject(hdc_, GetStockObject(BLACK_PEN));
  SelectObject(hdc_, GetStockObject(WHITE_BRUSH));
  SelectObject(hdc_, GetStockObject(SYSTEM_FONT));
  SelectPalette(hdc_, GetStockObject(DEFAULT_PALETTE), true);
  SetTextColor(hdc_, RGB(0, 0, 0));
  SetBkColor(hdc_, RGB(255, 255, 255));
  SetBkMode(hdc_, OPAQUE);
  SetTextAlign(hdc_, TA_LEFT | TA_TOP);
  SetPolyFillMode(hdc_, ALTERNATE);
  SetROP2(hdc_, R2_COPYPEN);
  SetStretchBltMode(hdc_, BLACKONWHITE);
  SetArcDirection(hdc_, AD_COUNTERCLOCKWISE);
  SetMiterLimit(hdc_, 10.0f, nullptr);
  SetTextCharacterExtra(hdc_, 0);
  SetBrushOrgEx(hdc_, 0, 0, nullptr);
}

void Playback::setMetaMapMode(int mode) {
  // Fixed modes are measured on the recording device, as it drew them.
  const auto fixed = [&](double unitsPerMm, int ySign) {
    mapping_.windowExt = {std::max(1, roundToInt(deviceMm_.cx * unitsPerMm)),
                          std::max(1, roundToInt(deviceMm_.cy * unitsPerMm))};
    mapping_.viewportExt = {devicePixels_.cx, ySign * devicePixels_.cy};
  };
  switch (mode) {
    case MM_TEXT:
      mapping_.windowExt = {1, 1};
      mapping_.viewportExt = {1, 1};
      break;
    case MM_LOMETRIC:
      fixed(10, -1);
      break;
    case MM_HIMETRIC:
      fixed(100, -1);
      break;
    case MM_LOENGLISH:
      fixed(100 / 25.4, -1);
      break;
    case MM_HIENGLISH:
      fixed(1000 / 25.4, -1);
      break;
    case MM_TWIPS:
      fixed(1440 / 25.4, -1);
      break;
    case MM_ISOTROPIC:
      fixed(10, -1);
      break;
    case MM_ANISOTROPIC:
      break;
    default:
      return;
  }
  mapping_.mapMode = mode;
  fixIsotropic();
}

// MM_ISOTROPIC: the viewport extent shrinks on one axis so that a logical
// unit measures the same on the recording device both ways.
void Playback::fixIsotropic() {
  if (mapping_.mapMode != MM_ISOTROPIC) return;
  const double xdim = std::abs(double(mapping_.viewportExt.cx) * deviceMm_.cx /
                               (double(devicePixels_.cx) * mapping_.windowExt.cx));
  const double ydim = std::abs(double(mapping_.viewportExt.cy) * deviceMm_.cy /
                               (double(devicePixels_.cy) * mapping_.windowExt.cy));
  if (!(xdim > 0) || !(ydim > 0) || xdim == ydim) return;
  auto shrink = [](int32_t& ext, double factor) {
    const int32_t sign = ext < 0 ? -1 : 1;
    ext = sign * std::max<int32_t>(1, roundToInt(std::abs(double(ext)) * factor));
  };
  if (xdim > ydim)
    shrink(mapping_.viewportExt.cx, ydim / xdim);
  else
    shrink(mapping_.viewportExt.cy, xdim / ydim);
}

Outcome Playback::mappingRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  switch (type) {
    case EMR_SETMAPMODE: {
      const auto mode = r.get<int32_t>(8);
      if (!mode) return Outcome::Malformed;
      setMetaMapMode(*mode);
      break;
    }
    case EMR_SETWINDOWEXTEX:
    case EMR_SETVIEWPORTEXTEX: {
      const auto size = r.get<SIZE>(8);
      if (!size) return Outcome::Malformed;
      if (!isotropicOrAnisotropic(mapping_.mapMode) || size->cx == 0 || size->cy == 0) return Outcome::Played;
      (type == EMR_SETWINDOWEXTEX ? mapping_.windowExt : mapping_.viewportExt) = *size;
      fixIsotropic();
      break;
    }
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTORGEX: {
      const auto origin = r.get<POINT>(8);
      if (!origin) return Outcome::Malformed;
      (type == EMR_SETWINDOWORGEX ? mapping_.windowOrg : mapping_.viewportOrg) = *origin;
      break;
    }
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
      const auto xNum = r.get<int32_t>(8), xDenom = r.get<int32_t>(12);
      const auto yNum = r.get<int32_t>(16), yDenom = r.get<int32_t>(20);
      if (!xNum || !xDenom || !yNum || !yDenom) return Outcome::Malformed;
      if (!isotropicOrAnisotropic(mapping_.mapMode) || *xDenom == 0 || *yDenom == 0) return Outcome::Played;
      SIZE& ext = type == EMR_SCALEWINDOWEXTEX ? mapping_.windowExt : mapping_.viewportExt;
      const int32_t cx = clampToInt(int64_t{ext.cx} * *xNum / *xDenom);
      const int32_t cy = clampToInt(int64_t{ext.cy} * *yNum / *yDenom);
      if (cx == 0 || cy == 0) return Outcome::Played;
      ext = {cx, cy};
      fixIsotropic();
      break;
    }
    case EMR_SETWORLDTRANSFORM: {
      const auto xform = r.get<XFORM>(8);
      if (!xform) return Outcome::Malformed;
      if (!usableTransform(*xform)) return Outcome::Played;
      mapping_.world = fromXform(*xform);
      break;
    }
    case EMR_MODIFYWORLDTRANSFORM: {
      const auto xform = r.get<XFORM>(8);
      const auto mode = r.get<uint32_t>(32);
      if (!xform || !mode) return Outcome::Malformed;
      if (*mode == MWT_IDENTITY) {
        mapping_.world = QTransform();
        break;
      }
      if (!usableTransform(*xform)) return Outcome::Played;
      const QTransform x = fromXform(*xform);
      if (*mode == MWT_LEFTMULTIPLY)
        mapping_.world = x * mapping_.world;
      else if (*mode == MWT_RIGHTMULTIPLY)
        mapping_.world = mapping_.world * x;
      else if (*mode == MWT_SET)
        mapping_.world = x;
      else
        return Outcome::Played;
      break;
    }
    default:
      return Outcome::Ignored;
  }
  applyTransform();
  return Outcome::Played;
}

Outcome Playback::attributeRecord(const RecordReader& r) {
  const uint32_t type = r.type();
  if (type == EMR_SETBRUSHORGEX) {
    // The origin is in the recording device's pixels.
    const auto origin = r.get<POINT>(8);
    if (!origin) return Outcome::Malformed;
    const QPointF device = base_.map(QPointF(origin->x, origin->y));
    SetBrushOrgEx(hdc_, roundToInt(device.x()), roundToInt(device.y()), nullptr);
    return Outcome::Played;
  }
  if (type == EMR_SETMITERLIMIT) {
    // Written as a float by GDI, as an integer by some other writers.
    const auto bits = r.get<uint32_t>(8);
    const auto limit = r.get<float>(8);
    if (!bits || !limit) return Outcome::Malformed;
    float value = *limit;
    if (!std::isfinite(value) || value < 1.0f) value = *bits >= 1 && *bits <= 1000 ? float(*bits) : 10.0f;
    SetMiterLimit(hdc_, value, nullptr);
    return Outcome::Played;
  }
  const auto value = r.get<uint32_t>(8);
  if (!value) return Outcome::Malformed;
  const int mode = static_cast<int>(*value);
  switch (type) {
    case EMR_SETMAPPERFLAGS:
      SetMapperFlags(hdc_, *value);
      break;
    case EMR_SETBKMODE:
      SetBkMode(hdc_, mode);
      break;
    case EMR_SETPOLYFILLMODE:
      SetPolyFillMode(hdc_, mode);
      break;
    case EMR_SETROP2:
      SetROP2(hdc_, mode);
      break;
    case EMR_SETSTRETCHBLTMODE:
      SetStretchBltMode(hdc_, mode);
      break;
    case EMR_SETTEXTALIGN:
      SetTextAlign(hdc_, *value);
      break;
    case EMR_SETTEXTCOLOR:
      SetTextColor(hdc_, *value & 0x00FFFFFF);
      break;
    case EMR_SETBKCOLOR:
      SetBkColor(hdc_, *value & 0x00FFFFFF);
      break;
    case EMR_SETARCDIRECTION:
      SetArcDirection(hdc_, mode);
      break;
    default:
      return Outcome::Ignored;
  }
  return Outcome::Played;
}

Outcome Playback::clipRecord(const RecordReader& r) {
  switch (r.type()) {
    case EMR_SETMETARGN:
      SetMetaRgn(hdc_);
      return Outcome::Played;
    case EMR_OFFSETCLIPRGN: {
      const auto offset = r.get<POINT>(8);
      if (!offset) return Outcome::Malformed;
      OffsetClipRgn(hdc_, offset->x, offset->y);
      return Outcome::Played;
    }
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT: {
      const auto box = r.get<RECT>(8);
      if (!box) return Outcome::Malformed;
      if (r.type() == EMR_EXCLUDECLIPRECT)
        ExcludeClipRect(hdc_, box->left, box->top, box->right, box->bottom);
      else
        IntersectClipRect(hdc_, box->left, box->top, box->right, box->bottom);
      return Outcome::Played;
    }
    case EMR_SELECTCLIPPATH: {
      const auto mode = r.get<int32_t>(8);
      if (!mode) return Outcome::Malformed;
      SelectClipPath(hdc_, *mode);
      return Outcome::Played;
    }
    case EMR_EXTSELECTCLIPRGN: {
      const auto size = r.get<uint32_t>(8);
      const auto mode = r.get<int32_t>(12);
      if (!size || !mode || *mode < RGN_AND || *mode > RGN_COPY) return Outcome::Malformed;
      if (*size == 0 || !r.fits(16, *size)) {
        // No region: only RGN_COPY means something (the clip is removed).
        if (*size != 0) return Outcome::Malformed;
        if (*mode == RGN_COPY) ExtSelectClipRgn(hdc_, nullptr, RGN_COPY);
        return Outcome::Played;
      }
      HRGN region = regionFromRecord(r, 16, *size);
      if (region == nullptr) return Outcome::Malformed;
      ExtSelectClipRgn(hdc_, region, *mode);
      DeleteObject(region);
      return Outcome::Played;
    }
    default:
      return Outcome::Ignored;
  }
}

Outcome Playback::saveRestoreRecord(const RecordReader& r) {
  if (r.type() == EMR_SAVEDC) {
    if (SaveDC(hdc_) > 0) savedMappings_.push_back(mapping_);
    return Outcome::Played;
  }
  const auto relative = r.get<int32_t>(8);
  if (!relative) return Outcome::Malformed;
  // Levels count from the playback's own start: the caller's saved states
  // are out of the metafile's reach.
  const auto depth = static_cast<int64_t>(savedMappings_.size());
  const int64_t pops = *relative < 0 ? -int64_t{*relative} : depth - *relative + 1;
  if (*relative == 0 || pops < 1 || pops > depth) return Outcome::Played;
  RestoreDC(hdc_, -static_cast<int>(pops));
  mapping_ = savedMappings_[static_cast<size_t>(depth - pops)];
  savedMappings_.resize(static_cast<size_t>(depth - pops));
  representationValid_ = false;
  applyTransform();
  return Outcome::Played;
}

}  // namespace platform::emf
