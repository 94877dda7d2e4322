#pragma once
// Profile (ini) text as GetPrivateProfileString and WritePrivateProfileString
// read and edit it, over bytes in memory. Profile.h applies these to files.
//
// The text is lines of `[Section]` and `key=value`, with these rules:
//  - Sections and keys match without regard to ASCII case (AnsiNames.h);
//    names are trimmed of blanks (space, tab, CR, VT, FF) before matching,
//    and so is the value.
//  - A value wrapped in a pair of matching double or single quotes reads
//    without them.
//  - The first match wins: of duplicate sections only the first is read and
//    written, and of duplicate keys in it only the first.
//  - Ignored: blank lines, lines whose first non-blank is ';', lines without
//    '=', lines with an empty key, and every line before the first section.
//  - A line whose first non-blank is '[' starts a section named by the text
//    up to the first ']' (or to the end of the line when there is none).
//  - A UTF-8 byte order mark at the start is skipped.
// Edits keep every byte they do not have to change, and write new lines with
// the text's line ending (that of its first line; CRLF for a text without
// one, as Windows writes).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

enum class LineKind { Ignored, Section, Entry };

// One line as the parser sees it. Offsets index the whole text.
struct Line {
  LineKind kind = LineKind::Ignored;
  size_t begin = 0;       // first byte of the line
  size_t contentEnd = 0;  // end of the line before its line ending
  size_t end = 0;         // after the line ending (contentEnd on a last line without one)
  std::string_view name;  // Section: its name; Entry: its key (both trimmed)
  size_t valueBegin = 0;  // Entry: where the value starts, after '=' and blanks
  std::string_view value; // Entry: the value as written, trimmed, quotes kept
  int section = -1;       // Entry: index of its section header among the lines, -1 before any
};

// The one parser every read and edit goes through.
std::vector<Line> scanProfile(std::string_view text);

// The value as read: trimmed, without a pair of surrounding quotes.
std::string_view unquotedValue(std::string_view written);

// Section names in file order, each once (the first spelling).
std::vector<std::string> sectionNames(std::string_view text);
// Keys of the first matching section in file order, each once.
std::vector<std::string> sectionKeys(std::string_view text, std::string_view section);
// The value of the first matching key of the first matching section.
std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key);

// An integer as GetPrivateProfileInt reads one, with our rules for what it
// leaves unclear: an optional sign, then decimal digits, or "0x"/"0X" and
// hexadecimal digits; the leading digits are taken and the rest ignored
// ("12abc" is 12; "0xZ", with no hexadecimal digit after the x, is the 0
// before it). nullopt (the caller's default) when no digit follows, or
// when the number does not fit: decimals must lie in the int range, while
// hexadecimals may go up to 0xFFFFFFFF and are taken as that bit pattern
// (0xFFFFFFFF is -1), as they usually hold flags and colours.
std::optional<int> parseProfileInt(std::string_view value);

// Whether a section, key or value can be written so that it reads back as
// given: no line breaks in any; no ']' in a section; no '=' in a key, nor a
// leading ';' or '['; section and key not empty once trimmed.
bool isWritableSection(std::string_view section);
bool isWritableKey(std::string_view key);
bool isWritableValue(std::string_view value);

// The text with `key` of `section` set to `value`: the first matching key's
// value is replaced in place; a new key goes after the last key of the first
// matching section; a new section goes at the end. A value that would not
// read back as itself (blanks at its ends, surrounding quotes) is written in
// double quotes. The names must be writable (above).
std::string setValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

// The text without `key` in the first matching section (every copy of the
// key there, so that no duplicate shows through afterwards).
std::string eraseKey(std::string_view text, std::string_view section, std::string_view key);

// The text without any section of that name: its header and every line up
// to the next section. All copies go, for the same reason.
std::string eraseSection(std::string_view text, std::string_view section);

}  // namespace platform::profile
