#include "platform/gdi/Font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/gdi/GuiApplication.h"

namespace platform::gdi {
namespace {

// Big-endian fields of the TrueType tables.
int u16(const QByteArray& table, int offset) {
  if (offset < 0 || offset + 2 > table.size()) return 0;
  return (uint8_t(table[offset]) << 8) | uint8_t(table[offset + 1]);
}
int s16(const QByteArray& table, int offset) { return int(int16_t(uint16_t(u16(table, offset)))); }
uint32_t u32(const QByteArray& table, int offset) {
  return (uint32_t(u16(table, offset)) << 16) | uint32_t(u16(table, offset + 2));
}

// The font-unit figures GDI derives its metrics from: the Windows ascent
// and descent of the OS/2 table, not the typographic ones.
struct FaceFigures {
  double unitsPerEm = 2048;
  double winAscent = 1854, winDescent = 434;
  double lineHeight = 2355;  // hhea ascender - descender + line gap
  double avgCharWidth = 1000, maxAdvance = 2000;
  double underlinePosition = -217, underlineThickness = 150;
  double strikeoutPosition = 530, strikeoutSize = 102;
  int weightClass = 400;
  bool fixedPitch = false;
};

FaceFigures figuresOf(const QRawFont& raw) {
  FaceFigures f;
  const QByteArray head = raw.fontTable("head");
  const QByteArray os2 = raw.fontTable("OS/2");
  const QByteArray hhea = raw.fontTable("hhea");
  const QByteArray post = raw.fontTable("post");
  if (head.size() >= 54 && u16(head, 18) >= 16) f.unitsPerEm = u16(head, 18);
  const double scale = f.unitsPerEm / std::max(1.0, raw.pixelSize());
  if (os2.size() >= 78 && u16(os2, 74) + u16(os2, 76) > 0) {
    f.winAscent = u16(os2, 74);
    f.winDescent = u16(os2, 76);
    f.avgCharWidth = s16(os2, 2);
    f.weightClass = u16(os2, 4);
    f.strikeoutSize = s16(os2, 26);
    f.strikeoutPosition = s16(os2, 28);
  } else {
    // Fonts without Windows metrics: the ascent and descent Qt reads.
    f.winAscent = raw.ascent() * scale;
    f.winDescent = raw.descent() * scale;
    f.avgCharWidth = raw.averageCharWidth() * scale;
    f.strikeoutPosition = f.winAscent * 0.25;
    f.strikeoutSize = f.unitsPerEm / 20;
  }
  if (f.avgCharWidth <= 0) f.avgCharWidth = f.unitsPerEm / 2;
  if (hhea.size() >= 36) {
    f.lineHeight = s16(hhea, 4) - s16(hhea, 6) + s16(hhea, 8);
    f.maxAdvance = u16(hhea, 10);
  } else {
    f.lineHeight = f.winAscent + f.winDescent;
    f.maxAdvance = raw.maxCharWidth() * scale;
  }
  if (post.size() >= 16) {
    f.underlinePosition = s16(post, 8);
    f.underlineThickness = s16(post, 10);
    f.fixedPitch = u32(post, 12) != 0;
  }
  if (f.underlineThickness <= 0) f.underlineThickness = f.unitsPerEm / 20;
  if (f.strikeoutSize <= 0) f.strikeoutSize = f.underlineThickness;
  return f;
}

QFont baseFont(const QString& family, const LOGFONTW& lf) {
  QFont font(family);
  int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp(lf.lfWeight, 1, 1000);
  font.setWeight(QFont::Weight(weight));
  font.setItalic(lf.lfItalic != 0);
  font.setKerning(false);
  // Runs are split by face here; the surface must draw exactly this one.
  int strategy = QFont::NoFontMerging | QFont::PreferOutline;
  if (lf.lfQuality == NONANTIALIASED_QUALITY) strategy |= QFont::NoAntialias;
  font.setStyleStrategy(QFont::StyleStrategy(strategy));
  return font;
}

// Faces that need a family of their own for symbols rather than CJK.
QString fallbackFor(SymbolEncoding symbol, uint8_t charSet) {
  if (symbol != SymbolEncoding::None || charSet == SYMBOL_CHARSET) return QStringLiteral("DejaVu Sans");
  return fallbackFamily();
}

}  // namespace

double RealizedFont::roundMetric(double v) const { return integer_ ? std::floor(v + 0.5) : v; }

RealizedFont::RealizedFont(const LOGFONTW& logfont, double height, double width, bool integerMetrics)
    : logfont_(logfont), integer_(integerMetrics) {
  ensureGuiApplication();
  size_t faceLength = 0;
  while (faceLength < size_t(LF_FACESIZE) && logfont.lfFaceName[faceLength] != 0) ++faceLength;
  const QString face = QString::fromUtf16(logfont.lfFaceName, qsizetype(faceLength));
  symbol_ = symbolEncodingOf(face);
  const QString family = substituteFamily(face, logfont.lfCharSet, logfont.lfPitchAndFamily);

  QFont font = baseFont(family, logfont);
  font.setPixelSize(100);
  QRawFont probe = QRawFont::fromFont(font);
  const FaceFigures f = figuresOf(probe);
  const double cellUnits = std::max(1.0, f.winAscent + f.winDescent);

  if (!(height == height) || height == 0) height = -1;
  double em = height < 0 ? -height : height * f.unitsPerEm / cellUnits;
  em = std::clamp(em, 1.0 / 64, 16384.0);
  if (integer_) em = std::max(1.0, std::floor(em + 0.5));
  em_ = em;
  const double unit = em / f.unitsPerEm;  // text pixels per font unit

  ascent_ = roundMetric(f.winAscent * unit);
  descent_ = roundMetric(f.winDescent * unit);
  externalLeading_ = roundMetric(std::max(0.0, f.lineHeight - cellUnits) * unit);
  const double naturalAverage = f.avgCharWidth * unit;
  if (width == width && width > 0 && naturalAverage > 0) {
    widthScale_ = std::clamp(width / naturalAverage, 1.0 / 64, 64.0);
  }
  avgCharWidth_ = roundMetric(naturalAverage * widthScale_);
  maxCharWidth_ = roundMetric(f.maxAdvance * unit * widthScale_);
  weight_ = logfont.lfWeight <= 0 ? FW_NORMAL : std::clamp(int(logfont.lfWeight), 1, 1000);
  fixedPitch_ = f.fixedPitch;
  underlinePos_ = -f.underlinePosition * unit;
  underlineSize_ = std::max(integer_ ? 1.0 : 0.0, roundMetric(f.underlineThickness * unit));
  strikePos_ = f.strikeoutPosition * unit;
  strikeSize_ = std::max(integer_ ? 1.0 : 0.0, roundMetric(f.strikeoutSize * unit));
  if (integer_) {
    underlinePos_ = std::floor(underlinePos_ + 0.5);
    strikePos_ = std::floor(strikePos_ + 0.5);
  }

  pixelSize_ = std::max(1, int(std::floor(em + 0.5)));
  sizeScale_ = em / pixelSize_;
  font.setPixelSize(pixelSize_);
  primary_.font = font;
  primary_.raw = probe;
  primary_.raw.setPixelSize(em);

  const QString fallback = fallbackFor(symbol_, logfont.lfCharSet);
  if (fallback != family) {
    QFont other = baseFont(fallback, logfont);
    other.setPixelSize(pixelSize_);
    fallback_.font = other;
    fallback_.raw = QRawFont::fromFont(other);
    fallback_.raw.setPixelSize(em);
    hasFallback_ = fallback_.raw.isValid();
  }
}

double RealizedFont::advanceOf(const QRawFont& raw, uint32_t glyph) const {
  QPointF advance;
  quint32 index = glyph;
  if (!raw.advancesForGlyphIndexes(&index, &advance, 1, QRawFont::UseDesignMetrics)) return 0;
  return roundMetric(advance.x() * widthScale_);
}

RealizedFont::Glyph RealizedFont::glyphFor(char32_t ch) const {
  std::lock_guard lock(mutex_);
  auto it = glyphs_.find(ch);
  if (it != glyphs_.end()) return it->second;
  Glyph g{ch, 0, 0};
  if (symbol_ != SymbolEncoding::None) g.code = symbolToUnicode(symbol_, ch);
  const QRawFont* raw = &primary_.raw;
  if (!primary_.raw.supportsCharacter(uint(g.code)) && hasFallback_ &&
      fallback_.raw.supportsCharacter(uint(g.code))) {
    g.face = 1;
    raw = &fallback_.raw;
  }
  const QList<quint32> indexes = raw->glyphIndexesForString(QString::fromUcs4(&g.code, 1));
  if (!indexes.isEmpty()) g.advance = advanceOf(*raw, indexes.front());
  if (glyphs_.size() > 65536) glyphs_.clear();
  glyphs_.emplace(ch, g);
  return g;
}

double RealizedFont::glyphIndexAdvance(uint32_t glyph) const {
  std::lock_guard lock(mutex_);
  auto it = indexAdvances_.find(glyph);
  if (it != indexAdvances_.end()) return it->second;
  const double advance = advanceOf(primary_.raw, glyph);
  if (indexAdvances_.size() > 65536) indexAdvances_.clear();
  indexAdvances_.emplace(glyph, advance);
  return advance;
}

std::shared_ptr<const RealizedFont> realizeFont(const LOGFONTW& logfont, double height, double width,
                                                bool integerMetrics) {
  LOGFONTW keyFont = logfont;
  keyFont.lfHeight = 0;
  keyFont.lfWidth = 0;
  keyFont.lfEscapement = 0;
  keyFont.lfOrientation = 0;
  // Face name bytes past the terminator do not name another face.
  bool ended = false;
  for (char16_t& c : keyFont.lfFaceName) {
    if (ended) c = 0;
    if (c == 0) ended = true;
  }
  std::string key(reinterpret_cast<const char*>(&keyFont), sizeof keyFont);
  key.append(reinterpret_cast<const char*>(&height), sizeof height);
  key.append(reinterpret_cast<const char*>(&width), sizeof width);
  key.push_back(integerMetrics ? 1 : 0);

  static std::mutex mutex;
  static std::unordered_map<std::string, std::shared_ptr<const RealizedFont>> cache;
  {
    std::lock_guard lock(mutex);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
  }
  auto font = std::make_shared<const RealizedFont>(logfont, height, width, integerMetrics);
  std::lock_guard lock(mutex);
  if (cache.size() > 512) cache.clear();
  cache.emplace(std::move(key), font);
  return font;
}

}  // namespace platform::gdi
