// Blits: the source is cut to what exists, brought to the destination's
// colours, and either drawn as an image (operations that only copy the
// source, so printer pages keep it as a picture) or combined pixel by pixel
// with the pattern and the destination read back from the surface.

#include <QPainter>
#include <QPolygonF>
#include <cmath>
#include <vector>

#include "platform/gdi/BitmapApi.h"
#include "platform/gdi/BlitSupport.h"
#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Dib.h"
#include "platform/gdi/DrawTools.h"
#include "platform/gdi/Rop3.h"
#include "platform/system/LastError.h"

namespace platform::gdi {

QTransform unitToDevice(const DeviceContext& dc, double x, double y, double width, double height) {
  const QTransform t = dc.worldToDevice();
  if (t.type() <= QTransform::TxScale) {
    const QPointF a = t.map(QPointF(x, y)), b = t.map(QPointF(x + width, y + height));
    const double x0 = std::round(a.x()), y0 = std::round(a.y());
    return QTransform(std::round(b.x()) - x0, 0, 0, std::round(b.y()) - y0, x0, y0);
  }
  return QTransform(width, 0, 0, height, x, y) * t;
}

QRect surfaceBounds(DeviceContext& dc) {
  const DeviceDescription& d = dc.surface().description();
  return QRect(0, 0, d.width, d.height);
}

bool isMonochromeSurface(DeviceContext& dc) {
  return dc.isMemoryDc() && dc.surface().description().bitsPerPixel == 1;
}

bool brushPixels(const DeviceContext& dc, const QRect& deviceRect, QImage& pixels) {
  Paint paint;
  if (!currentBrushPaint(dc, paint)) return false;
  pixels = QImage(deviceRect.size(), QImage::Format_RGB32);
  if (pixels.isNull()) return false;
  pixels.fill(rgbOf(dc.state.bkColor));
  QPainter painter(&pixels);
  painter.translate(-deviceRect.topLeft());
  painter.fillRect(deviceRect, paint.brush);
  return true;
}

namespace {

constexpr QRgb kOpaque = 0xFF000000u;

enum class AlphaUse { Opaque, Gaps, Keep };

// The part of a source that exists, in the destination's colours, and where
// its pixels land.
struct Prepared {
  QImage image;          // RGB32, or ARGB32 premultiplied where alpha matters
  QRect crop;            // where `image` lies in the source image
  QTransform toDevice;   // pixels of `image` to device pixels
  bool empty = true;
};

template <typename F>
void eachPixel(QImage& image, F f) {
  for (int y = 0; y < image.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = f(line[x], x, y);
  }
}

Prepared prepare(DeviceContext& dc, const BlitSource& src, const QTransform& unit, AlphaUse alpha,
                 const QRgb* key = nullptr) {
  Prepared p;
  if (!src.image || src.image->isNull() || unit.determinant() == 0) return p;
  const QRectF& r = src.rect;
  if (r.width() == 0 || r.height() == 0) return p;
  const QTransform toUnit(1 / r.width(), 0, 0, 1 / r.height(), -r.x() / r.width(), -r.y() / r.height());
  p.crop = r.normalized().toAlignedRect() & src.image->rect();
  if (p.crop.isEmpty()) return p;

  const bool hadAlpha = src.image->format() == QImage::Format_ARGB32_Premultiplied;
  QImage image = src.image->copy(p.crop).convertToFormat(hadAlpha ? QImage::Format_ARGB32_Premultiplied
                                                                    : QImage::Format_RGB32);
  if (image.isNull()) return p;
  const bool keepAlpha = hadAlpha && alpha == AlphaUse::Keep;
  const bool gaps = (hadAlpha && alpha == AlphaUse::Gaps) || key;
  if (hadAlpha && !keepAlpha && !gaps) {
    // Plain blits ignore alpha and take the colour bytes as they are.
    eachPixel(image, [](QRgb c, int, int) { return c | kOpaque; });
    image.reinterpretAsFormat(QImage::Format_RGB32);
  } else if (gaps) {
    if (!hadAlpha) image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRgb keyRgb = key ? (*key & 0xFFFFFF) : 0;
    eachPixel(image, [&](QRgb c, int, int) {
      if ((hadAlpha && qAlpha(c) == 0) || (key && (c & 0xFFFFFF) == keyRgb)) return QRgb(0);
      return c | kOpaque;
    });
  }

  const bool monoDest = isMonochromeSurface(dc);
  if (src.monochrome && !monoDest) {
    const QRgb fg = rgbOf(dc.state.textColor), bg = rgbOf(dc.state.bkColor);
    eachPixel(image, [&](QRgb c, int, int) {
      if (qAlpha(c) == 0) return c;
      return (isWhitish(c) ? bg : fg) | kOpaque;
    });
  } else if (!src.monochrome && monoDest) {
    const QRgb bk = rgbOf(src.sourceBkColor) & 0xFFFFFF;
    eachPixel(image, [&](QRgb c, int, int) {
      if (qAlpha(c) == 0) return c;
      return (c & 0xFFFFFF) == bk ? 0xFFFFFFFFu : kOpaque;
    });
  }

  p.image = std::move(image);
  p.toDevice = QTransform::fromTranslate(p.crop.x(), p.crop.y()) * toUnit * unit;
  p.empty = false;
  return p;
}

bool drawPrepared(DeviceContext& dc, Prepared& p, bool invert, bool smooth) {
  if (invert) {
    eachPixel(p.image, [](QRgb c, int, int) { return qAlpha(c) == 0 ? c : (c ^ 0x00FFFFFFu); });
  }
  dc.surface().drawImage(p.image, p.toDevice, smooth, dc.deviceClip());
  return true;
}

// The general case: every destination pixel whose centre falls on the source
// becomes rop(P, S, D); `mask` (if any) picks the foreground or background
// operation per pixel, its pixel being the source pixel plus `maskShift`.
bool compose(DeviceContext& dc, const Prepared& p, uint8_t fore, uint8_t back, const QImage* mask,
             QPoint maskShift) {
  QRect bounds = p.toDevice.mapRect(QRectF(p.image.rect())).toAlignedRect() & surfaceBounds(dc);
  const DeviceClip clip = dc.deviceClip();
  if (clip.active) bounds &= clip.region.boundingRect();
  if (bounds.isEmpty()) return true;
  bool invertible = false;
  const QTransform inv = p.toDevice.inverted(&invertible);
  if (!invertible) return true;

  const bool usesPattern = ropUsesPattern(fore) || (mask && ropUsesPattern(back));
  QImage pattern;
  if (usesPattern && !brushPixels(dc, bounds, pattern)) return true;  // a hollow brush paints nothing

  QImage dst = dc.surface().readPixels(bounds).convertToFormat(QImage::Format_RGB32);
  if (dst.size() != bounds.size()) {
    QImage full(bounds.size(), QImage::Format_RGB32);
    if (full.isNull()) return false;
    full.fill(Qt::white);
    if (!dst.isNull()) QPainter(&full).drawImage(0, 0, dst);
    dst = std::move(full);
  }
  QImage maskPixels;
  if (mask) maskPixels = mask->convertToFormat(QImage::Format_RGB32);

  const bool monoDest = isMonochromeSurface(dc);
  const bool sourceAlpha = p.image.format() == QImage::Format_ARGB32_Premultiplied;
  const int sw = p.image.width(), sh = p.image.height();
  for (int j = 0; j < bounds.height(); ++j) {
    QRgb* d = reinterpret_cast<QRgb*>(dst.scanLine(j));
    const QRgb* pat = usesPattern ? reinterpret_cast<const QRgb*>(pattern.constScanLine(j)) : nullptr;
    const double cy = bounds.y() + j + 0.5;
    for (int i = 0; i < bounds.width(); ++i) {
      const double cx = bounds.x() + i + 0.5;
      const double u = inv.m11() * cx + inv.m21() * cy + inv.dx();
      const double v = inv.m12() * cx + inv.m22() * cy + inv.dy();
      if (!(u >= 0 && v >= 0 && u < sw && v < sh)) continue;
      const int su = int(u), sv = int(v);
      const QRgb s = reinterpret_cast<const QRgb*>(p.image.constScanLine(sv))[su];
      if (sourceAlpha && qAlpha(s) == 0) continue;
      uint8_t index = fore;
      if (mask) {
        const int mx = su + maskShift.x(), my = sv + maskShift.y();
        const bool white = mx >= 0 && my >= 0 && mx < maskPixels.width() && my < maskPixels.height() &&
                           isWhitish(reinterpret_cast<const QRgb*>(maskPixels.constScanLine(my))[mx]);
        index = white ? fore : back;
      }
      QRgb r = (rop3(index, pat ? pat[i] : 0, s, d[i]) & 0xFFFFFF) | kOpaque;
      if (monoDest) r = isWhitish(r) ? 0xFFFFFFFFu : kOpaque;
      d[i] = r;
    }
  }
  dc.surface().writePixels(dst, bounds.topLeft(), clip);
  return true;
}

// Operations without a source: a fill of the destination with the ROP2
// that has the same effect, so vector surfaces keep it a shape.
bool patBltOn(DeviceContext& dc, const QTransform& unit, uint8_t index) {
  if (index == 0xAA) return true;
  Paint paint;
  if (ropUsesPattern(index)) {
    if (!currentBrushPaint(dc, paint)) return true;
  } else {
    paint.brush = QBrush(Qt::black);
  }
  paint.rop2 = rop3ToRop2(index);
  QPainterPath path;
  path.addPolygon(unit.map(QPolygonF(QRectF(0, 0, 1, 1))));
  path.closeSubpath();
  dc.surface().fillPath(path, paint, dc.deviceClip());
  return true;
}

bool stretchOn(DeviceContext& dc, const QTransform& unit, const BlitSource& src, uint32_t rop) {
  const uint8_t index = ropIndex(rop);
  if (!ropUsesSource(index)) return patBltOn(dc, unit, index);
  if (!src.image) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  Prepared p = prepare(dc, src, unit, src.transparentGaps ? AlphaUse::Gaps : AlphaUse::Opaque);
  if (p.empty) return true;
  if (index == 0xCC || index == 0x33) return drawPrepared(dc, p, index == 0x33, dc.state.stretchMode == HALFTONE);
  return compose(dc, p, index, index, nullptr, {});
}

// A source context's pixels: its bitmap for memory contexts, what its
// surface shows otherwise.
struct ContextSource {
  QImage image;
  BlitSource source;
};

bool sourceFromDc(HDC hdc, int x, int y, int width, int height, ContextSource& out) {
  DeviceContext* src = dcOrFail(hdc);
  if (!src) return false;
  const QTransform t = src->worldToDevice();
  const QPointF a = t.map(QPointF(x, y)), b = t.map(QPointF(double(x) + width, double(y) + height));
  QRectF rect(QPointF(std::round(a.x()), std::round(a.y())), QPointF(std::round(b.x()), std::round(b.y())));
  bool monochrome = isMonochromeSurface(*src);
  if (src->isMemoryDc()) {
    if (auto bitmap = objectAs<BitmapObject>(src->state.bitmap); bitmap && bitmap->image) {
      out.image = *bitmap->image;
      monochrome = bitmap->bitsPerPixel == 1;
    }
  }
  if (out.image.isNull()) {
    const QRect need = rect.normalized().toAlignedRect() & surfaceBounds(*src);
    if (!need.isEmpty()) out.image = src->surface().readPixels(need);
    rect.translate(-need.topLeft());
  }
  out.source.image = &out.image;
  out.source.rect = rect;
  out.source.monochrome = monochrome;
  out.source.sourceBkColor = src->state.bkColor;
  return true;
}

QImage maskImage(HBITMAP mask) {
  auto bitmap = objectAs<BitmapObject>(mask);
  if (!bitmap || !bitmap->image) return {};
  return *bitmap->image;
}

}  // namespace

bool stretchBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, uint32_t rop) {
  DeviceContext* dc = dcOrFail(dest);
  if (!dc) return false;
  return stretchOn(*dc, unitToDevice(*dc, x, y, width, height), source, rop);
}

