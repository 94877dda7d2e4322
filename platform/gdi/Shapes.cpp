// Lines, curves, polygons and the bounded shapes; inside an open path they
// add to the path instead of drawing.

#include <QtMath>
#include <algorithm>
#include <cmath>

#include "platform/gdi/DcApi.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/DrawTools.h"
#include "platform/gdi/Mapping.h"
#include "platform/gdi/RegionOps.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace platform::gdi;

namespace {

// Points one call accepts; more is refused, not allocated.
constexpr int64_t kMaxPoints = int64_t(1) << 24;

QPointF devicePoint(const QTransform& t, double x, double y) {
  return QPointF(roundCoord(t.m11() * x + t.m21() * y + t.dx()), roundCoord(t.m12() * x + t.m22() * y + t.dy()));
}

bool isScaleTranslate(const QTransform& t) { return t.m12() == 0 && t.m21() == 0; }

// Starts the segments of a ...To call at the current position: a new figure
// unless the path already ends there.
void continuePath(DcState& s, const QPointF& from) {
  if (s.pathNeedsMove || s.path.elementCount() == 0 || s.path.currentPosition() != from) s.path.moveTo(from);
  s.pathNeedsMove = false;
}

// Adds figures that start with their own move (Polyline, Arc, shapes).
void addFigures(DcState& s, const QPainterPath& figures, bool closed) {
  s.path.addPath(figures);
  s.pathNeedsMove = closed;
}

// Draws or records an open figure.
void emitOpen(DeviceContext& dc, const QPainterPath& figure) {
  if (dc.state.pathOpen) addFigures(dc.state, figure, false);
  else strokeShape(dc, figure);
}

// Draws or records closed figures: filled with `rule`, then outlined.
void emitClosed(DeviceContext& dc, QPainterPath figures, Qt::FillRule rule) {
  if (dc.state.pathOpen) {
    addFigures(dc.state, figures, true);
    return;
  }
  figures.setFillRule(rule);
  fillShape(dc, figures);
  strokeShape(dc, figures);
}

// Draws or records segments continuing from the current position; `segments`
// starts with a move to the first point it draws to, which becomes a line.
// Appends `segments` to `path` with a line from its end to their start.
// QPainterPath::connectPath drops a path that is one move alone (a single
// LineTo's end point), so the elements are walked here.
void connectSegments(QPainterPath& path, const QPainterPath& segments) {
  for (int i = 0; i < segments.elementCount(); ++i) {
    const QPainterPath::Element e = segments.elementAt(i);
    if (e.isMoveTo()) {
      if (i == 0) {
        path.lineTo(e.x, e.y);
      } else {
        path.moveTo(e.x, e.y);
      }
    } else if (e.isLineTo()) {
      path.lineTo(e.x, e.y);
    } else if (e.isCurveTo() && i + 2 < segments.elementCount()) {
      const QPainterPath::Element c2 = segments.elementAt(i + 1), end = segments.elementAt(i + 2);
      path.cubicTo(e.x, e.y, c2.x, c2.y, end.x, end.y);
      i += 2;
    }
  }
}

void emitContinuing(DeviceContext& dc, const QPointF& from, const QPainterPath& segments) {
  if (dc.state.pathOpen) {
    continuePath(dc.state, from);
    connectSegments(dc.state.path, segments);
    return;
  }
  QPainterPath figure;
  figure.moveTo(from);
  connectSegments(figure, segments);
  strokeShape(dc, figure);
}

bool validCounts(const int* counts, int64_t polygons, int minimum) {
  if (!counts || polygons <= 0 || polygons > kMaxPoints) return false;
  int64_t total = 0;
  for (int64_t i = 0; i < polygons; ++i) {
    if (counts[i] < minimum) return false;
    total += counts[i];
    if (total > kMaxPoints) return false;
  }
  return true;
}

// The frame of a bounded shape in the space it is built in. Where the
// transform keeps axes, shapes are built in device pixels from the rounded
// corners, and GM_COMPATIBLE leaves out the right and bottom edge; otherwise
// they are built in logical units and mapped.
struct Frame {
  QRectF rect;
  QTransform toDevice;   // identity when built in device pixels
  QTransform logical;    // logical to the building space
  bool inDevice = true;
  bool flipped = false;  // building space turns the other way from the device
};

Frame makeFrame(const DeviceContext& dc, int left, int top, int right, int bottom, const ResolvedPen* pen) {
  Frame f;
  const QTransform t = dc.worldToDevice();
  if (isScaleTranslate(t)) {
    QPointF a = devicePoint(t, left, top), b = devicePoint(t, right, bottom);
    double x0 = std::min(a.x(), b.x()), x1 = std::max(a.x(), b.x());
    double y0 = std::min(a.y(), b.y()), y1 = std::max(a.y(), b.y());
    if (dc.state.graphicsMode == GM_COMPATIBLE) {
      x1 = std::max(x0, x1 - 1);
      y1 = std::max(y0, y1 - 1);
    }
    f.rect = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    f.logical = t;
    if (pen && pen->insideFrame && !pen->onePixel) {
      double inset = std::min({pen->deviceWidth / 2, f.rect.width() / 2, f.rect.height() / 2});
      f.rect.adjust(inset, inset, -inset, -inset);
    }
  } else {
    f.inDevice = false;
    f.rect = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
    f.toDevice = t;
    f.flipped = t.determinant() < 0;
    if (pen && pen->insideFrame && !pen->onePixel) {
      double inset = std::min({pen->width / 2, f.rect.width() / 2, f.rect.height() / 2});
      f.rect.adjust(inset, inset, -inset, -inset);
    }
  }
  return f;
}

QPainterPath toDevice(const Frame& f, const QPainterPath& built) {
  return f.inDevice ? built : f.toDevice.map(built);
}

// Angle in degrees (Qt's sense: counter-clockwise on the device) of the
// point where the ray from the centre towards `p` meets the ellipse.
double ellipseAngle(const QRectF& r, const QPointF& p) {
  const double rx = std::max(r.width() / 2, 1e-9), ry = std::max(r.height() / 2, 1e-9);
  const QPointF c = r.center();
  if (p == c) return 0;
  return qRadiansToDegrees(std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx));
}

