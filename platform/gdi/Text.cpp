// Text output: ExtTextOut and the calls built on it.

#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <string_view>

#include "platform/gdi/DcInternal.h"
#include "platform/gdi/Mapping.h"
#include "platform/gdi/TextApi.h"
#include "platform/gdi/TextLayout.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform {
namespace {

using gdi::DeviceContext;
using gdi::TextFrame;
using gdi::TextUnit;

// A string longer than any record or caller buffer could hold is refused
// rather than laid out.
constexpr uint32_t kMaxCount = 1u << 20;

QColor toQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

bool axisAligned(const QTransform& t) {
  return (t.m12() == 0 && t.m21() == 0) || (t.m11() == 0 && t.m22() == 0);
}

QPointF rounded(const QPointF& p) { return QPointF(gdi::roundCoord(p.x()), gdi::roundCoord(p.y())); }

// A text-space rectangle on the device; whole pixels when it stays a
// rectangle there, as GDI fills.
QPainterPath devicePolygon(const QTransform& toDevice, const QRectF& r) {
  QPainterPath path;
  if (axisAligned(toDevice)) {
    const QPointF a = rounded(toDevice.map(r.topLeft()));
    const QPointF b = rounded(toDevice.map(r.bottomRight()));
    path.addRect(QRectF(a, b).normalized());
    return path;
  }
  path.addPolygon(toDevice.map(QPolygonF(r)));
  path.closeSubpath();
  return path;
}

// The logical rectangle of ETO_OPAQUE and ETO_CLIPPED on the device.
QPainterPath deviceRect(const DeviceContext& dc, const RECT& rect) {
  const QTransform t = dc.worldToDevice();
  const QRectF r(QPointF(rect.left, rect.top), QPointF(rect.right, rect.bottom));
  return devicePolygon(t, r);
}

gdi::Paint solidPaint(COLORREF color) {
  gdi::Paint paint;
  paint.brush = QBrush(toQColor(color));
  return paint;
}

gdi::DeviceClip intersectClip(const gdi::DeviceClip& clip, const QPainterPath& area, bool rectangle) {
  const QRegion areaRegion = rectangle ? QRegion(area.boundingRect().toAlignedRect())
                                       : QRegion(area.toFillPolygon().toPolygon(), Qt::OddEvenFill);
  gdi::DeviceClip result;
  result.active = true;
  result.region = clip.active ? clip.region.intersected(areaRegion) : areaRegion;
  return result;
}

// Glyph outlines added to the open path instead of drawn.
void addToPath(DeviceContext& dc, const TextFrame& frame, const std::vector<TextUnit>& units,
               const std::vector<QPointF>& positions, const std::vector<int>& faces, bool glyphIndices) {
  const QTransform shape = QTransform().rotate(-frame.angle) * frame.glyphTransform;
  for (size_t i = 0; i < units.size(); ++i) {
    const gdi::RealizedFont::Face& face = faces[i] == 1 ? frame.font->fallback() : frame.font->primary();
    QPainterPath glyph;
    if (glyphIndices) {
      glyph = face.raw.pathForGlyph(units[i].ch);
      // The raw font is at the exact em size already.
      const double undo = 1 / frame.font->sizeScale();
      glyph = QTransform::fromScale(undo, undo).map(glyph);
    } else {
      const char32_t code = frame.font->glyphFor(units[i].ch).code;
      glyph.addText(QPointF(0, 0), face.font, QString::fromUcs4(&code, 1));
    }
    if (glyph.isEmpty()) continue;
    const QTransform place = shape * QTransform::fromTranslate(positions[i].x(), positions[i].y());
    dc.state.path.addPath(place.map(glyph));
  }
  dc.state.pathNeedsMove = true;
}

bool drawText(DeviceContext& dc, int x, int y, uint32_t options, const RECT* rect,
              std::vector<TextUnit> units, bool glyphIndices) {
  gdi::DcState& s = dc.state;
  const bool updateCp = (s.textAlign & TA_UPDATECP) != 0;
  const double refX = updateCp ? s.currentPosition.x : x;
  const double refY = updateCp ? s.currentPosition.y : y;
  const TextFrame frame = makeTextFrame(dc, refX, refY);
  const gdi::RealizedFont& font = *frame.font;

  // Offsets along the baseline in text pixels: logical advances are summed
  // first and scaled after, so that every character lands on the pixel its
  // logical position maps to.
  const size_t n = units.size();
  std::vector<double> along(n + 1, 0.0), across(n + 1, 0.0);
  std::vector<int> faces(n, 0);
  std::vector<char32_t> codes(n, 0);
  double logicalX = 0, logicalY = 0, textX = 0;
  double extra = s.textCharExtra * frame.alongBaseline;
  if (frame.integerMetrics) extra = std::floor(extra + 0.5);
  for (size_t i = 0; i < n; ++i) {
    if (glyphIndices) {
      codes[i] = units[i].ch;
    } else {
      const gdi::RealizedFont::Glyph g = font.glyphFor(units[i].ch);
      codes[i] = g.code;
      faces[i] = g.face;
    }
    if (units[i].hasDx) {
      logicalX += units[i].dx;
      logicalY += units[i].dy;
      along[i + 1] = logicalX * frame.alongBaseline;
      across[i + 1] = -logicalY * frame.alongBaseline;
    } else {
      const double advance = glyphIndices ? font.glyphIndexAdvance(units[i].ch) : font.glyphFor(units[i].ch).advance;
      textX += advance + extra;
      along[i + 1] = textX;
    }
  }
  const double width = along[n];

  double shift = 0;
  const uint32_t horizontal = s.textAlign & TA_CENTER;
  if (horizontal == TA_CENTER) {
    shift = -width / 2;
    if (frame.integerMetrics) shift = std::floor(shift + 0.5);
  } else if (horizontal == TA_RIGHT) {
    shift = -width;
  }
  double baseline = font.ascent();  // TA_TOP
  const uint32_t vertical = s.textAlign & TA_BASELINE;
  if (vertical == TA_BASELINE) {
    baseline = 0;
  } else if (vertical == TA_BOTTOM) {
    baseline = -font.descent();
  }

  const gdi::DeviceClip clip = dc.deviceClip();
  const bool hasRect = rect && !(options & ETO_NO_RECT);
  gdi::DeviceClip textClip = clip;
  QPainterPath rectPath;
  if (hasRect && (options & (ETO_OPAQUE | ETO_CLIPPED))) rectPath = deviceRect(dc, *rect);

  std::vector<QPointF> positions(n);
  for (size_t i = 0; i < n; ++i) {
    positions[i] = rounded(frame.textToDevice.map(QPointF(shift + along[i], baseline + across[i])));
  }

  if (s.pathOpen) {
    addToPath(dc, frame, units, positions, faces, glyphIndices);
  } else {
    gdi::Surface& surface = dc.surface();
    if (hasRect && (options & ETO_OPAQUE) && !rectPath.isEmpty()) {
      surface.fillPath(rectPath, solidPaint(s.bkColor), clip);
    }
    if (hasRect && (options & ETO_CLIPPED)) textClip = intersectClip(clip, rectPath, axisAligned(dc.worldToDevice()));
    if (n > 0 && !(textClip.active && textClip.region.isEmpty())) {
      // The opaque background of the cells, unless the rectangle was filled.
      if (s.bkMode == OPAQUE && !(hasRect && (options & ETO_OPAQUE)) && width != 0) {
        const QRectF cells(QPointF(shift, baseline - font.ascent()), QPointF(shift + width, baseline + font.descent()));
        surface.fillPath(devicePolygon(frame.textToDevice, cells.normalized()), solidPaint(s.bkColor), textClip);
      }
      // One run per face, so that each surface draws with the face that
      // holds the glyphs.
      size_t begin = 0;
      while (begin < n) {
        size_t end = begin + 1;
        while (end < n && faces[end] == faces[begin]) ++end;
        gdi::TextRun run;
        const gdi::RealizedFont::Face& face = faces[begin] == 1 ? font.fallback() : font.primary();
        run.font = face.font;
        run.glyphIndices = glyphIndices;
        for (size_t i = begin; i < end; ++i) {
          if (glyphIndices) {
            run.glyphs.push_back(uint32_t(codes[i]));
            run.text.append(QChar(char16_t(codes[i] & 0xFFFF)));
          } else {
            run.text.append(QString::fromUcs4(&codes[i], 1));
          }
          run.positions.push_back(positions[i]);
        }
        run.color = toQColor(s.textColor);
        run.angleDegrees = frame.angle;
        run.transform = frame.glyphTransform;
        surface.drawText(run, textClip);
        begin = end;
      }
      // Underline and strike-out across the whole string, as GDI draws them.
      const LOGFONTW& lf = font.logfont();
      auto line = [&](double top, double thickness) {
        const QRectF bar(QPointF(shift, baseline + top), QPointF(shift + width, baseline + top + thickness));
        surface.fillPath(devicePolygon(frame.textToDevice, bar.normalized()), solidPaint(s.textColor), textClip);
      };
      if (lf.lfUnderline && width != 0) line(font.underlinePosition(), font.underlineThickness());
      if (lf.lfStrikeOut && width != 0) line(-font.strikeoutPosition(), font.strikeoutThickness());
    }
  }

  if (updateCp) {
    double end = 0;
    if (horizontal == TA_RIGHT) {
      end = -width;
    } else if (horizontal != TA_CENTER) {
      end = width;
    }
    if (end != 0) {
      bool invertible = false;
      const QTransform toLogical = dc.worldToDevice().inverted(&invertible);
      if (invertible) {
        const QPointF p = toLogical.map(frame.textToDevice.map(QPointF(end, 0)));
        s.currentPosition = POINT{gdi::roundCoord(p.x()), gdi::roundCoord(p.y())};
      }
    }
  }
  return true;
}

}  // namespace

