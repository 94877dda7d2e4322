#include "platform/gdi/DrawTools.h"

#include <QPainterPathStroker>
#include <array>
#include <cmath>

namespace platform::gdi {

namespace {

QColor toQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

bool hatchInk(uint32_t hatch, int x, int y) {
  const bool horizontal = y == 3, vertical = x == 4, forward = x == y, backward = x + y == 7;
  switch (hatch) {
    case HS_HORIZONTAL: return horizontal;
    case HS_VERTICAL: return vertical;
    case HS_FDIAGONAL: return forward;
    case HS_BDIAGONAL: return backward;
    case HS_CROSS: return horizontal || vertical;
    case HS_DIAGCROSS: return forward || backward;
    default: return false;
  }
}

// Recently used hatch patterns: a page uses a handful, and an 8 x 8 image
// per call is churn the preview does not need.
struct HatchKey {
  uint32_t hatch;
  QRgb ink, gap;
  bool operator==(const HatchKey&) const = default;
};

QImage cachedHatch(uint32_t hatch, QRgb ink, QRgb gap) {
  struct Entry {
    HatchKey key;
    QImage image;
  };
  thread_local std::array<Entry, 8> cache;
  thread_local size_t next = 0;
  HatchKey key{hatch, ink, gap};
  for (const Entry& e : cache)
    if (!e.image.isNull() && e.key == key) return e.image;
  Entry& slot = cache[next++ % cache.size()];
  slot.key = key;
  slot.image = hatchPattern(hatch, ink, gap);
  return slot.image;
}

// The system colours a brush "handle" of COLOR_* + 1 stands for.
bool systemColour(uintptr_t value, COLORREF& colour) {
  static const COLORREF kColours[31] = {
      0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000,
      0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000,
      0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000, 0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933,
      0xF0F0F0};
  if (value < 1 || value > 31) return false;
  colour = kColours[value - 1];
  return true;
}

}  // namespace

QImage hatchPattern(uint32_t hatch, QRgb ink, QRgb gap) {
  QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < 8; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < 8; ++x) line[x] = hatchInk(hatch, x, y) ? ink : gap;
  }
  return image;
}