QPointF ellipsePoint(const QRectF& r, double degrees) {
  const double a = qDegreesToRadians(degrees);
  return QPointF(r.center().x() + r.width() / 2 * std::cos(a), r.center().y() - r.height() / 2 * std::sin(a));
}

struct ArcSpan {
  double start = 0, sweep = 0;
};

ArcSpan arcSpan(const DeviceContext& dc, const Frame& f, int xStart, int yStart, int xEnd, int yEnd) {
  const QPointF ps = f.inDevice ? f.logical.map(QPointF(xStart, yStart)) : QPointF(xStart, yStart);
  const QPointF pe = f.inDevice ? f.logical.map(QPointF(xEnd, yEnd)) : QPointF(xEnd, yEnd);
  ArcSpan span;
  span.start = ellipseAngle(f.rect, ps);
  const double end = ellipseAngle(f.rect, pe);
  // The direction is the device's: counter-clockwise as the page shows it.
  bool counterClockwise = dc.state.arcDirection == AD_COUNTERCLOCKWISE;
  if (f.flipped) counterClockwise = !counterClockwise;
  double sweep = end - span.start;
  if (counterClockwise) {
    while (sweep <= 0) sweep += 360;
  } else {
    while (sweep >= 0) sweep -= 360;
  }
  span.sweep = sweep;
  return span;
}

enum class ArcKind { Arc, ArcTo, Chord, Pie };

bool drawArc(HDC hdc, ArcKind kind, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
             int yEnd) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  const ResolvedPen pen = resolvePen(*dc);
  const bool bounded = kind == ArcKind::Chord || kind == ArcKind::Pie;
  const Frame f = makeFrame(*dc, left, top, right, bottom, bounded ? &pen : nullptr);
  const ArcSpan span = arcSpan(*dc, f, xStart, yStart, xEnd, yEnd);
  QPainterPath built;
  if (kind == ArcKind::Pie) {
    built.moveTo(f.rect.center());
    built.arcTo(f.rect, span.start, span.sweep);
    built.closeSubpath();
  } else {
    built.arcMoveTo(f.rect, span.start);
    built.arcTo(f.rect, span.start, span.sweep);
    if (kind == ArcKind::Chord) built.closeSubpath();
  }
  const QPainterPath device = toDevice(f, built);
  switch (kind) {
    case ArcKind::Arc:
      emitOpen(*dc, device);
      break;
    case ArcKind::ArcTo: {
      const QTransform t = dc->worldToDevice();
      const POINT cp = dc->state.currentPosition;
      emitContinuing(*dc, devicePoint(t, cp.x, cp.y), device);
      // The current position moves to the arc's end, in logical units.
      bool invertible = false;
      const QTransform inverse = t.inverted(&invertible);
      QPointF end = ellipsePoint(f.rect, span.start + span.sweep);
      if (!f.inDevice) end = f.toDevice.map(end);
      if (invertible) {
        QPointF logical = inverse.map(end);
        dc->state.currentPosition = {roundCoord(logical.x()), roundCoord(logical.y())};
      }
      break;
    }
    default:
      emitClosed(*dc, device, Qt::WindingFill);
      break;
  }
  return true;
}

}  // namespace