bool maskBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, const QImage* mask,
                 int xMask, int yMask, uint32_t rop) {
  if (!mask || mask->isNull()) return stretchBltFrom(dest, x, y, width, height, source, rop & 0x00FFFFFF);
  DeviceContext* dc = dcOrFail(dest);
  if (!dc) return false;
  const uint8_t fore = ropIndex(rop), back = uint8_t(rop >> 24);
  const QTransform unit = unitToDevice(*dc, x, y, width, height);
  BlitSource src = source;
  QImage blank;
  if (!src.image) {
    if (ropUsesSource(fore) || ropUsesSource(back)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    // Only the mask matters: a stand-in source gives it its extent.
    blank = QImage(std::abs(width), std::abs(height), QImage::Format_RGB32);
    if (blank.isNull()) return true;
    blank.fill(Qt::black);
    src.image = &blank;
    src.rect = QRectF(0, 0, width, height);
  }
  Prepared p = prepare(*dc, src, unit, src.transparentGaps ? AlphaUse::Gaps : AlphaUse::Opaque);
  if (p.empty) return true;
  const QPoint shift = p.crop.topLeft() - src.rect.topLeft().toPoint() + QPoint(xMask, yMask);
  if (fore == 0xCC && back == 0xAA) {
    // The usual case, the source where the mask is white: an image with holes.
    QImage m = mask->convertToFormat(QImage::Format_RGB32);
    p.image = p.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    eachPixel(p.image, [&](QRgb c, int px, int py) {
      const int mx = px + shift.x(), my = py + shift.y();
      const bool white = mx >= 0 && my >= 0 && mx < m.width() && my < m.height() && isWhitish(m.pixel(mx, my));
      return white ? c : QRgb(0);
    });
    return drawPrepared(*dc, p, false, dc->state.stretchMode == HALFTONE);
  }
  return compose(*dc, p, fore, back, mask, shift);
}

bool plgBltFrom(HDC dest, const POINT* points, const BlitSource& source, const QImage* mask, int xMask, int yMask) {
  DeviceContext* dc = dcOrFail(dest);
  if (!dc) return false;
  if (!points || !source.image) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const QPointF p0(points[0].x, points[0].y), p1(points[1].x, points[1].y), p2(points[2].x, points[2].y);
  const QTransform unit =
      QTransform(p1.x() - p0.x(), p1.y() - p0.y(), p2.x() - p0.x(), p2.y() - p0.y(), p0.x(), p0.y()) *
      dc->worldToDevice();
  Prepared p = prepare(*dc, source, unit, source.transparentGaps ? AlphaUse::Gaps : AlphaUse::Opaque);
  if (p.empty) return true;
  if (mask && !mask->isNull()) {
    const QPoint shift = p.crop.topLeft() - source.rect.topLeft().toPoint() + QPoint(xMask, yMask);
    const QImage m = mask->convertToFormat(QImage::Format_RGB32);
    p.image = p.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    eachPixel(p.image, [&](QRgb c, int px, int py) {
      const int mx = px + shift.x(), my = py + shift.y();
      const bool white = mx >= 0 && my >= 0 && mx < m.width() && my < m.height() && isWhitish(m.pixel(mx, my));
      return white ? c : QRgb(0);
    });
  }
  return drawPrepared(*dc, p, false, dc->state.stretchMode == HALFTONE);
}

bool transparentBltFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source,
                        COLORREF transparent) {
  DeviceContext* dc = dcOrFail(dest);
  if (!dc) return false;
  if (width < 0 || height < 0 || source.rect.width() < 0 || source.rect.height() < 0 || !source.image) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const QRgb key = rgbOf(transparent);
  Prepared p = prepare(*dc, source, unitToDevice(*dc, x, y, width, height), AlphaUse::Gaps, &key);
  if (p.empty) return true;
  return drawPrepared(*dc, p, false, false);
}