namespace gdi {

uint32_t codePageForCharset(uint8_t charSet) {
  uint32_t codePage = 0;
  switch (charSet) {
    case SHIFTJIS_CHARSET: codePage = 932; break;
    case HANGUL_CHARSET: codePage = 949; break;
    case GB2312_CHARSET: codePage = 936; break;
    case CHINESEBIG5_CHARSET: codePage = 950; break;
    case 161: codePage = 1253; break;  // Greek
    case 162: codePage = 1254; break;  // Turkish
    case 163: codePage = 1258; break;  // Vietnamese
    case 177: codePage = 1255; break;  // Hebrew
    case 178: codePage = 1256; break;  // Arabic
    case 186: codePage = 1257; break;  // Baltic
    case 204: codePage = 1251; break;  // Cyrillic
    case 238: codePage = 1250; break;  // Central European
    default: break;
  }
  if (codePage != 0 && isCodePageSupported(codePage)) return codePage;
  // ANSI and default fonts take the system's code page; a UTF-8 system has
  // no 8-bit one, and Western text is what such bytes mostly are.
  const uint32_t active = GetACP();
  return active == CP_UTF8 ? 1252 : active;
}

std::u16string ansiTextToWide(const DeviceContext& dc, std::string_view text) {
  const LOGFONTW lf = selectedLogfont(dc);
  if (lf.lfCharSet == SYMBOL_CHARSET) {
    // Symbol fonts take the bytes as their codes.
    std::u16string wide;
    wide.reserve(text.size());
    for (char c : text) wide.push_back(char16_t(uint8_t(c)));
    return wide;
  }
  return ansiToWide(text, codePageForCharset(lf.lfCharSet));
}

}  // namespace gdi

