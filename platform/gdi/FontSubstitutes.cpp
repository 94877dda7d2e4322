// Windows face names to the families installed here. The metric-compatible
// families come first (Liberation, Carlito, Caladea), so that lines break
// and columns line up as on Windows; CJK faces go to one family that covers
// GB2312, Big5 and Shift-JIS text.

#include <QFontDatabase>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/Font.h"

namespace platform::gdi {
namespace {

const char* const kSans = "Liberation Sans";
const char* const kSerif = "Liberation Serif";
const char* const kMono = "Liberation Mono";
const char* const kCjk = "WenQuanYi Micro Hei";

struct Substitute {
  const char16_t* face;  // lower case
  const char* family;
};

const Substitute kSubstitutes[] = {
    {u"arial", kSans},
    {u"helvetica", kSans},
    {u"arial unicode ms", kSans},
    {u"arial black", kSans},
    {u"arial narrow", "Nimbus Sans Narrow"},
    {u"times new roman", kSerif},
    {u"times", kSerif},
    {u"courier new", kMono},
    {u"courier", kMono},
    {u"lucida console", kMono},
    {u"fixedsys", kMono},
    {u"terminal", kMono},
    {u"consolas", "DejaVu Sans Mono"},
    {u"calibri", "Carlito"},
    {u"cambria", "Caladea"},
    {u"ms sans serif", kSans},
    {u"microsoft sans serif", kSans},
    {u"ms shell dlg", kSans},
    {u"ms shell dlg 2", kSans},
    {u"segoe ui", kSans},
    {u"system", kSans},
    {u"small fonts", kSans},
    {u"tahoma", "DejaVu Sans"},
    {u"verdana", "DejaVu Sans"},
    {u"comic sans ms", "DejaVu Sans"},
    {u"ms serif", kSerif},
    {u"georgia", "DejaVu Serif"},
    {u"book antiqua", "P052"},
    {u"palatino linotype", "P052"},
    {u"bookman old style", "URW Bookman"},
    {u"century gothic", "URW Gothic"},
    {u"century schoolbook", "C059"},
    {u"symbol", "Standard Symbols PS"},
    {u"wingdings", "DejaVu Sans"},
    {u"wingdings 2", "DejaVu Sans"},
    {u"wingdings 3", "DejaVu Sans"},
    {u"webdings", "DejaVu Sans"},
    {u"marlett", "DejaVu Sans"},
    // Chinese, Japanese and Korean faces, by their Latin and native names.
    {u"simsun", kCjk},
    {u"nsimsun", kCjk},
    {u"宋体", kCjk},
    {u"新宋体", kCjk},
    {u"simhei", kCjk},
    {u"黑体", kCjk},
    {u"kaiti", kCjk},
    {u"kaiti_gb2312", kCjk},
    {u"楷体", kCjk},
    {u"楷体_gb2312", kCjk},
    {u"fangsong", kCjk},
    {u"fangsong_gb2312", kCjk},
    {u"仿宋", kCjk},
    {u"仿宋_gb2312", kCjk},
    {u"microsoft yahei", kCjk},
    {u"微软雅黑", kCjk},
    {u"mingliu", kCjk},
    {u"pmingliu", kCjk},
    {u"细明体", kCjk},
    {u"新细明体", kCjk},
    {u"細明體", kCjk},
    {u"新細明體", kCjk},
    {u"microsoft jhenghei", kCjk},
    {u"ms mincho", kCjk},
    {u"ms pmincho", kCjk},
    {u"ms gothic", kCjk},
    {u"ms pgothic", kCjk},
    {u"ms ui gothic", kCjk},
    {u"ｍｓ 明朝", kCjk},
    {u"ｍｓ ｐ明朝", kCjk},
    {u"ｍｓ ゴシック", kCjk},
    {u"ｍｓ ｐゴシック", kCjk},
    {u"meiryo", kCjk},
    {u"メイリオ", kCjk},
    {u"gulim", kCjk},
    {u"batang", kCjk},
    {u"dotum", kCjk},
    {u"malgun gothic", kCjk},
    {u"굴림", kCjk},
    {u"바탕", kCjk},
};

bool isCjkCharset(uint8_t charSet) {
  return charSet == SHIFTJIS_CHARSET || charSet == HANGUL_CHARSET || charSet == GB2312_CHARSET ||
         charSet == CHINESEBIG5_CHARSET;
}

QString byHints(uint8_t charSet, uint8_t pitchAndFamily) {
  if (isCjkCharset(charSet)) return QString::fromLatin1(kCjk);
  const uint8_t family = pitchAndFamily & 0xF0;
  if (family == FF_MODERN || (pitchAndFamily & 3) == FIXED_PITCH) return QString::fromLatin1(kMono);
  if (family == FF_ROMAN) return QString::fromLatin1(kSerif);
  return QString::fromLatin1(kSans);
}

QString resolve(const QString& face, uint8_t charSet, uint8_t pitchAndFamily) {
  QString name = face.trimmed();
  // Vertical-writing faces: the same face, laid out horizontally.
  if (name.startsWith(u'@')) name.remove(0, 1);
  const QString lower = name.toLower();
  if (lower.isEmpty()) return byHints(charSet, pitchAndFamily);
  for (const Substitute& s : kSubstitutes) {
    if (lower == QString::fromUtf16(s.face)) return QString::fromLatin1(s.family);
  }
  // fontconfig answers every name with some family, so ask for exact ones.
  if (QFontDatabase::hasFamily(name)) return name;
  return byHints(charSet, pitchAndFamily);
}

}  // namespace

QString substituteFamily(const QString& face, uint8_t charSet, uint8_t pitchAndFamily) {
  static std::mutex mutex;
  static std::unordered_map<std::u16string, QString> cache;
  std::u16string key(reinterpret_cast<const char16_t*>(face.utf16()), size_t(face.size()));
  key.push_back(char16_t(charSet));
  key.push_back(char16_t(pitchAndFamily));
  std::lock_guard lock(mutex);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() > 4096) cache.clear();
  QString family = resolve(face, charSet, pitchAndFamily);
  cache.emplace(std::move(key), family);
  return family;
}