bool brushPaint(const DeviceContext& dc, const BrushObject& brush, bool isDcBrush, Paint& paint) {
  const DcState& s = dc.state;
  paint.rop2 = s.rop2;
  paint.opaqueBackground = false;
  switch (brush.style) {
    case BS_SOLID:
      paint.brush = QBrush(toQColor(isDcBrush ? s.dcBrushColor : brush.color));
      return true;
    case BS_HATCHED: {
      const bool opaque = s.bkMode == OPAQUE;
      QRgb ink = toQColor(brush.color).rgba();
      QRgb gap = opaque ? toQColor(s.bkColor).rgba() : 0u;
      // The gaps are in the pattern already; the flag tells surfaces that
      // compose raster operations what the background is.
      paint.brush = QBrush(cachedHatch(brush.hatch, ink, gap));
      paint.opaqueBackground = opaque;
      paint.background = toQColor(s.bkColor);
      break;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN:
    case BS_DIBPATTERNPT:
    case BS_PATTERN8X8:
    case BS_DIBPATTERN8X8: {
      if (brush.pattern.isNull()) return false;
      if (brush.monochrome) {
        // Two-colour patterns take the text colour for 0 and the background
        // colour for 1, as GDI's monochrome pattern brushes.
        QImage mono = brush.pattern;
        mono.setColorTable({toQColor(s.textColor).rgba(), toQColor(s.bkColor).rgba()});
        paint.brush = QBrush(mono.convertToFormat(QImage::Format_RGB32));
      } else {
        paint.brush = QBrush(brush.pattern);
      }
      break;
    }
    default:
      return false;
  }
  paint.brush.setTransform(QTransform::fromTranslate(s.brushOrg.x, s.brushOrg.y));
  return true;
}

bool currentBrushPaint(const DeviceContext& dc, Paint& paint) {
  if (!dc.state.brushObject) return false;
  return brushPaint(dc, *dc.state.brushObject, dc.state.brush == stockObject(DC_BRUSH), paint);
}

bool handleBrushPaint(const DeviceContext& dc, HBRUSH brush, Paint& paint) {
  COLORREF colour;
  if (auto object = objectAs<BrushObject>(brush)) return brushPaint(dc, *object, brush == stockObject(DC_BRUSH), paint);
  if (systemColour(reinterpret_cast<uintptr_t>(brush), colour)) {
    BrushObject solid;
    solid.color = colour;
    return brushPaint(dc, solid, false, paint);
  }
  return false;
}

ResolvedPen resolvePen(const DeviceContext& dc) {
  ResolvedPen r;
  const PenObject* pen = dc.state.penObject.get();
  if (!pen) return r;
  const uint32_t style = pen->style & PS_STYLE_MASK;
  if (style == PS_NULL) return r;
  r.null = false;
  r.style = style;
  r.insideFrame = style == PS_INSIDEFRAME;
  r.color = toQColor(dc.state.pen == stockObject(DC_PEN) ? dc.state.dcPenColor : pen->color);
  r.brushStyle = pen->brushStyle;
  r.brushHatch = pen->brushHatch;
  const bool geometric = (pen->style & PS_TYPE_MASK) == PS_GEOMETRIC || (!pen->extended && pen->width > 1);
  if (geometric) {
    const QTransform t = dc.worldToDevice();
    const double scale = std::sqrt(std::fabs(t.determinant()));
    r.width = std::max(pen->width, 0);
    r.deviceWidth = r.width * scale;
    switch (pen->style & PS_ENDCAP_MASK) {
      case PS_ENDCAP_SQUARE: r.cap = Qt::SquareCap; break;
      case PS_ENDCAP_FLAT: r.cap = Qt::FlatCap; break;
      default: r.cap = Qt::RoundCap; break;
    }
    switch (pen->style & PS_JOIN_MASK) {
      case PS_JOIN_BEVEL: r.join = Qt::BevelJoin; break;
      case PS_JOIN_MITER: r.join = Qt::MiterJoin; break;
      default: r.join = Qt::RoundJoin; break;
    }
  }
  r.onePixel = !geometric || r.deviceWidth < 1.5;
  if (r.onePixel) {
    r.deviceWidth = 1;
    r.cap = Qt::FlatCap;
    r.join = Qt::MiterJoin;
  }
  // Dash patterns: in device pixels for one-pixel pens; in pen widths for
  // wide ones.
  auto pattern = [&](std::initializer_list<qreal> cosmetic, std::initializer_list<qreal> wide) {
    r.dashes = r.onePixel ? QList<qreal>(cosmetic) : QList<qreal>(wide);
  };
  switch (style) {
    case PS_DASH: pattern({18, 6}, {3, 1}); break;
    case PS_DOT: pattern({3, 3}, {1, 1}); break;
    case PS_DASHDOT: pattern({9, 6, 3, 6}, {3, 1, 1, 1}); break;
    case PS_DASHDOTDOT: pattern({9, 3, 3, 3, 3, 3}, {3, 1, 1, 1, 1, 1}); break;
    case PS_ALTERNATE: r.dashes = {1, 1}; break;
    case PS_USERSTYLE: {
      const QTransform t = dc.worldToDevice();
      const double scale = std::sqrt(std::fabs(t.determinant()));
      for (uint32_t v : pen->userStyle) {
        double length = geometric ? (r.onePixel ? v * scale : (r.width > 0 ? v / r.width : v)) : double(v);
        r.dashes.push_back(std::max(length, 1e-3));
      }
      if (r.dashes.size() % 2) r.dashes.append(QList<qreal>(r.dashes));
      break;
    }
    default: break;
  }
  return r;
}

void fillShape(DeviceContext& dc, const QPainterPath& devicePath) {
  Paint paint;
  if (!currentBrushPaint(dc, paint)) return;
  dc.surface().fillPath(devicePath, paint, dc.deviceClip());
}

void strokeShape(DeviceContext& dc, const QPainterPath& devicePath) { strokeShape(dc, devicePath, resolvePen(dc)); }

QPainterPath widenedOutline(const DeviceContext& dc, const QPainterPath& devicePath, const ResolvedPen& pen) {
  QPainterPathStroker stroker;
  stroker.setCapStyle(pen.cap);
  stroker.setJoinStyle(pen.join);
  stroker.setMiterLimit(std::max(0.5, double(dc.state.miterLimit) / 2));
  if (!pen.dashes.isEmpty()) stroker.setDashPattern(pen.dashes);
  const QTransform t = dc.worldToDevice();
  // Conformal transforms (uniform scale, rotation, flips) keep a round nib
  // round: stroke in device space. Others stretch the nib: stroke in
  // logical space and map the outline.
  const bool conformal = std::fabs(std::fabs(t.m11()) - std::fabs(t.m22())) <= 1e-9 * (std::fabs(t.m11()) + 1) &&
                         std::fabs(std::fabs(t.m12()) - std::fabs(t.m21())) <= 1e-9 * (std::fabs(t.m12()) + 1);
  QPainterPath outline;
  bool invertible = false;
  QTransform inverse = conformal ? QTransform() : t.inverted(&invertible);
  if (conformal || !invertible || pen.onePixel) {
    stroker.setWidth(pen.deviceWidth);
    outline = stroker.createStroke(devicePath);
  } else {
    stroker.setWidth(pen.width);
    outline = t.map(stroker.createStroke(inverse.map(devicePath)));
  }
  // Outline coordinates are pixel centres; fills read them as edges.
  outline.translate(0.5, 0.5);
  outline.setFillRule(Qt::WindingFill);
  return outline;
}

void strokeShape(DeviceContext& dc, const QPainterPath& devicePath, const ResolvedPen& pen) {
  if (pen.null || devicePath.isEmpty()) return;
  const DeviceClip clip = dc.deviceClip();
  if (pen.onePixel) {
    QPen qpen(pen.color);
    qpen.setWidth(1);
    qpen.setCosmetic(true);
    qpen.setCapStyle(Qt::FlatCap);
    qpen.setJoinStyle(Qt::MiterJoin);
    if (!pen.dashes.isEmpty()) {
      if (dc.state.bkMode == OPAQUE) {
        QPen gaps = qpen;
        gaps.setColor(toQColor(dc.state.bkColor));
        dc.surface().strokeCosmetic(devicePath, gaps, dc.state.rop2, clip);
      }
      qpen.setDashPattern(pen.dashes);
    }
    dc.surface().strokeCosmetic(devicePath, qpen, dc.state.rop2, clip);
    return;
  }
  Paint paint;
  paint.rop2 = dc.state.rop2;
  if (pen.brushStyle == BS_HATCHED) {
    BrushObject hatch;
    hatch.style = BS_HATCHED;
    hatch.hatch = pen.brushHatch;
    hatch.color = RGB(uint8_t(pen.color.red()), uint8_t(pen.color.green()), uint8_t(pen.color.blue()));
    brushPaint(dc, hatch, false, paint);
  } else {
    paint.brush = QBrush(pen.color);
  }
  dc.surface().fillPath(widenedOutline(dc, devicePath, pen), paint, clip);
}

}  // namespace platform::gdi
