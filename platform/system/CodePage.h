#pragma once
// The process-wide ANSI code page and the conversions between it and UTF-16,
// as GetACP, MultiByteToWideChar and WideCharToMultiByte provide them.
//
// The active code page is UTF-8 (65001) unless FB_ANSI_CODEPAGE names another
// supported one at start-up, or setActiveCodePage changes it. Supported:
// 65001, 936 (GBK), 932 (Shift-JIS), 949, 950 (Big5), 1250 to 1258, 20127
// and 28591.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t CP_UTF8 = 65001;

uint32_t GetACP();
// Makes `codePage` the active one; false (and ERROR_INVALID_PARAMETER) when
// it is not supported, leaving the active one unchanged.
bool setActiveCodePage(uint32_t codePage);
bool isCodePageSupported(uint32_t codePage);

// As the Windows calls: a source length of -1 means a NUL-terminated source
// whose zero is converted too; a destination size of 0 asks for the length
// needed. Returns the number of units written (or needed), 0 on failure with
// the last error set (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER).
// Invalid input becomes U+FFFD (to UTF-16) or '?' (to the code page).
int MultiByteToWideChar(uint32_t codePage, const char* source, int sourceLength, char16_t* dest, int destSize);
int WideCharToMultiByte(uint32_t codePage, const char16_t* source, int sourceLength, char* dest, int destSize);

std::u16string ansiToWide(std::string_view text, uint32_t codePage = CP_ACP);
std::string wideToAnsi(std::u16string_view text, uint32_t codePage = CP_ACP);
// For showing ANSI text where UTF-8 is expected (terminals, Qt).
std::string ansiToUtf8(std::string_view text, uint32_t codePage = CP_ACP);
std::string utf8ToAnsi(std::string_view text, uint32_t codePage = CP_ACP);

// Whether `byte` begins a two-byte character in a double-byte code page.
bool IsDBCSLeadByteEx(uint32_t codePage, uint8_t byte);

// The length of the longest prefix of `text` of at most `maxBytes` bytes that
// does not cut a character of the code page in two.
size_t ansiPrefixLength(std::string_view text, size_t maxBytes, uint32_t codePage = CP_ACP);

}  // namespace platform
