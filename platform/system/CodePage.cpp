#include "platform/system/CodePage.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/system/LastError.h"

namespace platform {

namespace {

const char* iconvName(uint32_t codePage) {
  switch (codePage) {
    case 65001: return "UTF-8";
    case 936: return "CP936";
    case 932: return "CP932";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    default: return nullptr;
  }
}

uint32_t initialCodePage() {
  if (const char* env = std::getenv("FB_ANSI_CODEPAGE")) {
    const unsigned long cp = std::strtoul(env, nullptr, 10);
    if (cp <= UINT32_MAX && iconvName(static_cast<uint32_t>(cp)) != nullptr) return static_cast<uint32_t>(cp);
  }
  return CP_UTF8;
}

std::atomic<uint32_t>& activeCodePage() {
  static std::atomic<uint32_t> cp{initialCodePage()};
  return cp;
}

uint32_t resolve(uint32_t codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) ::iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts all of `in` with iconv, replacing what cannot be converted. The
// replacement goes through `emitBad`, which also says how many input bytes
// to step over.
template <typename StepOverBad>
bool convertAll(const char* to, const char* from, const char* in, size_t inLeft, std::string& out,
                const std::string& replacement, StepOverBad stepOverBad) {
  Iconv cd(to, from);
  if (!cd.ok()) return false;
  out.clear();
  char chunk[4096];
  auto* src = const_cast<char*>(in);
  while (true) {
    char* dst = chunk;
    size_t dstLeft = sizeof chunk;
    const size_t r = ::iconv(cd.get(), inLeft ? &src : nullptr, inLeft ? &inLeft : nullptr, &dst, &dstLeft);
    out.append(chunk, static_cast<size_t>(dst - chunk));
    if (r != static_cast<size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    if (errno == EILSEQ || errno == EINVAL) {
      const size_t skip = std::min(inLeft, stepOverBad(src, inLeft));
      out += replacement;
      src += skip;
      inLeft -= skip;
      ::iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
      if (inLeft == 0) break;
      continue;
    }
    return false;
  }
  return true;
}

bool toWide(uint32_t codePage, std::string_view text, std::u16string& result) {
  const char* name = iconvName(codePage);
  if (name == nullptr) return false;
  std::string bytes;
  const std::string replacement("\xFD\xFF", 2);  // U+FFFD little-endian
  if (!convertAll("UTF-16LE", name, text.data(), text.size(), bytes, replacement,
                  [](const char*, size_t) { return size_t{1}; }))
    return false;
  result.resize(bytes.size() / 2);
  for (size_t i = 0; i < result.size(); ++i)
    result[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return true;
}

bool fromWide(uint32_t codePage, std::u16string_view text, std::string& result) {
  const char* name = iconvName(codePage);
  if (name == nullptr) return false;
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  // Step over one UTF-16 unit, or a whole surrogate pair.
  auto stepOver = [](const char* at, size_t left) -> size_t {
    if (left >= 4) {
      const unsigned hi = static_cast<uint8_t>(at[0]) | (static_cast<uint8_t>(at[1]) << 8);
      const unsigned lo = static_cast<uint8_t>(at[2]) | (static_cast<uint8_t>(at[3]) << 8);
      if (hi >= 0xD800 && hi < 0xDC00 && lo >= 0xDC00 && lo < 0xE000) return 4;
    }
    return 2;
  };
  // UTF-8 can carry U+FFFD for what it cannot take; other pages get '?'.
  const std::string replacement = codePage == CP_UTF8 ? "\xEF\xBF\xBD" : "?";
  return convertAll(name, "UTF-16LE", bytes.data(), bytes.size(), result, replacement, stepOver);
}

template <typename Unit, typename String>
int copyOut(const String& converted, Unit* dest, int destSize) {
  if (converted.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(converted.size());
  if (destSize == 0) return needed;
  if (dest == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (destSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(converted.begin(), converted.end(), dest);
  return needed;
}

}  // namespace

uint32_t GetACP() { return activeCodePage().load(std::memory_order_relaxed); }

bool isCodePageSupported(uint32_t codePage) { return iconvName(codePage) != nullptr; }

bool setActiveCodePage(uint32_t codePage) {
  if (!isCodePageSupported(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  activeCodePage().store(codePage, std::memory_order_relaxed);
  return true;
}

int MultiByteToWideChar(uint32_t codePage, const char* source, int sourceLength, char16_t* dest, int destSize) {
  if (source == nullptr || sourceLength < -1 || sourceLength == 0 || destSize < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t length = sourceLength == -1 ? std::strlen(source) + 1 : static_cast<size_t>(sourceLength);
  std::u16string converted;
  if (!toWide(resolve(codePage), std::string_view(source, length), converted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return copyOut(converted, dest, destSize);
}

int WideCharToMultiByte(uint32_t codePage, const char16_t* source, int sourceLength, char* dest, int destSize) {
  if (source == nullptr || sourceLength < -1 || sourceLength == 0 || destSize < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = 0;
  if (sourceLength == -1) {
    while (source[length] != 0) ++length;
    ++length;
  } else {
    length = static_cast<size_t>(sourceLength);
  }
  std::string converted;
  if (!fromWide(resolve(codePage), std::u16string_view(source, length), converted)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return copyOut(converted, dest, destSize);
}

std::u16string ansiToWide(std::string_view text, uint32_t codePage) {
  std::u16string result;
  if (!text.empty() && !toWide(resolve(codePage), text, result)) result.clear();
  return result;
}

std::string wideToAnsi(std::u16string_view text, uint32_t codePage) {
  std::string result;
  if (!text.empty() && !fromWide(resolve(codePage), text, result)) result.clear();
  return result;
}

std::string ansiToUtf8(std::string_view text, uint32_t codePage) {
  const uint32_t cp = resolve(codePage);
  if (cp == CP_UTF8) return std::string(text);
  return wideToAnsi(ansiToWide(text, cp), CP_UTF8);
}

std::string utf8ToAnsi(std::string_view text, uint32_t codePage) {
  const uint32_t cp = resolve(codePage);
  if (cp == CP_UTF8) return std::string(text);
  return wideToAnsi(ansiToWide(text, CP_UTF8), cp);
}

bool IsDBCSLeadByteEx(uint32_t codePage, uint8_t byte) {
  switch (resolve(codePage)) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

size_t ansiPrefixLength(std::string_view text, size_t maxBytes, uint32_t codePage) {
  if (text.size() <= maxBytes) return text.size();
  const uint32_t cp = resolve(codePage);
  if (cp == CP_UTF8) {
    size_t cut = maxBytes;
    // Back off over continuation bytes to the start of the cut character.
    while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
  }
  size_t at = 0;
  while (at < text.size()) {
    const size_t step = IsDBCSLeadByteEx(cp, static_cast<uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
    if (at + step > maxBytes) break;
    at += step;
  }
  return at;
}

}  // namespace platform