bool LineTo(HDC hdc, int x, int y) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  const QTransform t = dc->worldToDevice();
  const POINT cp = dc->state.currentPosition;
  QPainterPath segment;
  segment.moveTo(devicePoint(t, x, y));
  emitContinuing(*dc, devicePoint(t, cp.x, cp.y), segment);
  dc->state.currentPosition = {x, y};
  return true;
}

bool Polyline(HDC hdc, const POINT* points, int count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || count < 2 || count > kMaxPoints) return invalidParameter(false);
  const QTransform t = dc->worldToDevice();
  QPainterPath figure;
  figure.moveTo(devicePoint(t, points[0].x, points[0].y));
  for (int i = 1; i < count; ++i) figure.lineTo(devicePoint(t, points[i].x, points[i].y));
  emitOpen(*dc, figure);
  return true;
}

bool PolylineTo(HDC hdc, const POINT* points, int count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || count < 1 || count > kMaxPoints) return invalidParameter(false);
  const QTransform t = dc->worldToDevice();
  const POINT cp = dc->state.currentPosition;
  QPainterPath segments;
  segments.moveTo(devicePoint(t, points[0].x, points[0].y));
  for (int i = 1; i < count; ++i) segments.lineTo(devicePoint(t, points[i].x, points[i].y));
  emitContinuing(*dc, devicePoint(t, cp.x, cp.y), segments);
  dc->state.currentPosition = points[count - 1];
  return true;
}

bool PolyPolyline(HDC hdc, const POINT* points, const uint32_t* counts, uint32_t polylines) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || !counts || polylines == 0 || polylines > kMaxPoints) return invalidParameter(false);
  int64_t total = 0;
  for (uint32_t i = 0; i < polylines; ++i) {
    if (counts[i] < 2) return invalidParameter(false);
    total += counts[i];
    if (total > kMaxPoints) return invalidParameter(false);
  }
  const QTransform t = dc->worldToDevice();
  QPainterPath figures;
  const POINT* p = points;
  for (uint32_t i = 0; i < polylines; ++i) {
    figures.moveTo(devicePoint(t, p[0].x, p[0].y));
    for (uint32_t k = 1; k < counts[i]; ++k) figures.lineTo(devicePoint(t, p[k].x, p[k].y));
    p += counts[i];
  }
  emitOpen(*dc, figures);
  return true;
}

bool PolyPolygon(HDC hdc, const POINT* points, const int* counts, int polygons) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || !validCounts(counts, polygons, 2)) return invalidParameter(false);
  const QTransform t = dc->worldToDevice();
  QPainterPath figures;
  const POINT* p = points;
  for (int i = 0; i < polygons; ++i) {
    figures.moveTo(devicePoint(t, p[0].x, p[0].y));
    for (int k = 1; k < counts[i]; ++k) figures.lineTo(devicePoint(t, p[k].x, p[k].y));
    figures.closeSubpath();
    p += counts[i];
  }
  emitClosed(*dc, figures, dc->state.polyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  return true;
}

bool Polygon(HDC hdc, const POINT* points, int count) { return PolyPolygon(hdc, points, &count, 1); }

bool PolyBezier(HDC hdc, const POINT* points, uint32_t count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || count < 4 || count > kMaxPoints || (count - 1) % 3) return invalidParameter(false);
  const QTransform t = dc->worldToDevice();
  QPainterPath figure;
  figure.moveTo(devicePoint(t, points[0].x, points[0].y));
  for (uint32_t i = 1; i + 2 < count; i += 3)
    figure.cubicTo(devicePoint(t, points[i].x, points[i].y), devicePoint(t, points[i + 1].x, points[i + 1].y),
                   devicePoint(t, points[i + 2].x, points[i + 2].y));
  emitOpen(*dc, figure);
  return true;
}

