#pragma once
// Where text goes: the selected font realised for a device context, and the
// "text space" of one string: x along the baseline, y down across it, in
// pixels of the realised font, with the origin at the reference point.
// GM_COMPATIBLE keeps glyphs upright and undistorted in device space and
// turns the baseline by the escapement; GM_ADVANCED lays the string out in
// logical space and takes it through the world and page transforms whole.

#include <QTransform>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Font.h"

namespace platform::gdi {

struct TextFrame {
  std::shared_ptr<const RealizedFont> font;
  QTransform textToDevice;
  // Text pixels per logical unit: along the baseline, and unrotated in x and
  // y (what GetTextExtentPoint32 and GetTextMetrics convert with).
  double alongBaseline = 1, scaleX = 1, scaleY = 1;
  // The shape of the glyphs of the QFont (at its integer pixel size) about
  // their origin: a rotation alone as `angle`, anything else as `transform`.
  qreal angle = 0;
  QTransform glyphTransform;
  bool integerMetrics = true;
};

// The selected font of `dc` (its stock default when none).
LOGFONTW selectedLogfont(const DeviceContext& dc);
// The frame of a string at the logical reference point (x, y).
TextFrame makeTextFrame(const DeviceContext& dc, double x, double y);

// One code point of a string with its advance, in logical units when the
// caller gave them (dx), or taken from the font.
struct TextUnit {
  char32_t ch = 0;
  double dx = 0, dy = 0;  // logical advance to the next unit (dy: ETO_PDY)
  bool hasDx = false;
};

// Code points from UTF-16 (a surrogate pair is one unit; its advance is
// the sum of both entries of `dx`).
std::vector<TextUnit> unitsFromWide(const char16_t* text, uint32_t count, const int32_t* dx, bool pdy);

// The code page of the A calls' text: the selected font's charset names it,
// ANSI and default fonts take the system's.
uint32_t codePageForCharset(uint8_t charSet);
std::u16string ansiTextToWide(const DeviceContext& dc, std::string_view text);

}  // namespace platform::gdi
