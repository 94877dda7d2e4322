#pragma once
// A LOGFONTW realised at one size: the Qt fonts that draw it and the
// metrics GDI reports for it, in "text pixels" (device pixels of the
// realised font, before any world-transform distortion). Realised fonts are
// cached per (LOGFONTW, size), so repeated text at printer resolutions costs
// a hash lookup.

#include <QFont>
#include <QRawFont>
#include <QString>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/GdiTypes.h"

namespace platform::gdi {

// The installed family that stands for a Windows face name, chosen by the
// substitution table, then the installed families, then charset and pitch
// and family hints.
QString substituteFamily(const QString& face, uint8_t charSet, uint8_t pitchAndFamily);
// The family that draws characters the primary family lacks (CJK).
QString fallbackFamily();

// Symbol-encoded faces (Symbol, Wingdings) draw through a Unicode font:
// the character their code stands for, or the code itself when none.
enum class SymbolEncoding { None, Symbol, Wingdings };
SymbolEncoding symbolEncodingOf(const QString& face);
char32_t symbolToUnicode(SymbolEncoding encoding, char32_t code);

class RealizedFont {
 public:
  // One of the faces a run draws with (the primary, or the fallback for
  // characters the primary lacks).
  struct Face {
    QFont font;     // pixel size `pixelSize`, underline and strike-out off (drawn separately)
    QRawFont raw;   // at the exact em size, for advances and coverage
  };

  // `height` in text pixels: negative the em height, positive the cell
  // height (ascent plus descent); `width` the average character width in
  // text pixels, 0 for the face's own. `integerMetrics` rounds sizes and
  // advances to whole pixels, as GDI realises fonts on a device.
  RealizedFont(const LOGFONTW& logfont, double height, double width, bool integerMetrics);

  const LOGFONTW& logfont() const { return logfont_; }
  SymbolEncoding symbolEncoding() const { return symbol_; }
  double emPixels() const { return em_; }
  // Scale from the QFont's integer pixel size to the exact em, and the
  // horizontal stretch asked by lfWidth.
  double sizeScale() const { return sizeScale_; }
  double widthScale() const { return widthScale_; }
  int pixelSize() const { return pixelSize_; }

  double ascent() const { return ascent_; }
  double descent() const { return descent_; }
  double height() const { return ascent_ + descent_; }
  double internalLeading() const { return height() - em_; }
  double externalLeading() const { return externalLeading_; }
  double averageCharWidth() const { return avgCharWidth_; }
  double maxCharWidth() const { return maxCharWidth_; }
  int weight() const { return weight_; }
  bool fixedPitch() const { return fixedPitch_; }

  // Below the baseline positive, as GDI's outline metrics after the sign flip.
  double underlinePosition() const { return underlinePos_; }
  double underlineThickness() const { return underlineSize_; }
  double strikeoutPosition() const { return strikePos_; }  // above the baseline
  double strikeoutThickness() const { return strikeSize_; }

  const Face& primary() const { return primary_; }
  const Face& fallback() const { return fallback_; }

  // The code a character draws with (symbol faces remap), which face holds
  // it (0 primary, 1 fallback) and its advance in text pixels.
  struct Glyph {
    char32_t code;
    int face;
    double advance;
  };
  Glyph glyphFor(char32_t ch) const;
  double glyphIndexAdvance(uint32_t glyph) const;

 private:
  LOGFONTW logfont_;
  SymbolEncoding symbol_ = SymbolEncoding::None;
  bool integer_;
  double em_ = 1, sizeScale_ = 1, widthScale_ = 1;
  int pixelSize_ = 1;
  double ascent_ = 0, descent_ = 0, externalLeading_ = 0, avgCharWidth_ = 0, maxCharWidth_ = 0;
  double underlinePos_ = 0, underlineSize_ = 1, strikePos_ = 0, strikeSize_ = 1;
  int weight_ = FW_NORMAL;
  bool fixedPitch_ = false;
  Face primary_, fallback_;
  bool hasFallback_ = false;

  mutable std::mutex mutex_;
  mutable std::unordered_map<char32_t, Glyph> glyphs_;
  mutable std::unordered_map<uint32_t, double> indexAdvances_;

  double roundMetric(double v) const;
  double advanceOf(const QRawFont& raw, uint32_t glyph) const;
};

// The cached realisation (arguments as the constructor's). Escapement,
// orientation and the logical height and width do not take part.
std::shared_ptr<const RealizedFont> realizeFont(const LOGFONTW& logfont, double height, double width,
                                                bool integerMetrics);

}  // namespace platform::gdi