namespace {

// Which bytes of an ANSI string make one character.
size_t charLength(uint32_t codePage, std::string_view text, size_t at) {
  const auto b = uint8_t(text[at]);
  size_t length = 1;
  if (codePage == 0) return 1;
  if (codePage == CP_UTF8) {
    if (b >= 0xF0) {
      length = 4;
    } else if (b >= 0xE0) {
      length = 3;
    } else if (b >= 0xC0) {
      length = 2;
    }
  } else if (IsDBCSLeadByteEx(codePage, b)) {
    length = 2;
  }
  return std::min(length, text.size() - at);
}

}  // namespace

bool ExtTextOutW(HDC hdc, int x, int y, uint32_t options, const RECT* rect, const char16_t* text, uint32_t count,
                 const int32_t* dx) {
  DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if ((count > 0 && !text) || count > kMaxCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const bool glyphIndices = (options & ETO_GLYPH_INDEX) != 0;
  std::vector<TextUnit> units;
  if (glyphIndices) {
    // Glyph indices are not characters: no surrogate pairs.
    const size_t step = (options & ETO_PDY) ? 2 : 1;
    units.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
      units[i].ch = text[i];
      if (dx) {
        units[i].hasDx = true;
        units[i].dx = dx[i * step];
        if (step == 2) units[i].dy = dx[i * step + 1];
      }
    }
  } else {
    units = gdi::unitsFromWide(text, count, dx, (options & ETO_PDY) != 0);
  }
  return drawText(*dc, x, y, options, rect, std::move(units), glyphIndices);
}