bool alphaBlendFrom(HDC dest, int x, int y, int width, int height, const BlitSource& source, BLENDFUNCTION blend) {
  DeviceContext* dc = dcOrFail(dest);
  if (!dc) return false;
  if (blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 || source.rect.width() < 0 ||
      source.rect.height() < 0 || !source.image) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  Prepared p = prepare(*dc, source, unitToDevice(*dc, x, y, width, height),
                       perPixel ? AlphaUse::Keep : AlphaUse::Opaque);
  if (p.empty) return true;
  const uint32_t constant = blend.SourceConstantAlpha;
  if (constant != 255) {
    // Source' = Source x constant / 255, alpha included: then "over".
    p.image = p.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto scale = [constant](uint32_t v) { return (v * constant + 127) / 255; };
    eachPixel(p.image, [&](QRgb c, int, int) {
      return (scale(uint32_t(qAlpha(c))) << 24) | (scale(uint32_t(qRed(c))) << 16) |
             (scale(uint32_t(qGreen(c))) << 8) | scale(uint32_t(qBlue(c)));
    });
  }
  return drawPrepared(*dc, p, false, dc->state.stretchMode == HALFTONE);
}

HBITMAP createBitmapFromDib(const DecodedDib& dib) {
  if (dib.image.isNull()) return nullptr;
  BitmapObject bitmap;
  bitmap.image = std::make_shared<QImage>(dib.image.convertToFormat(
      dib.hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32));
  if (bitmap.image->isNull()) return nullptr;
  bitmap.bitsPerPixel = 32;
  return addObject(std::move(bitmap));
}

}  // namespace platform::gdi

