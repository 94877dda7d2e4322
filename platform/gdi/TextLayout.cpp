#include "platform/gdi/TextLayout.h"

#include <cmath>

namespace platform::gdi {
namespace {

constexpr double kPi = 3.14159265358979323846;

bool near(double a, double b) { return std::fabs(a - b) < 1e-9; }

bool isIdentityLinear(const QTransform& t) {
  return near(t.m11(), 1) && near(t.m12(), 0) && near(t.m21(), 0) && near(t.m22(), 1);
}

// A rotation without scale or mirror.
bool isRotation(const QTransform& t) {
  const double det = t.m11() * t.m22() - t.m12() * t.m21();
  return det > 0 && std::fabs(t.m11() * t.m11() + t.m12() * t.m12() - 1) < 1e-6 &&
         std::fabs(t.m21() * t.m21() + t.m22() * t.m22() - 1) < 1e-6 &&
         std::fabs(t.m11() * t.m21() + t.m12() * t.m22()) < 1e-6;
}

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

}  // namespace

LOGFONTW selectedLogfont(const DeviceContext& dc) {
  if (dc.state.fontObject) return dc.state.fontObject->logfont;
  LOGFONTW lf{};
  lf.lfHeight = 16;
  lf.lfWeight = FW_BOLD;
  lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  const char16_t face[] = u"System";
  for (size_t i = 0; face[i]; ++i) lf.lfFaceName[i] = face[i];
  return lf;
}

TextFrame makeTextFrame(const DeviceContext& dc, double x, double y) {
  TextFrame frame;
  const LOGFONTW lf = selectedLogfont(dc);
  const QTransform t = dc.worldToDevice();
  const bool advanced = dc.state.graphicsMode == GM_ADVANCED;
  double escapement = (lf.lfEscapement % 3600) / 10.0;
  // The angle counts from the logical x axis towards logical "up" (-y):
  // where the mapping mirrors, that turns the other way on the device.
  if (!advanced && t.m11() * t.m22() - t.m12() * t.m21() < 0) escapement = -escapement;
  if (escapement < 0) escapement += 360;
  double orientation = advanced ? (lf.lfOrientation % 3600) / 10.0 : escapement;
  if (orientation < 0) orientation += 360;

  double emScale = 1;
  QTransform distortion;  // what the transform does to glyph shapes beyond a scale
  if (!advanced) {
    // Device fonts: upright and undistorted whatever the mapping; the
    // height scales with y, the width with x, the baseline turns on the
    // device.
    frame.scaleX = finiteOr(std::hypot(t.m11(), t.m12()), 1);
    frame.scaleY = finiteOr(std::hypot(t.m21(), t.m22()), 1);
    emScale = frame.scaleY;
    const double a = escapement * kPi / 180;
    frame.alongBaseline = frame.scaleX * std::cos(a) * std::cos(a) + frame.scaleY * std::sin(a) * std::sin(a);
    const QPointF origin = t.map(QPointF(x, y));
    frame.textToDevice = QTransform().rotate(-escapement) * QTransform::fromTranslate(origin.x(), origin.y());
    frame.integerMetrics = true;
  } else {
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    const double s = finiteOr(std::sqrt(std::fabs(det)), 0);
    emScale = s > 0 ? s : 1;
    frame.scaleX = frame.scaleY = frame.alongBaseline = emScale;
    const QTransform linear(t.m11(), t.m12(), t.m21(), t.m22(), 0, 0);
    distortion = linear * QTransform::fromScale(1 / emScale, 1 / emScale);
    frame.textToDevice = QTransform::fromScale(1 / emScale, 1 / emScale) * QTransform().rotate(-escapement) *
                         QTransform::fromTranslate(x, y) * t;
    frame.integerMetrics = isRotation(distortion);
  }

  // lfHeight 0 asks for the default size, 12 points on the device.
  double height = double(lf.lfHeight) * emScale;
  if (lf.lfHeight == 0) height = -12.0 * std::max(1, dc.description().dpiY) / 72.0;
  double width = std::fabs(double(lf.lfWidth)) * (advanced ? emScale : frame.scaleX);
  if (frame.integerMetrics) {
    height = std::floor(height + 0.5);
    width = std::floor(width + 0.5);
  }
  frame.font = realizeFont(lf, height, width, frame.integerMetrics);

  const double size = frame.font->sizeScale();
  QTransform shape = QTransform::fromScale(size * frame.font->widthScale(), size);
  if (isIdentityLinear(shape) && isIdentityLinear(distortion)) {
    frame.angle = orientation;
  } else {
    frame.glyphTransform = shape * QTransform().rotate(-orientation) * distortion;
  }
  return frame;
}

std::vector<TextUnit> unitsFromWide(const char16_t* text, uint32_t count, const int32_t* dx, bool pdy) {
  std::vector<TextUnit> units;
  units.reserve(count);
  const size_t step = pdy ? 2 : 1;
  for (uint32_t i = 0; i < count; ++i) {
    TextUnit u;
    u.ch = text[i];
    uint32_t last = i;
    if (QChar::isHighSurrogate(text[i]) && i + 1 < count && QChar::isLowSurrogate(text[i + 1])) {
      u.ch = QChar::surrogateToUcs4(text[i], text[i + 1]);
      last = i + 1;
    }
    if (dx) {
      u.hasDx = true;
      for (uint32_t k = i; k <= last; ++k) {
        u.dx += dx[k * step];
        if (pdy) u.dy += dx[k * step + 1];
      }
    }
    units.push_back(u);
    i = last;
  }
  return units;
}

}  // namespace platform::gdi