bool ExtTextOutA(HDC hdc, int x, int y, uint32_t options, const RECT* rect, const char* text, uint32_t count,
                 const int32_t* dx) {
  DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return false;
  if ((count > 0 && !text) || count > kMaxCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const std::string_view bytes(text ? text : "", count);
  const LOGFONTW lf = gdi::selectedLogfont(*dc);
  const uint32_t codePage = lf.lfCharSet == SYMBOL_CHARSET ? 0 : gdi::codePageForCharset(lf.lfCharSet);
  const bool pdy = (options & ETO_PDY) != 0;
  const size_t step = pdy ? 2 : 1;
  std::vector<TextUnit> units;
  if (options & ETO_GLYPH_INDEX) {
    for (size_t i = 0; i < count; ++i) {
      TextUnit u;
      u.ch = uint8_t(bytes[i]);
      if (dx) {
        u.hasDx = true;
        u.dx = dx[i * step];
        if (pdy) u.dy = dx[i * step + 1];
      }
      units.push_back(u);
    }
    return drawText(*dc, x, y, options, rect, std::move(units), true);
  }
  const bool multiByte = codePage == CP_UTF8 || codePage == 932 || codePage == 936 || codePage == 949 ||
                         codePage == 950;
  const std::u16string whole = gdi::ansiTextToWide(*dc, bytes);
  if (!dx || (!multiByte && whole.size() == bytes.size())) {
    // One character per byte, or no advances to share out.
    units = gdi::unitsFromWide(whole.data(), uint32_t(whole.size()), nullptr, false);
    if (dx && units.size() == bytes.size()) {
      for (size_t i = 0; i < units.size(); ++i) {
        units[i].hasDx = true;
        units[i].dx = dx[i * step];
        if (pdy) units[i].dy = dx[i * step + 1];
      }
    }
    return drawText(*dc, x, y, options, rect, std::move(units), false);
  }
  // dx has one entry per byte: a character's advance is the sum of its bytes'.
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = charLength(codePage, bytes, at);
    const std::u16string wide = gdi::ansiTextToWide(*dc, bytes.substr(at, length));
    double advance = 0, rise = 0;
    if (dx) {
      for (size_t k = at; k < at + length; ++k) {
        advance += dx[k * step];
        if (pdy) rise += dx[k * step + 1];
      }
    }
    std::vector<TextUnit> part = gdi::unitsFromWide(wide.data(), uint32_t(wide.size()), nullptr, false);
    for (size_t k = 0; k < part.size(); ++k) {
      part[k].hasDx = dx != nullptr;
      part[k].dx = k == 0 ? advance : 0;
      part[k].dy = k == 0 ? rise : 0;
      units.push_back(part[k]);
    }
    at += length;
  }
  return drawText(*dc, x, y, options, rect, std::move(units), false);
}

bool TextOutW(HDC hdc, int x, int y, const char16_t* text, int count) {
  if (count < 0) {
    if (!gdi::dcOrFail(hdc)) return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return ExtTextOutW(hdc, x, y, 0, nullptr, text, uint32_t(count), nullptr);
}

bool TextOutA(HDC hdc, int x, int y, const char* text, int count) {
  if (count < 0) {
    if (!gdi::dcOrFail(hdc)) return false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return ExtTextOutA(hdc, x, y, 0, nullptr, text, uint32_t(count), nullptr);
}

bool PolyTextOutW(HDC hdc, const POLYTEXTW* texts, int count) {
  if (!gdi::dcOrFail(hdc)) return false;
  if (count < 0 || (count > 0 && !texts)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  bool ok = true;
  for (int i = 0; i < count; ++i) {
    const POLYTEXTW& t = texts[i];
    if (!ExtTextOutW(hdc, t.x, t.y, t.uiFlags, &t.rcl, t.lpstr, t.n, t.pdx)) ok = false;
  }
  return ok;
}

int SetTextCharacterExtra(HDC hdc, int extra) {
  DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return int(0x80000000u);
  const int old = dc->state.textCharExtra;
  dc->state.textCharExtra = extra;
  return old;
}

uint32_t SetMapperFlags(HDC hdc, uint32_t flags) {
  DeviceContext* dc = gdi::dcOrFail(hdc);
  if (!dc) return 0xFFFFFFFFu;
  const uint32_t old = dc->state.mapperFlags;
  dc->state.mapperFlags = flags;
  return old;
}

}  // namespace platform
