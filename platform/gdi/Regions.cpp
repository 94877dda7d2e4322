// Regions and clipping.

#include <algorithm>
#include <cstring>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/DrawTools.h"
#include "platform/gdi/Mapping.h"
#include "platform/gdi/RegionOps.h"
#include "platform/system/LastError.h"

namespace platform::gdi {

namespace {

// Far beyond any page, small enough that sizes never overflow.
constexpr int64_t kCoordLimit = int64_t(1) << 27;
// Points and rectangles a single region call accepts.
constexpr int64_t kMaxRegionItems = int64_t(1) << 22;

int32_t clampCoord(int64_t v) { return int32_t(std::clamp(v, -kCoordLimit, kCoordLimit)); }

QPolygon roundPolygon(const QPolygonF& polygon) {
  QPolygon out(int(polygon.size()));
  for (int i = 0; i < polygon.size(); ++i)
    out[i] = QPoint(clampCoord(roundCoord(polygon[i].x())), clampCoord(roundCoord(polygon[i].y())));
  return out;
}

// Unites many regions pairwise, which stays fast where uniting one by one
// into a growing region is quadratic.
QRegion uniteAll(std::vector<QRegion> parts) {
  if (parts.empty()) return QRegion();
  while (parts.size() > 1) {
    size_t half = (parts.size() + 1) / 2;
    for (size_t i = 0; i < parts.size() / 2; ++i) parts[i] = parts[2 * i] | parts[2 * i + 1];
    if (parts.size() % 2) parts[parts.size() / 2] = parts.back();
    parts.resize(half);
  }
  return parts.front();
}

bool isScaleTranslate(const QTransform& t) { return t.m12() == 0 && t.m21() == 0; }

}  // namespace

int regionKind(const QRegion& region) {
  if (region.isEmpty()) return NULLREGION;
  return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

QRect rectFromEdges(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  int32_t l = clampCoord(std::min(left, right)), r = clampCoord(std::max(left, right));
  int32_t t = clampCoord(std::min(top, bottom)), b = clampCoord(std::max(top, bottom));
  return QRect(QPoint(l, t), QSize(r - l, b - t));
}

QRegion regionFromPath(const QPainterPath& path) {
  const QList<QPolygonF> polygons = path.toSubpathPolygons();
  std::vector<QRegion> parts;
  QRegion result;
  const bool oddEven = path.fillRule() == Qt::OddEvenFill;
  for (const QPolygonF& polygon : polygons) {
    if (polygon.size() < 3) continue;
    QRegion part(roundPolygon(polygon), path.fillRule());
    if (oddEven) result ^= part;
    else parts.push_back(std::move(part));
  }
  return oddEven ? result : uniteAll(std::move(parts));
}

QRegion mapRegion(const QRegion& region, const QTransform& t) {
  if (t.isIdentity() || region.isEmpty()) return region;
  if (t.type() == QTransform::TxTranslate && t.dx() == std::floor(t.dx()) && t.dy() == std::floor(t.dy()))
    return region.translated(roundCoord(t.dx()), roundCoord(t.dy()));
  std::vector<QRegion> parts;
  parts.reserve(size_t(region.rectCount()));
  for (const QRect& r : region) {
    const double l = r.left(), top = r.top(), right = double(r.left()) + r.width(),
                 bottom = double(r.top()) + r.height();
    if (isScaleTranslate(t)) {
      QPointF a = t.map(QPointF(l, top)), b = t.map(QPointF(right, bottom));
      parts.emplace_back(rectFromEdges(roundCoord(a.x()), roundCoord(a.y()), roundCoord(b.x()), roundCoord(b.y())));
    } else {
      QPolygonF quad({QPointF(l, top), QPointF(right, top), QPointF(right, bottom), QPointF(l, bottom)});
      parts.emplace_back(roundPolygon(t.map(quad)), Qt::WindingFill);
    }
  }
  return uniteAll(std::move(parts));
}

QRegion logicalRectRegion(const DeviceContext& dc, int left, int top, int right, int bottom) {
  const QTransform t = dc.worldToDevice();
  if (isScaleTranslate(t)) {
    QPointF a = t.map(QPointF(left, top)), b = t.map(QPointF(right, bottom));
    return QRegion(rectFromEdges(roundCoord(a.x()), roundCoord(a.y()), roundCoord(b.x()), roundCoord(b.y())));
  }
  QPolygonF quad({QPointF(left, top), QPointF(right, top), QPointF(right, bottom), QPointF(left, bottom)});
  return QRegion(roundPolygon(t.map(quad)), Qt::WindingFill);
}

QRect deviceBounds(const DeviceContext& dc) {
  const DeviceDescription& d = const_cast<DeviceContext&>(dc).surface().description();
  if (d.width > 0 && d.height > 0) return QRect(0, 0, d.width, d.height);
  return QRect(0, 0, dc.description().width, dc.description().height);
}

int combineClip(DeviceContext& dc, const QRegion* region, int mode) {
  DcState& s = dc.state;
  if (mode == RGN_COPY) {
    if (!region) {
      s.hasClip = false;
      s.clip = QRegion();
      return SIMPLEREGION;
    }
    s.clip = *region;
    s.hasClip = true;
    return regionKind(s.clip);
  }
  if (!region || mode < RGN_AND || mode > RGN_DIFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  // No clip stands for the whole device area.
  const QRegion current = s.hasClip ? s.clip : QRegion(deviceBounds(dc));
  switch (mode) {
    case RGN_AND: s.clip = current & *region; break;
    case RGN_OR: s.clip = current | *region; break;
    case RGN_XOR: s.clip = current ^ *region; break;
    case RGN_DIFF: s.clip = current - *region; break;
  }
  s.hasClip = true;
  return regionKind(s.clip);
}

}  // namespace platform::gdi

namespace platform {

using namespace platform::gdi;

namespace {

HRGN addRegion(QRegion region) { return addObject(RegionObject{std::move(region)}); }

std::shared_ptr<const RegionObject> regionOrFail(HRGN region) {
  auto object = objectAs<RegionObject>(region);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

Qt::FillRule fillRule(int mode) { return mode == WINDING ? Qt::WindingFill : Qt::OddEvenFill; }

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return addRegion(QRegion(rectFromEdges(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) return invalidParameter<HGDIOBJ>(nullptr);
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  QRect box = rectFromEdges(left, top, right, bottom);
  return addRegion(box.isEmpty() ? QRegion() : QRegion(box, QRegion::Ellipse));
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h) {
  QRect box = rectFromEdges(left, top, right, bottom);
  if (box.isEmpty()) return addRegion(QRegion());
  double rx = std::min(std::abs(double(w)) / 2, box.width() / 2.0);
  double ry = std::min(std::abs(double(h)) / 2, box.height() / 2.0);
  if (rx < 1 || ry < 1) return addRegion(QRegion(box));
  QPainterPath path;
  path.addRoundedRect(QRectF(box), rx, ry);
  path.setFillRule(Qt::WindingFill);
  return addRegion(regionFromPath(path));
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (fillMode != ALTERNATE && fillMode != WINDING) return invalidParameter<HGDIOBJ>(nullptr);
  return CreatePolyPolygonRgn(points, &count, 1, fillMode);
}

HRGN CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode) {
  if (!points || !counts || polygons <= 0 || polygons > kMaxRegionItems ||
      (fillMode != ALTERNATE && fillMode != WINDING))
    return invalidParameter<HGDIOBJ>(nullptr);
  int64_t total = 0;
  for (int i = 0; i < polygons; ++i) {
    if (counts[i] < 0) return invalidParameter<HGDIOBJ>(nullptr);
    total += counts[i];
    if (total > kMaxRegionItems) return invalidParameter<HGDIOBJ>(nullptr);
  }
  QPainterPath path;
  path.setFillRule(fillRule(fillMode));
  const POINT* p = points;
  for (int i = 0; i < polygons; ++i) {
    QPolygonF polygon;
    polygon.reserve(counts[i]);
    for (int k = 0; k < counts[i]; ++k) polygon.append(QPointF(clampCoord(p[k].x), clampCoord(p[k].y)));
    p += counts[i];
    if (polygon.size() >= 3) path.addPolygon(polygon);
  }
  return addRegion(regionFromPath(path));
}

HRGN ExtCreateRegion(const XFORM* xform, uint32_t size, const void* regionData) {
  // RGNDATAHEADER: dwSize, iType, nCount, nRgnSize, rcBound; then nCount RECTs.
  constexpr uint32_t kHeader = 32, kRdhRectangles = 1;
  if (!regionData || size < kHeader) return invalidParameter<HGDIOBJ>(nullptr);
  const auto* bytes = static_cast<const uint8_t*>(regionData);
  uint32_t header[4];
  std::memcpy(header, bytes, sizeof header);
  if (header[0] < kHeader || header[0] > size || header[1] != kRdhRectangles) return invalidParameter<HGDIOBJ>(nullptr);
  const uint64_t count = header[2];
  if (count > uint64_t(kMaxRegionItems) || header[0] + count * sizeof(RECT) > size)
    return invalidParameter<HGDIOBJ>(nullptr);
  if (xform && isSingular(*xform)) return invalidParameter<HGDIOBJ>(nullptr);
  const QTransform t = xform ? toQTransform(*xform) : QTransform();
  std::vector<QRegion> parts;
  parts.reserve(size_t(count));
  for (uint64_t i = 0; i < count; ++i) {
    RECT r;
    std::memcpy(&r, bytes + header[0] + i * sizeof(RECT), sizeof r);
    if (r.left >= r.right || r.top >= r.bottom) continue;
    parts.emplace_back(rectFromEdges(r.left, r.top, r.right, r.bottom));
  }
  QRegion region = uniteAll(std::move(parts));
  return addRegion(mapRegion(region, t));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  auto target = regionOrFail(dest);
  auto a = regionOrFail(src1);
  if (!target || !a) return ERROR;
  if (mode < RGN_AND || mode > RGN_COPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  QRegion result;
  if (mode == RGN_COPY) {
    result = a->region;
  } else {
    auto b = regionOrFail(src2);
    if (!b) return ERROR;
    switch (mode) {
      case RGN_AND: result = a->region & b->region; break;
      case RGN_OR: result = a->region | b->region; break;
      case RGN_XOR: result = a->region ^ b->region; break;
      default: result = a->region - b->region; break;
    }
  }
  int kind = regionKind(result);
  if (!replaceObject(dest, RegionObject{std::move(result)})) return ERROR;
  return kind;
}

bool OffsetRgn(HRGN region, int x, int y) {
  auto object = regionOrFail(region);
  if (!object) return false;
  QRegion moved = object->region.translated(clampCoord(x), clampCoord(y));
  // Keep far-away pieces from wrapping: drop what left the coordinate range.
  moved &= QRect(QPoint(int(-kCoordLimit), int(-kCoordLimit)), QPoint(int(kCoordLimit), int(kCoordLimit)));
  return replaceObject(region, RegionObject{std::move(moved)});
}

int GetRgnBox(HRGN region, RECT* rect) {
  auto object = regionOrFail(region);
  if (!object || !rect) return ERROR;
  QRect box = object->region.boundingRect();
  if (object->region.isEmpty()) *rect = {0, 0, 0, 0};
  else *rect = {box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
  return regionKind(object->region);
}

bool PtInRegion(HRGN region, int x, int y) {
  auto object = regionOrFail(region);
  return object && object->region.contains(QPoint(x, y));
}

namespace {

bool fillDeviceRegion(DeviceContext& dc, const QRegion& region, Paint& paint) {
  if (!region.isEmpty()) dc.surface().fillRegion(region, paint, dc.deviceClip());
  return true;
}

}  // namespace

bool FillRgn(HDC hdc, HRGN region, HBRUSH brush) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  auto object = regionOrFail(region);
  if (!object) return false;
  Paint paint;
  if (!handleBrushPaint(*dc, brush, paint)) return true;
  return fillDeviceRegion(*dc, mapRegion(object->region, dc->worldToDevice()), paint);
}

bool PaintRgn(HDC hdc, HRGN region) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  auto object = regionOrFail(region);
  if (!object) return false;
  Paint paint;
  if (!currentBrushPaint(*dc, paint)) return true;
  return fillDeviceRegion(*dc, mapRegion(object->region, dc->worldToDevice()), paint);
}

bool InvertRgn(HDC hdc, HRGN region) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  auto object = regionOrFail(region);
  if (!object) return false;
  Paint paint;
  paint.brush = QBrush(Qt::black);
  paint.rop2 = R2_NOT;
  return fillDeviceRegion(*dc, mapRegion(object->region, dc->worldToDevice()), paint);
}

bool FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  auto object = regionOrFail(region);
  if (!object) return false;
  if (width <= 0 || height <= 0) return invalidParameter(false);
  Paint paint;
  if (!handleBrushPaint(*dc, brush, paint)) return true;
  const QTransform t = dc->worldToDevice();
  const QRegion area = mapRegion(object->region, t);
  const int w = std::clamp(roundCoord(std::fabs(width * t.m11()) + std::fabs(height * t.m21())), 1, 1 << 16);
  const int h = std::clamp(roundCoord(std::fabs(width * t.m12()) + std::fabs(height * t.m22())), 1, 1 << 16);
  // The frame is what is left after shrinking the region by the frame's
  // width and height from every side.
  QRegion inner = area & area.translated(w, 0) & area.translated(-w, 0) & area.translated(0, h) &
                  area.translated(0, -h);
  return fillDeviceRegion(*dc, area - inner, paint);
}

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return ERROR;
  if (!region) return combineClip(*dc, nullptr, mode);
  auto object = regionOrFail(region);
  if (!object) return ERROR;
  return combineClip(*dc, &object->region, mode);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return ERROR;
  QRegion rect = logicalRectRegion(*dc, left, top, right, bottom);
  return combineClip(*dc, &rect, RGN_AND);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return ERROR;
  QRegion rect = logicalRectRegion(*dc, left, top, right, bottom);
  return combineClip(*dc, &rect, RGN_DIFF);
}

int OffsetClipRgn(HDC hdc, int x, int y) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return ERROR;
  DcState& s = dc->state;
  if (!s.hasClip) return SIMPLEREGION;
  const QTransform t = dc->worldToDevice();
  const int dx = clampCoord(roundCoord(x * t.m11() + y * t.m21()));
  const int dy = clampCoord(roundCoord(x * t.m12() + y * t.m22()));
  s.clip.translate(dx, dy);
  return regionKind(s.clip);
}

int GetClipBox(HDC hdc, RECT* rect) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc || !rect) return ERROR;
  const DeviceClip clip = dc->deviceClip();
  const QRegion area = clip.active ? clip.region : QRegion(deviceBounds(*dc));
  int kind = regionKind(area);
  if (area.isEmpty()) {
    *rect = {0, 0, 0, 0};
    return kind;
  }
  const QRect box = area.boundingRect();
  bool invertible = false;
  const QTransform inverse = dc->worldToDevice().inverted(&invertible);
  if (!invertible) return ERROR;
  const QRectF logical = inverse.mapRect(QRectF(box.left(), box.top(), box.width(), box.height()));
  *rect = {roundCoord(logical.left()), roundCoord(logical.top()), roundCoord(logical.right()),
           roundCoord(logical.bottom())};
  return kind;
}

int GetClipRgn(HDC hdc, HRGN region) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return -1;
  if (!objectAs<RegionObject>(region)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (!dc->state.hasClip) return 0;
  return replaceObject(region, RegionObject{dc->state.clip}) ? 1 : -1;
}

int SetMetaRgn(HDC hdc) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return ERROR;
  DcState& s = dc->state;
  if (s.hasClip) {
    s.meta = s.hasMeta ? (s.meta & s.clip) : s.clip;
    s.hasMeta = true;
    s.hasClip = false;
    s.clip = QRegion();
  }
  return s.hasMeta ? regionKind(s.meta) : SIMPLEREGION;
}

}  // namespace platform
