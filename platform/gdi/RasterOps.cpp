#include "platform/gdi/RasterOps.h"

#include <algorithm>

namespace platform::gdi {

namespace {

// The operation's truth table as four masks: the result bit for pen and
// destination bits (1,1), (1,0), (0,1) and (0,0). The R2 code minus one is
// that table with bit index 2*pen + destination.
struct RopMasks {
  uint32_t pd, pNotD, notPD, notPNotD;
};

RopMasks masksFor(int rop2) {
  const unsigned table = unsigned(normalizedRop2(rop2) - 1);
  auto bit = [table](unsigned index) { return (table >> index) & 1u ? 0xFFFFFFFFu : 0u; };
  return {bit(3), bit(2), bit(1), bit(0)};
}

inline uint32_t combine(const RopMasks& m, uint32_t p, uint32_t d) {
  return ((p & d & m.pd) | (p & ~d & m.pNotD) | (~p & d & m.notPD) | (~p & ~d & m.notPNotD)) | 0xFF000000u;
}

}  // namespace

int normalizedRop2(int rop2) { return rop2 >= 1 && rop2 <= 16 ? rop2 : 13; }

uint32_t applyRop2(int rop2, uint32_t pen, uint32_t dst) { return combine(masksFor(rop2), pen, dst); }

std::optional<QPainter::CompositionMode> compositionModeFor(int rop2) {
  switch (normalizedRop2(rop2)) {
    case 1: return QPainter::RasterOp_ClearDestination;
    case 2: return QPainter::RasterOp_NotSourceAndNotDestination;
    case 3: return QPainter::RasterOp_NotSourceAndDestination;
    case 4: return QPainter::RasterOp_NotSource;
    case 5: return QPainter::RasterOp_SourceAndNotDestination;
    case 6: return QPainter::RasterOp_NotDestination;
    case 7: return QPainter::RasterOp_SourceXorDestination;
    case 8: return QPainter::RasterOp_NotSourceOrNotDestination;
    case 9: return QPainter::RasterOp_SourceAndDestination;
    case 10: return QPainter::RasterOp_NotSourceXorDestination;
    case 11: return std::nullopt;
    case 12: return QPainter::RasterOp_NotSourceOrDestination;
    case 13: return QPainter::CompositionMode_SourceOver;
    case 14: return QPainter::RasterOp_SourceOrNotDestination;
    case 15: return QPainter::RasterOp_SourceOrDestination;
    case 16: return QPainter::RasterOp_SetDestination;
  }
  return std::nullopt;
}

void composeRop2(QImage& dst, const QImage& source, const QPoint& at, int rop2) {
  if (normalizedRop2(rop2) == 11 || dst.isNull() || source.isNull()) return;
  if (dst.format() != QImage::Format_RGB32 && dst.format() != QImage::Format_ARGB32_Premultiplied &&
      dst.format() != QImage::Format_ARGB32)
    dst.convertTo(QImage::Format_RGB32);
  const QImage src = source.format() == QImage::Format_ARGB32_Premultiplied
                         ? source
                         : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QRect area = QRect(at, src.size()).intersected(dst.rect());
  if (area.isEmpty()) return;
  const RopMasks masks = masksFor(rop2);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const auto* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y - at.y())) + (area.left() - at.x());
    auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y)) + area.left();
    for (int x = 0; x < area.width(); ++x) {
      const uint32_t sp = s[x];
      const uint32_t alpha = sp >> 24;
      if (alpha < 128) continue;
      // Half-covered pixels (smoothed text edges) count as pen, at their
      // unpremultiplied colour.
      const uint32_t pen = alpha == 255 ? sp : qUnpremultiply(sp);
      d[x] = combine(masks, pen, d[x]);
    }
  }
}

}  // namespace platform::gdi
