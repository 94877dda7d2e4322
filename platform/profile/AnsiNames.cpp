#include "platform/profile/AnsiNames.h"

namespace platform {

namespace {

uint32_t resolve(uint32_t codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

size_t charLength(std::string_view text, size_t at, uint32_t cp) {
  return at + 1 < text.size() && IsDBCSLeadByteEx(cp, static_cast<uint8_t>(text[at])) ? 2 : 1;
}

uint8_t upper(uint8_t b) { return b >= 'a' && b <= 'z' ? static_cast<uint8_t>(b - 'a' + 'A') : b; }

}  // namespace

size_t ansiCharLength(std::string_view text, size_t at, uint32_t codePage) {
  return charLength(text, at, resolve(codePage));
}

size_t ansiFind(std::string_view text, char byte, size_t from, uint32_t codePage) {
  const uint32_t cp = resolve(codePage);
  // Characters are found from the start: a position in the middle of the
  // text may be a second byte.
  for (size_t at = 0; at < text.size(); at += charLength(text, at, cp)) {
    if (at >= from && text[at] == byte) return at;
  }
  return std::string_view::npos;
}

int ansiCompareNoCase(std::string_view a, std::string_view b, uint32_t codePage) {
  const uint32_t cp = resolve(codePage);
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const size_t la = charLength(a, i, cp);
    const size_t lb = charLength(b, j, cp);
    const auto ca = static_cast<uint8_t>(a[i]);
    const auto cb = static_cast<uint8_t>(b[j]);
    // Only a single-byte character is folded; a double-byte one compares
    // byte for byte.
    const uint8_t fa = la == 1 ? upper(ca) : ca;
    const uint8_t fb = lb == 1 ? upper(cb) : cb;
    if (fa != fb) return fa < fb ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;
    if (la == 2 && a[i + 1] != b[j + 1]) return static_cast<uint8_t>(a[i + 1]) < static_cast<uint8_t>(b[j + 1]) ? -1 : 1;
    i += la;
    j += lb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool ansiEqualNoCase(std::string_view a, std::string_view b, uint32_t codePage) {
  return a.size() == b.size() && ansiCompareNoCase(a, b, codePage) == 0;
}

}  // namespace platform