namespace platform {

using gdi::BlitSource;
using gdi::ContextSource;

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, uint32_t rop) {
  return StretchBlt(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                uint32_t rop) {
  if (!gdi::ropUsesSource(gdi::ropIndex(rop))) return gdi::stretchBltFrom(dest, x, y, width, height, {}, rop);
  ContextSource source;
  if (!gdi::sourceFromDc(src, xSrc, ySrc, wSrc, hSrc, source)) return false;
  return gdi::stretchBltFrom(dest, x, y, width, height, source.source, rop);
}

bool PatBlt(HDC hdc, int x, int y, int width, int height, uint32_t rop) {
  if (gdi::ropUsesSource(gdi::ropIndex(rop))) {
    if (!gdi::dcOrFail(hdc)) return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return gdi::stretchBltFrom(hdc, x, y, width, height, {}, rop);
}

bool MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, HBITMAP mask, int xMask,
             int yMask, uint32_t rop) {
  QImage maskPixels;
  if (mask) {
    maskPixels = gdi::maskImage(mask);
    if (maskPixels.isNull()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
  }
  const uint8_t fore = gdi::ropIndex(rop), back = uint8_t(rop >> 24);
  const bool needsSource = gdi::ropUsesSource(fore) || (mask && gdi::ropUsesSource(back));
  ContextSource source;
  if (needsSource && !gdi::sourceFromDc(src, xSrc, ySrc, width, height, source)) return false;
  return gdi::maskBltFrom(dest, x, y, width, height, source.source, mask ? &maskPixels : nullptr, xMask, yMask,
                          rop);
}

bool PlgBlt(HDC dest, const POINT* points, HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask,
            int xMask, int yMask) {
  QImage maskPixels;
  if (mask) {
    maskPixels = gdi::maskImage(mask);
    if (maskPixels.isNull()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
  }
  ContextSource source;
  if (!gdi::sourceFromDc(src, xSrc, ySrc, width, height, source)) return false;
  return gdi::plgBltFrom(dest, points, source.source, mask ? &maskPixels : nullptr, xMask, yMask);
}

bool TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc,
                    int hSrc, uint32_t transparent) {
  ContextSource source;
  if (!gdi::sourceFromDc(src, xSrc, ySrc, wSrc, hSrc, source)) return false;
  return gdi::transparentBltFrom(dest, x, y, width, height, source.source, transparent);
}

bool AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                BLENDFUNCTION blend) {
  ContextSource source;
  if (!gdi::sourceFromDc(src, xSrc, ySrc, wSrc, hSrc, source)) return false;
  // The source rectangle must lie inside the source.
  if (!QRectF(source.image.rect()).contains(source.source.rect.normalized())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return gdi::alphaBlendFrom(dest, x, y, width, height, source.source, blend);
}

int StretchDIBits(HDC hdc, int x, int y, int width, int height, int xSrc, int ySrc, int wSrc, int hSrc,
                  const void* bits, size_t bitsSize, const BITMAPINFO* info, size_t infoSize, uint32_t usage,
                  uint32_t rop) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return 0;
  if (!gdi::ropUsesSource(gdi::ropIndex(rop))) {
    return gdi::stretchBltFrom(hdc, x, y, width, height, {}, rop) ? std::abs(hSrc) : 0;
  }
  if (!info || !bits) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  gdi::DibDecodeOptions options;
  options.keepGaps = true;
  const auto dib = gdi::decodeDib({reinterpret_cast<const uint8_t*>(info), infoSize},
                                  {static_cast<const uint8_t*>(bits), bitsSize}, usage,
                                  dc->state.paletteObject.get(), options);
  if (!dib) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Bottom-up DIBs count the source's y from their bottom row.
  const int h = dib->image.height();
  BlitSource source;
  source.image = &dib->image;
  source.rect = dib->topDown ? QRectF(xSrc, ySrc, wSrc, hSrc)
                             : QRectF(xSrc, double(h) - ySrc - hSrc, wSrc, hSrc);
  source.transparentGaps = true;
  if (!gdi::stretchBltFrom(hdc, x, y, width, height, source, rop)) return 0;
  return std::abs(hSrc);
}

int SetDIBitsToDevice(HDC hdc, int x, int y, uint32_t width, uint32_t height, int xSrc, int ySrc,
                      uint32_t startScan, uint32_t lines, const void* bits, size_t bitsSize, const BITMAPINFO* info,
                      size_t infoSize, uint32_t usage) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return 0;
  if (!info || !bits || infoSize < 4) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::span<const uint8_t> headerBytes(reinterpret_cast<const uint8_t*>(info), infoSize);
  const auto header = gdi::parseDibHeader(headerBytes, usage);
  if (!header || width > uint32_t(gdi::kMaxDibSide) || height > uint32_t(gdi::kMaxDibSide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const bool compressed = header->compression != BI_RGB && header->compression != BI_BITFIELDS &&
                          header->compression != 6;
  const uint32_t total = uint32_t(header->height);
  if (compressed) {
    startScan = 0;
    lines = total;
  }
  if (startScan >= total || lines == 0) return 0;
  lines = std::min(lines, total - startScan);

  // The bits hold only `lines` scan lines: decode them as a DIB that high.
  std::vector<uint8_t> patched(headerBytes.begin(), headerBytes.end());
  if (!compressed && header->headerSize >= 40) {
    const int32_t rows = header->topDown ? -int32_t(lines) : int32_t(lines);
    for (int i = 0; i < 4; ++i) patched[8 + i] = uint8_t(uint32_t(rows) >> (8 * i));
  } else if (!compressed) {
    patched[6] = uint8_t(lines);
    patched[7] = uint8_t(lines >> 8);
  }
  gdi::DibDecodeOptions options;
  options.keepGaps = true;
  const auto dib = gdi::decodeDib(patched, {static_cast<const uint8_t*>(bits), bitsSize}, usage,
                                  dc->state.paletteObject.get(), options);
  if (!dib) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Scan s of a bottom-up DIB is image row startScan + lines - 1 - s.
  const double top = dib->topDown ? double(ySrc) - startScan
                                  : double(startScan) + lines - ySrc - double(height);
  BlitSource source;
  source.image = &dib->image;
  source.rect = QRectF(xSrc, top, width, height);
  source.transparentGaps = true;
  // No stretching: the origin is mapped, the size is in device pixels.
  const QPointF origin = dc->worldToDevice().map(QPointF(x, y));
  const QTransform unit(double(width), 0, 0, double(height), std::round(origin.x()), std::round(origin.y()));
  if (!gdi::stretchOn(*dc, unit, source, SRCCOPY)) return 0;
  return int(lines);
}

}  // namespace platform
