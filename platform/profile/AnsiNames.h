#pragma once
// Scanning and comparing names held in the active ANSI code page's bytes.
//
// In the double-byte code pages (932, 936, 949, 950) the second byte of a
// character may be any of 0x40..0xFE, which covers '\\', '[', ']' and the
// ASCII letters: a byte-wise search for a separator, or a byte-wise case
// fold, would cut or change such a character. These helpers step over
// double-byte characters whole. Names compare without regard to ASCII case
// only, as the Windows registry and profile files compare them for the
// characters that matter here; other characters must match exactly.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/system/CodePage.h"

namespace platform {

// The length in bytes (1 or 2) of the character that starts at `at`.
size_t ansiCharLength(std::string_view text, size_t at, uint32_t codePage = CP_ACP);

// The position of the first `byte` at or after `from` that is a character
// of its own (never the second byte of a double-byte one); npos when none.
size_t ansiFind(std::string_view text, char byte, size_t from = 0, uint32_t codePage = CP_ACP);

bool ansiEqualNoCase(std::string_view a, std::string_view b, uint32_t codePage = CP_ACP);

// Orders as the registry enumerates: ASCII letters folded to upper case,
// then byte order; negative, zero or positive.
int ansiCompareNoCase(std::string_view a, std::string_view b, uint32_t codePage = CP_ACP);

}  // namespace platform