QString fallbackFamily() { return QString::fromLatin1(kCjk); }

SymbolEncoding symbolEncodingOf(const QString& face) {
  const QString lower = face.trimmed().toLower();
  if (lower == QLatin1String("symbol")) return SymbolEncoding::Symbol;
  if (lower == QLatin1String("wingdings")) return SymbolEncoding::Wingdings;
  return SymbolEncoding::None;
}

namespace {

// Symbol's codes from 0x20 on (0 where the code has no Unicode character).
const char16_t kSymbol[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C,
    0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C,
    0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B,
    0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234,
    0x005D, 0x22A5, 0x005F,
    // 0x60
    0xF8E5, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB,
    0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C,
    0x007D, 0x223C, 0,
    // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0x90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190,
    0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026,
    0x23D0, 0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282,
    0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0,
    0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7,
    0x23A8, 0x23A9, 0x23AA,
    // 0xF0
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB,
    0x23AC, 0x23AD, 0,
};

// The Wingdings codes that documents use most: bullets, boxes, check marks.
struct CodePoint {
  char16_t code, unicode;
};
const CodePoint kWingdings[] = {
    {0x21, 0x270F}, {0x22, 0x2702}, {0x28, 0x260E}, {0x2A, 0x2709}, {0x36, 0x231B}, {0x4A, 0x263A},
    {0x4B, 0x2610}, {0x4C, 0x2639}, {0x4E, 0x2620}, {0x52, 0x263C}, {0x54, 0x2744}, {0x58, 0x2720},
    {0x5B, 0x262F}, {0x6C, 0x25CF}, {0x6D, 0x274D}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x70, 0x25FB},
    {0x71, 0x2751}, {0x72, 0x2752}, {0x73, 0x2B27}, {0x74, 0x29EB}, {0x75, 0x25C6}, {0x76, 0x2756},
    {0x77, 0x2B25}, {0x78, 0x2327}, {0x9F, 0x2022}, {0xA1, 0x25CB}, {0xA4, 0x25C9}, {0xA7, 0x25AA},
    {0xA8, 0x25FB}, {0xAB, 0x2605}, {0xD8, 0x27A2}, {0xE0, 0x2192}, {0xE8, 0x2794}, {0xEF, 0x21E6},
    {0xF0, 0x21E8}, {0xFB, 0x2717}, {0xFC, 0x2714}, {0xFD, 0x2612}, {0xFE, 0x2611},
};

}  // namespace

char32_t symbolToUnicode(SymbolEncoding encoding, char32_t code) {
  // Symbol fonts answer their codes also in the private-use page F0xx.
  char32_t c = (code >= 0xF020 && code <= 0xF0FF) ? code - 0xF000 : code;
  if (encoding == SymbolEncoding::Symbol) {
    if (c >= 0x20 && c <= 0xFF && kSymbol[c - 0x20] != 0) return kSymbol[c - 0x20];
    return code;
  }
  if (encoding == SymbolEncoding::Wingdings) {
    for (const CodePoint& p : kWingdings) {
      if (p.code == c) return p.unicode;
    }
    return code;
  }
  return code;
}

}  // namespace platform::gdi
