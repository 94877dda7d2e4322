#pragma once
// The value types, handles and constants of the device-context interface,
// with the numbers and layouts that metafile records and callers use.

#include <cstdint>

#include "platform/emf/EmfTypes.h"

// Opaque handles. Device contexts and graphics objects live in process-wide
// tables; a handle that was never made or is already deleted is refused.
using HDC = struct HDC__*;
using HGDIOBJ = struct HGDIOBJ__*;
// The object kinds share one handle type, as SelectObject and DeleteObject
// take any of them.
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;
using HRGN = HGDIOBJ;
using HBITMAP = HGDIOBJ;
using HPALETTE = HGDIOBJ;

namespace platform {

using COLORREF = uint32_t;  // 0x00bbggrr
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) { return r | (uint32_t(g) << 8) | (uint32_t(b) << 16); }
constexpr uint8_t GetRValue(COLORREF c) { return uint8_t(c); }
constexpr uint8_t GetGValue(COLORREF c) { return uint8_t(c >> 8); }
constexpr uint8_t GetBValue(COLORREF c) { return uint8_t(c >> 16); }
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct POINT {
  int32_t x, y;
};
using POINTL = POINT;
struct POINTS {
  int16_t x, y;
};
struct SIZE {
  int32_t cx, cy;
};
struct RECT {
  int32_t left, top, right, bottom;
};
struct XFORM {
  float eM11, eM12, eM21, eM22, eDx, eDy;
};

// Mapping modes
inline constexpr int MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
                     MM_TWIPS = 6, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;
// Graphics modes and world transform changes
inline constexpr int GM_COMPATIBLE = 1, GM_ADVANCED = 2;
inline constexpr uint32_t MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3, MWT_SET = 4;
// Background modes
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;
// Polygon fill modes
inline constexpr int ALTERNATE = 1, WINDING = 2;
// Stretch modes
inline constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
// Arc directions
inline constexpr int AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2;
// Binary raster operations (ROP2)
inline constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5,
                     R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11,
                     R2_MERGENOTPEN = 12, R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
// Text alignment
inline constexpr uint32_t TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0,
                          TA_BOTTOM = 8, TA_BASELINE = 24, TA_RTLREADING = 256;
// ExtTextOut options
inline constexpr uint32_t ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4, ETO_GLYPH_INDEX = 0x10, ETO_RTLREADING = 0x80,
                          ETO_NO_RECT = 0x100, ETO_PDY = 0x2000;

// Region combination modes and region kinds
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
inline constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;

// Object types (GetObjectType)
inline constexpr uint32_t OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7,
                          OBJ_REGION = 8, OBJ_MEMDC = 10, OBJ_EXTPEN = 11;

// Stock objects
inline constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
                     NULL_BRUSH = 5, HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8,
                     OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13,
                     DEVICE_DEFAULT_FONT = 14, DEFAULT_PALETTE = 15, SYSTEM_FIXED_FONT = 16, DEFAULT_GUI_FONT = 17,
                     DC_BRUSH = 18, DC_PEN = 19;

// Pens
inline constexpr uint32_t PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
                          PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF,
                          PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200,
                          PS_ENDCAP_MASK = 0xF00, PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000,
                          PS_JOIN_MASK = 0xF000, PS_COSMETIC = 0, PS_GEOMETRIC = 0x10000, PS_TYPE_MASK = 0xF0000;
struct LOGPEN {
  uint32_t lopnStyle;
  POINT lopnWidth;  // only x is used
  COLORREF lopnColor;
};

// Brushes
inline constexpr uint32_t BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3,
                          BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6, BS_PATTERN8X8 = 7, BS_DIBPATTERN8X8 = 8;
inline constexpr uint32_t HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
                          HS_DIAGCROSS = 5;
struct LOGBRUSH {
  uint32_t lbStyle;
  COLORREF lbColor;
  uintptr_t lbHatch;  // hatch style
};

// Fonts
inline constexpr int LF_FACESIZE = 32;
struct LOGFONTW {
  int32_t lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  uint8_t lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
      lfPitchAndFamily;
  char16_t lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTW) == 92);
inline constexpr int FW_NORMAL = 400, FW_BOLD = 700;
inline constexpr uint8_t ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, SHIFTJIS_CHARSET = 128,
                         HANGUL_CHARSET = 129, GB2312_CHARSET = 134, CHINESEBIG5_CHARSET = 136, OEM_CHARSET = 255;
inline constexpr uint8_t NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4, CLEARTYPE_QUALITY = 5;
inline constexpr uint8_t FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30,
                         FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50;

// Palettes
struct PALETTEENTRY {
  uint8_t peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
  uint16_t palVersion;
  uint16_t palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

// Device-independent bitmaps
struct RGBQUAD {
  uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1, bfReserved2;
  uint32_t bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth, biHeight;
  uint16_t biPlanes, biBitCount;
  uint32_t biCompression, biSizeImage;
  int32_t biXPelsPerMeter, biYPelsPerMeter;
  uint32_t biClrUsed, biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
struct BITMAPCOREHEADER {
  uint32_t bcSize;
  uint16_t bcWidth, bcHeight, bcPlanes, bcBitCount;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
inline constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5;
inline constexpr uint32_t DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1;

// Ternary raster operations used by name
inline constexpr uint32_t SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                          SRCINVERT = 0x00660046, SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008,
                          NOTSRCERASE = 0x001100A6, MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226,
                          PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049,
                          DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;

// Gradients and blending
struct TRIVERTEX {
  int32_t x, y;
  uint16_t Red, Green, Blue, Alpha;
};
struct GRADIENT_RECT {
  uint32_t UpperLeft, LowerRight;
};
struct GRADIENT_TRIANGLE {
  uint32_t Vertex1, Vertex2, Vertex3;
};
inline constexpr uint32_t GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1, GRADIENT_FILL_TRIANGLE = 2;
struct BLENDFUNCTION {
  uint8_t BlendOp, BlendFlags, SourceConstantAlpha, AlphaFormat;
};
inline constexpr uint8_t AC_SRC_OVER = 0, AC_SRC_ALPHA = 1;

// PolyDraw point kinds
inline constexpr uint8_t PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6;

// GetDeviceCaps indices
inline constexpr int DRIVERVERSION = 0, TECHNOLOGY = 2, HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10,
                     BITSPIXEL = 12, PLANES = 14, NUMBRUSHES = 16, NUMPENS = 18, NUMFONTS = 22, NUMCOLORS = 24,
                     RASTERCAPS = 38, LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104, NUMRESERVED = 106,
                     COLORRES = 108, PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112,
                     PHYSICALOFFSETY = 113, SCALINGFACTORX = 114, SCALINGFACTORY = 115;
inline constexpr int DT_RASDISPLAY = 1, DT_RASPRINTER = 2;
inline constexpr int RC_BITBLT = 1, RC_PALETTE = 0x100, RC_DI_BITMAP = 0x80, RC_STRETCHBLT = 0x800,
                     RC_STRETCHDIB = 0x2000;

}  // namespace platform