bool PolyBezierTo(HDC hdc, const POINT* points, uint32_t count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || count < 3 || count > kMaxPoints || count % 3) return invalidParameter(false);
  const QTransform t = dc->worldToDevice();
  const POINT cp = dc->state.currentPosition;
  const QPointF from = devicePoint(t, cp.x, cp.y);
  QPainterPath segments;
  segments.moveTo(from);
  for (uint32_t i = 0; i + 2 < count; i += 3)
    segments.cubicTo(devicePoint(t, points[i].x, points[i].y), devicePoint(t, points[i + 1].x, points[i + 1].y),
                     devicePoint(t, points[i + 2].x, points[i + 2].y));
  emitContinuing(*dc, from, segments);
  dc->state.currentPosition = points[count - 1];
  return true;
}

bool PolyDraw(HDC hdc, const POINT* points, const uint8_t* types, int count) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (!points || !types || count < 0 || count > kMaxPoints) return invalidParameter(false);
  // Checked whole before anything is drawn, as GDI does.
  for (int i = 0; i < count; ++i) {
    const uint8_t kind = types[i] & ~PT_CLOSEFIGURE;
    if (types[i] == PT_MOVETO || kind == PT_LINETO) continue;
    if (kind != PT_BEZIERTO || i + 2 >= count || (types[i + 1] & ~PT_CLOSEFIGURE) != PT_BEZIERTO ||
        (types[i + 2] & ~PT_CLOSEFIGURE) != PT_BEZIERTO)
      return invalidParameter(false);
    i += 2;
  }
  if (count == 0) return true;
  const QTransform t = dc->worldToDevice();
  DcState& s = dc->state;
  const POINT cp = s.currentPosition;
  QPainterPath local;
  QPainterPath& target = s.pathOpen ? s.path : local;
  const QPointF from = devicePoint(t, cp.x, cp.y);
  if (s.pathOpen) continuePath(s, from);
  else local.moveTo(from);
  for (int i = 0; i < count; ++i) {
    const QPointF p = devicePoint(t, points[i].x, points[i].y);
    const uint8_t kind = types[i] & ~PT_CLOSEFIGURE;
    if (types[i] == PT_MOVETO) {
      target.moveTo(p);
    } else if (kind == PT_LINETO) {
      target.lineTo(p);
    } else {
      target.cubicTo(p, devicePoint(t, points[i + 1].x, points[i + 1].y),
                     devicePoint(t, points[i + 2].x, points[i + 2].y));
      i += 2;
    }
    if (types[i] & PT_CLOSEFIGURE) {
      target.closeSubpath();
      if (s.pathOpen) s.pathNeedsMove = true;
    }
  }
  s.currentPosition = points[count - 1];
  if (!s.pathOpen) strokeShape(*dc, local);
  return true;
}

namespace {

// Rectangle, RoundRect and Ellipse: a closed shape that `build` makes in the
// frame of the box, filled and outlined.
template <typename Build>
bool drawBox(HDC hdc, int left, int top, int right, int bottom, Build build) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  const ResolvedPen pen = resolvePen(*dc);
  const Frame f = makeFrame(*dc, left, top, right, bottom, &pen);
  QPainterPath built;
  build(built, f);
  emitClosed(*dc, toDevice(f, built), Qt::WindingFill);
  return true;
}

}  // namespace

bool Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return drawBox(hdc, left, top, right, bottom, [](QPainterPath& built, const Frame& f) { built.addRect(f.rect); });
}

bool RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
  return drawBox(hdc, left, top, right, bottom, [&](QPainterPath& built, const Frame& f) {
    double rx = std::abs(double(width)) / 2, ry = std::abs(double(height)) / 2;
    if (f.inDevice) {
      rx *= std::fabs(f.logical.m11());
      ry *= std::fabs(f.logical.m22());
    }
    rx = std::min(rx, f.rect.width() / 2);
    ry = std::min(ry, f.rect.height() / 2);
    if (rx > 0 && ry > 0) built.addRoundedRect(f.rect, rx, ry);
    else built.addRect(f.rect);
  });
}

