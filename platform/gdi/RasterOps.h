#pragma once
// The sixteen binary raster operations (R2_*) on 32-bit pixels. Colours are
// combined bit by bit on red, green and blue; the result is always opaque,
// as on a GDI device without an alpha channel.

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <cstdint>
#include <optional>

namespace platform::gdi {

// `rop2` when it is one of R2_BLACK..R2_WHITE, otherwise R2_COPYPEN.
int normalizedRop2(int rop2);

// The result of `rop2` for pen (or brush) pixel `pen` on destination `dst`
// (0xAARRGGBB; alpha ignored, result alpha 0xFF).
uint32_t applyRop2(int rop2, uint32_t pen, uint32_t dst);

// Qt's raster composition mode that computes exactly `rop2` for an opaque
// solid source without antialiasing; none for R2_NOP. R2_COPYPEN gives
// CompositionMode_SourceOver.
std::optional<QPainter::CompositionMode> compositionModeFor(int rop2);

// Composes `source` (ARGB32 premultiplied, same size or smaller) onto `dst`
// at `at` with `rop2`: pixels of `source` whose alpha is at least half are
// the pen, the others leave the destination alone. Pixels outside `dst`
// are skipped. `dst` is Format_RGB32 or ARGB32_Premultiplied.
void composeRop2(QImage& dst, const QImage& source, const QPoint& at, int rop2);

}  // namespace platform::gdi
