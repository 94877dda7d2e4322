#pragma once
// Fonts and text. Strings of the A calls are ANSI in the active code page;
// the W calls take UTF-16.

#include <cstddef>

#include "platform/gdi/GdiTypes.h"

namespace platform {

struct LOGFONTA {
  int32_t lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  uint8_t lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
      lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICW {
  int32_t tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth, tmMaxCharWidth,
      tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY;
  char16_t tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
  uint8_t tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

// One string of PolyTextOut (the layout of the EMR_POLYTEXTOUT entries).
struct POLYTEXTW {
  int32_t x, y;
  uint32_t n;
  const char16_t* lpstr;
  uint32_t uiFlags;
  RECT rcl;
  const int32_t* pdx;
};

HFONT CreateFontIndirectW(const LOGFONTW* logfont);
HFONT CreateFontIndirectA(const LOGFONTA* logfont);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, uint32_t italic,
                  uint32_t underline, uint32_t strikeOut, uint32_t charSet, uint32_t outPrecision,
                  uint32_t clipPrecision, uint32_t quality, uint32_t pitchAndFamily, const char* faceName);

// Draws `count` characters at (x, y) after the alignment and the current
// position rule; `dx` (logical advances, two per character with ETO_PDY)
// may be null; `rect` is used with ETO_OPAQUE and ETO_CLIPPED.
bool ExtTextOutW(HDC hdc, int x, int y, uint32_t options, const RECT* rect, const char16_t* text, uint32_t count,
                 const int32_t* dx);
bool ExtTextOutA(HDC hdc, int x, int y, uint32_t options, const RECT* rect, const char* text, uint32_t count,
                 const int32_t* dx);
bool TextOutA(HDC hdc, int x, int y, const char* text, int count);
bool TextOutW(HDC hdc, int x, int y, const char16_t* text, int count);
bool PolyTextOutW(HDC hdc, const POLYTEXTW* texts, int count);

bool GetTextExtentPoint32W(HDC hdc, const char16_t* text, int count, SIZE* size);
bool GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size);
bool GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
int SetTextCharacterExtra(HDC hdc, int extra);
uint32_t SetMapperFlags(HDC hdc, uint32_t flags);

}  // namespace platform