bool Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return drawBox(hdc, left, top, right, bottom,
                 [](QPainterPath& built, const Frame& f) { built.addEllipse(f.rect); });
}

bool Arc(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return drawArc(hdc, ArcKind::Arc, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
}

bool ArcTo(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return drawArc(hdc, ArcKind::ArcTo, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
}

bool Chord(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return drawArc(hdc, ArcKind::Chord, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
}

bool Pie(HDC hdc, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  return drawArc(hdc, ArcKind::Pie, left, top, right, bottom, xStart, yStart, xEnd, yEnd);
}

bool AngleArc(HDC hdc, int x, int y, uint32_t radius, float startAngle, float sweepAngle) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return false;
  if (radius > 0x7FFFFFFF || !std::isfinite(startAngle) || !std::isfinite(sweepAngle)) return invalidParameter(false);
  const double r = radius;
  const double sweep = std::clamp(double(sweepAngle), -3600.0, 3600.0);
  const double start = std::fmod(double(startAngle), 360.0);
  // Angles count counter-clockwise in logical space, whatever the arc
  // direction.
  const QRectF box(x - r, y - r, 2 * r, 2 * r);
  QPainterPath built;
  built.arcMoveTo(box, start);
  built.arcTo(box, start, sweep);
  const QTransform t = dc->worldToDevice();
  const POINT cp = dc->state.currentPosition;
  emitContinuing(*dc, devicePoint(t, cp.x, cp.y), t.map(built));
  const QPointF end = ellipsePoint(box, start + sweep);
  dc->state.currentPosition = {roundCoord(end.x()), roundCoord(end.y())};
  return true;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  const QPointF p = devicePoint(dc->worldToDevice(), x, y);
  Paint paint;
  paint.brush = QBrush(QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
  paint.rop2 = R2_COPYPEN;
  dc->surface().fillRegion(QRegion(QRect(p.toPoint(), QSize(1, 1))), paint, dc->deviceClip());
  return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return CLR_INVALID;
  const QPoint p = devicePoint(dc->worldToDevice(), x, y).toPoint();
  const DeviceClip clip = dc->deviceClip();
  if (!deviceBounds(*dc).contains(p) || (clip.active && !clip.region.contains(p))) return CLR_INVALID;
  const QImage pixel = dc->surface().readPixels(QRect(p, QSize(1, 1)));
  if (pixel.isNull() || pixel.width() < 1 || pixel.height() < 1) return CLR_INVALID;
  const QRgb c = pixel.pixel(0, 0);
  return RGB(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)));
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (!rect) return invalidParameter(0);
  Paint paint;
  if (!handleBrushPaint(*dc, brush, paint)) return objectAs<BrushObject>(brush) ? 1 : invalidParameter(0);
  paint.rop2 = R2_COPYPEN;
  const QRegion area = logicalRectRegion(*dc, rect->left, rect->top, rect->right, rect->bottom);
  if (!area.isEmpty()) dc->surface().fillRegion(area, paint, dc->deviceClip());
  return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  DeviceContext* dc = dcOrFail(hdc);
  if (!dc) return 0;
  if (!rect) return invalidParameter(0);
  Paint paint;
  if (!handleBrushPaint(*dc, brush, paint)) return objectAs<BrushObject>(brush) ? 1 : invalidParameter(0);
  paint.rop2 = R2_COPYPEN;
  if (rect->left >= rect->right || rect->top >= rect->bottom) return 1;
  const QTransform t = dc->worldToDevice();
  const QRegion outer = logicalRectRegion(*dc, rect->left, rect->top, rect->right, rect->bottom);
  QRegion inner;
  if (isScaleTranslate(t)) {
    // The border is one logical unit wide, and never thinner than a pixel.
    const int w = std::max(1, roundCoord(std::fabs(t.m11()))), h = std::max(1, roundCoord(std::fabs(t.m22())));
    inner = QRegion(outer.boundingRect().adjusted(w, h, -w, -h));
  } else {
    inner = logicalRectRegion(*dc, rect->left + 1, rect->top + 1, rect->right - 1, rect->bottom - 1);
  }
  dc->surface().fillRegion(outer - inner, paint, dc->deviceClip());
  return 1;
}

}  // namespace platform
