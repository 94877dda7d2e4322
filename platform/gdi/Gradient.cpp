// GradientFill: rectangles become a one-pixel strip of the colours along
// the gradient, stretched across; triangles a picture of their bounding box
// with the colours interpolated from the three vertices.

#include <algorithm>
#include <cmath>

#include "platform/gdi/BitmapApi.h"
#include "platform/gdi/BlitSupport.h"
#include "platform/gdi/DcInternal.h"
#include "platform/system/LastError.h"

namespace platform::gdi {
namespace {

// Colour channels are 16 bits; the device takes their high bytes.
QRgb mix(const TRIVERTEX& a, const TRIVERTEX& b, double t) {
  auto channel = [t](uint16_t from, uint16_t to) {
    const double v = from + (double(to) - from) * t;
    return int(std::clamp(v, 0.0, 65535.0)) >> 8;
  };
  return qRgb(channel(a.Red, b.Red), channel(a.Green, b.Green), channel(a.Blue, b.Blue));
}

constexpr int kMaxStrip = 1 << 16;

void fillRect(DeviceContext& dc, const TRIVERTEX& a, const TRIVERTEX& b, bool vertical) {
  const QTransform unit = unitToDevice(dc, a.x, a.y, double(b.x) - a.x, double(b.y) - a.y);
  if (unit.determinant() == 0) return;
  const QPointF origin = unit.map(QPointF(0, 0));
  const QPointF along = unit.map(vertical ? QPointF(0, 1) : QPointF(1, 0)) - origin;
  const int n = std::clamp(int(std::lround(std::hypot(along.x(), along.y()))), 1, kMaxStrip);
  QImage strip(vertical ? 1 : n, vertical ? n : 1, QImage::Format_RGB32);
  if (strip.isNull()) return;
  for (int i = 0; i < n; ++i) {
    // Each device pixel takes the colour at its leading edge.
    const QRgb c = mix(a, b, double(i) / n);
    if (vertical) {
      reinterpret_cast<QRgb*>(strip.scanLine(i))[0] = c;
    } else {
      reinterpret_cast<QRgb*>(strip.scanLine(0))[i] = c;
    }
  }
  const QTransform toUnit = vertical ? QTransform(1, 0, 0, 1.0 / n, 0, 0) : QTransform(1.0 / n, 0, 0, 1, 0, 0);
  dc.surface().drawImage(strip, toUnit * unit, false, dc.deviceClip());
}

constexpr int64_t kMaxTrianglePixels = int64_t(16) << 20;

void fillTriangle(DeviceContext& dc, const TRIVERTEX& v0, const TRIVERTEX& v1, const TRIVERTEX& v2) {
  const QTransform t = dc.worldToDevice();
  const QPointF p[3] = {t.map(QPointF(v0.x, v0.y)), t.map(QPointF(v1.x, v1.y)), t.map(QPointF(v2.x, v2.y))};
  const double area = (p[1].x() - p[0].x()) * (p[2].y() - p[0].y()) - (p[2].x() - p[0].x()) * (p[1].y() - p[0].y());
  if (area == 0 || !std::isfinite(area)) return;
  QRectF box(p[0], QSizeF(0, 0));
  for (const QPointF& q : p) box |= QRectF(q, QSizeF(0, 0));
  QRect bounds = box.toAlignedRect() & surfaceBounds(dc);
  const DeviceClip clip = dc.deviceClip();
  if (clip.active) bounds &= clip.region.boundingRect();
  if (bounds.isEmpty()) return;
  // Very large triangles are interpolated on a coarser grid and stretched.
  double scale = 1;
  const int64_t pixels = int64_t(bounds.width()) * bounds.height();
  if (pixels > kMaxTrianglePixels) scale = std::sqrt(double(kMaxTrianglePixels) / double(pixels));
  const int w = std::max(1, int(bounds.width() * scale)), h = std::max(1, int(bounds.height() * scale));
  const double sx = double(bounds.width()) / w, sy = double(bounds.height()) / h;
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return;
  const TRIVERTEX* v[3] = {&v0, &v1, &v2};
  for (int j = 0; j < h; ++j) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(j));
    const double cy = bounds.y() + (j + 0.5) * sy;
    for (int i = 0; i < w; ++i) {
      const double cx = bounds.x() + (i + 0.5) * sx;
      const double l1 = ((cx - p[0].x()) * (p[2].y() - p[0].y()) - (p[2].x() - p[0].x()) * (cy - p[0].y())) / area;
      const double l2 = ((p[1].x() - p[0].x()) * (cy - p[0].y()) - (cx - p[0].x()) * (p[1].y() - p[0].y())) / area;
      const double l0 = 1 - l1 - l2;
      if (l0 < 0 || l1 < 0 || l2 < 0) {
        line[i] = 0;
        continue;
      }
      auto channel = [&](uint16_t TRIVERTEX::*c) {
        const double value = l0 * (v[0]->*c) + l1 * (v[1]->*c) + l2 * (v[2]->*c);
        return int(std::clamp(value, 0.0, 65535.0)) >> 8;
      };
      line[i] = qRgb(channel(&TRIVERTEX::Red), channel(&TRIVERTEX::Green), channel(&TRIVERTEX::Blue));
    }
  }
  const QTransform toDevice(sx, 0, 0, sy, bounds.x(), bounds.y());
  dc.surface().drawImage(image, toDevice, scale < 1, clip);
}

}  // namespace
}  // namespace platform::gdi

namespace platform {

bool GradientFill(HDC hdc, const TRIVERTEX* vertices, uint32_t vertexCount, const void* mesh, uint32_t meshCount,
                  uint32_t mode) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if (mode > GRADIENT_FILL_TRIANGLE || (meshCount && (!mesh || !vertices))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Every index is checked before anything is drawn.
  if (mode == GRADIENT_FILL_TRIANGLE) {
    const auto* triangles = static_cast<const GRADIENT_TRIANGLE*>(mesh);
    for (uint32_t i = 0; i < meshCount; ++i) {
      const GRADIENT_TRIANGLE& t = triangles[i];
      if (t.Vertex1 >= vertexCount || t.Vertex2 >= vertexCount || t.Vertex3 >= vertexCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
      }
    }
    for (uint32_t i = 0; i < meshCount; ++i) {
      const GRADIENT_TRIANGLE& t = triangles[i];
      gdi::fillTriangle(*dc, vertices[t.Vertex1], vertices[t.Vertex2], vertices[t.Vertex3]);
    }
    return true;
  }
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (uint32_t i = 0; i < meshCount; ++i) {
    if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  for (uint32_t i = 0; i < meshCount; ++i) {
    gdi::fillRect(*dc, vertices[rects[i].UpperLeft], vertices[rects[i].LowerRight],
                  mode == GRADIENT_FILL_RECT_V);
  }
  return true;
}

}  // namespace platform
