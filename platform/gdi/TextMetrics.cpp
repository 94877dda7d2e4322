// Fonts as objects, and what GDI reports about the selected one, in
// logical units of the context.

#include <cmath>
#include <cstring>

#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Mapping.h"
#include "platform/gdi/TextApi.h"
#include "platform/gdi/TextLayout.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform {
namespace {

int32_t toLogical(double textPixels, double scale) {
  if (!(scale > 0)) return 0;
  return gdi::roundCoord(textPixels / scale);
}

// The face name of an A font: the code page's text, cut to what fits.
void wideFace(const char* face, size_t maxBytes, char16_t (&out)[LF_FACESIZE]) {
  std::memset(out, 0, sizeof out);
  if (!face) return;
  size_t length = 0;
  while (length < maxBytes && face[length] != 0) ++length;
  const std::u16string wide = ansiToWide(std::string_view(face, length));
  const size_t n = std::min(wide.size(), size_t(LF_FACESIZE - 1));
  for (size_t i = 0; i < n; ++i) out[i] = wide[i];
}

}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
  if (!logfont) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  gdi::FontObject font;
  font.logfont = *logfont;
  font.logfont.lfFaceName[LF_FACESIZE - 1] = 0;
  return gdi::addObject(std::move(font));
}

HFONT CreateFontIndirectA(const LOGFONTA* logfont) {
  if (!logfont) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  LOGFONTW w{};
  w.lfHeight = logfont->lfHeight;
  w.lfWidth = logfont->lfWidth;
  w.lfEscapement = logfont->lfEscapement;
  w.lfOrientation = logfont->lfOrientation;
  w.lfWeight = logfont->lfWeight;
  w.lfItalic = logfont->lfItalic;
  w.lfUnderline = logfont->lfUnderline;
  w.lfStrikeOut = logfont->lfStrikeOut;
  w.lfCharSet = logfont->lfCharSet;
  w.lfOutPrecision = logfont->lfOutPrecision;
  w.lfClipPrecision = logfont->lfClipPrecision;
  w.lfQuality = logfont->lfQuality;
  w.lfPitchAndFamily = logfont->lfPitchAndFamily;
  wideFace(logfont->lfFaceName, LF_FACESIZE, w.lfFaceName);
  return CreateFontIndirectW(&w);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, uint32_t italic,
                  uint32_t underline, uint32_t strikeOut, uint32_t charSet, uint32_t outPrecision,
                  uint32_t clipPrecision, uint32_t quality, uint32_t pitchAndFamily, const char* faceName) {
  LOGFONTA a{};
  a.lfHeight = height;
  a.lfWidth = width;
  a.lfEscapement = escapement;
  a.lfOrientation = orientation;
  a.lfWeight = weight;
  a.lfItalic = uint8_t(italic != 0);
  a.lfUnderline = uint8_t(underline != 0);
  a.lfStrikeOut = uint8_t(strikeOut != 0);
  a.lfCharSet = uint8_t(charSet);
  a.lfOutPrecision = uint8_t(outPrecision);
  a.lfClipPrecision = uint8_t(clipPrecision);
  a.lfQuality = uint8_t(quality);
  a.lfPitchAndFamily = uint8_t(pitchAndFamily);
  if (faceName) {
    size_t n = 0;
    while (n < size_t(LF_FACESIZE - 1) && faceName[n] != 0) ++n;
    // Do not cut a double-byte character in two.
    n = ansiPrefixLength(std::string_view(faceName, n), n);
    std::memcpy(a.lfFaceName, faceName, n);
  }
  return CreateFontIndirectA(&a);
}

bool GetTextExtentPoint32W(HDC hdc, const char16_t* text, int count, SIZE* size) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if (count < 0 || (count > 0 && !text) || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const gdi::TextFrame frame = gdi::makeTextFrame(*dc, 0, 0);
  const std::vector<gdi::TextUnit> units = gdi::unitsFromWide(text, uint32_t(count), nullptr, false);
  double extra = dc->state.textCharExtra * frame.scaleX;
  if (frame.integerMetrics) extra = std::floor(extra + 0.5);
  double width = 0;
  for (const gdi::TextUnit& u : units) width += frame.font->glyphFor(u.ch).advance + extra;
  size->cx = toLogical(width, frame.scaleX);
  size->cy = toLogical(frame.font->height(), frame.scaleY);
  return true;
}

bool GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if (count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::u16string wide = gdi::ansiTextToWide(*dc, std::string_view(text ? text : "", size_t(count)));
  return GetTextExtentPoint32W(hdc, wide.data(), int(wide.size()), size);
}

bool GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  gdi::DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if (!metrics) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const gdi::TextFrame frame = gdi::makeTextFrame(*dc, 0, 0);
  const gdi::RealizedFont& font = *frame.font;
  const LOGFONTW& lf = font.logfont();
  TEXTMETRICW tm{};
  tm.tmAscent = toLogical(font.ascent(), frame.scaleY);
  tm.tmDescent = toLogical(font.descent(), frame.scaleY);
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - toLogical(font.emPixels(), frame.scaleY);
  tm.tmExternalLeading = toLogical(font.externalLeading(), frame.scaleY);
  tm.tmAveCharWidth = toLogical(font.averageCharWidth(), frame.scaleX);
  tm.tmMaxCharWidth = toLogical(font.maxCharWidth(), frame.scaleX);
  tm.tmWeight = font.weight();
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = dc->description().dpiX;
  tm.tmDigitizedAspectY = dc->description().dpiY;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFFFC;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = lf.lfItalic ? 1 : 0;
  tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
  tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
  // The low bit set means variable pitch; outline fonts are vector and TrueType.
  uint8_t family = lf.lfPitchAndFamily & 0xF0;
  if (family == 0) family = font.fixedPitch() ? FF_MODERN : FF_SWISS;
  tm.tmPitchAndFamily = uint8_t(family | (font.fixedPitch() ? 0 : 1) | 2 | 4);
  tm.tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
  *metrics = tm;
  return true;
}

}  // namespace platform
