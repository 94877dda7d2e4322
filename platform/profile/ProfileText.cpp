#include "platform/profile/ProfileText.h"

#include <utility>
#include <cstdint>

#include "platform/profile/AnsiNames.h"

namespace platform::profile {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  size_t first = 0;
  while (first < s.size() && isBlank(s[first])) ++first;
  size_t last = s.size();
  while (last > first && isBlank(s[last - 1])) --last;
  return s.substr(first, last - first);
}

std::string_view lineEnding(std::string_view text) {
  const auto nl = text.find('\n');
  if (nl == std::string_view::npos) return "\r\n";
  return nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

// The index of the first section header named `section`, or -1.
int findSection(const std::vector<Line>& lines, std::string_view section) {
  const std::string_view wanted = trim(section);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == LineKind::Section && ansiEqualNoCase(lines[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

bool isEntryOf(const Line& line, int section) { return line.kind == LineKind::Entry && line.section == section; }

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string encodeValue(std::string_view value) {
  const bool quotesWouldGo =
      value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'');
  if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || quotesWouldGo))
    return "\"" + std::string(value) + "\"";
  return std::string(value);
}

// `text` less the byte ranges in `cuts` (in ascending order, not overlapping).
std::string without(std::string_view text, const std::vector<std::pair<size_t, size_t>>& cuts) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  for (const auto& [from, to] : cuts) {
    out.append(text.substr(at, from - at));
    at = to;
  }
  out.append(text.substr(at));
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<Line> scanProfile(std::string_view text) {
  std::vector<Line> lines;
  int section = -1;
  size_t at = text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
  while (at < text.size()) {
    Line line;
    line.begin = at;
    const auto nl = text.find('\n', at);
    if (nl == std::string_view::npos) {
      line.contentEnd = line.end = text.size();
    } else {
      line.contentEnd = nl > at && text[nl - 1] == '\r' ? nl - 1 : nl;
      line.end = nl + 1;
    }
    at = line.end;

    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    size_t first = 0;
    while (first < content.size() && isBlank(content[first])) ++first;
    if (first == content.size() || content[first] == ';') {
      lines.push_back(line);
      continue;
    }
    if (content[first] == '[') {
      const size_t close = ansiFind(content, ']', first + 1);
      const size_t nameEnd = close == std::string_view::npos ? content.size() : close;
      line.kind = LineKind::Section;
      line.name = trim(content.substr(first + 1, nameEnd - first - 1));
      section = static_cast<int>(lines.size());
      lines.push_back(line);
      continue;
    }
    const size_t eq = ansiFind(content, '=', first);
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : trim(content.substr(0, eq));
    if (key.empty() || section < 0) {
      lines.push_back(line);
      continue;
    }
    size_t valueAt = eq + 1;
    while (valueAt < content.size() && isBlank(content[valueAt])) ++valueAt;
    line.kind = LineKind::Entry;
    line.name = key;
    line.valueBegin = line.begin + valueAt;
    line.value = trim(content.substr(valueAt));
    line.section = section;
    lines.push_back(line);
  }
  return lines;
}

std::string_view unquotedValue(std::string_view written) {
  const std::string_view v = trim(written);
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) return v.substr(1, v.size() - 2);
  return v;
}

std::vector<std::string> sectionNames(std::string_view text) {
  std::vector<std::string> names;
  for (const Line& line : scanProfile(text)) {
    if (line.kind != LineKind::Section || line.name.empty()) continue;
    bool seen = false;
    for (const std::string& name : names) seen = seen || ansiEqualNoCase(name, line.name);
    if (!seen) names.emplace_back(line.name);
  }
  return names;
}

std::vector<std::string> sectionKeys(std::string_view text, std::string_view section) {
  std::vector<std::string> keys;
  const auto lines = scanProfile(text);
  const int s = findSection(lines, section);
  if (s < 0) return keys;
  for (const Line& line : lines) {
    if (!isEntryOf(line, s)) continue;
    bool seen = false;
    for (const std::string& key : keys) seen = seen || ansiEqualNoCase(key, line.name);
    if (!seen) keys.emplace_back(line.name);
  }
  return keys;
}

std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key) {
  const auto lines = scanProfile(text);
  const int s = findSection(lines, section);
  if (s < 0) return std::nullopt;
  const std::string_view wanted = trim(key);
  for (const Line& line : lines) {
    if (isEntryOf(line, s) && ansiEqualNoCase(line.name, wanted)) return std::string(unquotedValue(line.value));
  }
  return std::nullopt;
}

std::optional<int> parseProfileInt(std::string_view value) {
  const std::string_view v = trim(value);
  size_t at = 0;
  bool negative = false;
  if (at < v.size() && (v[at] == '+' || v[at] == '-')) negative = v[at++] == '-';
  const bool hex = at + 2 < v.size() && v[at] == '0' && (v[at + 1] == 'x' || v[at + 1] == 'X') && hexDigit(v[at + 2]) >= 0;
  const int base = hex ? 16 : 10;
  if (hex) at += 2;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t magnitude = 0;
  size_t digits = 0;
  for (; at < v.size(); ++at, ++digits) {
    const int d = hexDigit(v[at]);
    if (d < 0 || d >= base) break;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (magnitude > limit) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  if (hex) {
    // Taken as a 32-bit pattern, then negated as such.
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    return static_cast<int>(static_cast<int32_t>(bits));
  }
  const int64_t signedValue = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return static_cast<int>(signedValue);
}

bool isWritableSection(std::string_view section) {
  const std::string_view s = trim(section);
  return !s.empty() && !hasLineBreak(s) && ansiFind(s, ']') == std::string_view::npos;
}

bool isWritableKey(std::string_view key) {
  const std::string_view k = trim(key);
  return !k.empty() && !hasLineBreak(k) && k.front() != ';' && k.front() != '[' &&
         ansiFind(k, '=') == std::string_view::npos;
}

bool isWritableValue(std::string_view value) { return !hasLineBreak(value); }

std::string setValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
  const auto lines = scanProfile(text);
  const std::string_view eol = lineEnding(text);
  const std::string entry = std::string(trim(key)) + "=" + encodeValue(value);
  const int s = findSection(lines, section);
  if (s < 0) {
    std::string out(text);
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + std::string(trim(section)) + "]";
    out += eol;
    out += entry;
    out += eol;
    return out;
  }
  const std::string_view wanted = trim(key);
  size_t last = static_cast<size_t>(s);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!isEntryOf(lines[i], s)) continue;
    if (ansiEqualNoCase(lines[i].name, wanted)) {
      std::string out(text.substr(0, lines[i].valueBegin));
      out += encodeValue(value);
      out += text.substr(lines[i].contentEnd);
      return out;
    }
    last = i;
  }
  const Line& after = lines[last];
  std::string out(text.substr(0, after.end));
  if (after.end == after.contentEnd) {
    // The section's last line ends the text without a line break.
    out += eol;
    out += entry;
  } else {
    out += entry;
    out += eol;
  }
  out += text.substr(after.end);
  return out;
}

std::string eraseKey(std::string_view text, std::string_view section, std::string_view key) {
  const auto lines = scanProfile(text);
  const int s = findSection(lines, section);
  if (s < 0) return std::string(text);
  const std::string_view wanted = trim(key);
  std::vector<std::pair<size_t, size_t>> cuts;
  for (const Line& line : lines) {
    if (isEntryOf(line, s) && ansiEqualNoCase(line.name, wanted)) cuts.emplace_back(line.begin, line.end);
  }
  return without(text, cuts);
}

std::string eraseSection(std::string_view text, std::string_view section) {
  const auto lines = scanProfile(text);
  const std::string_view wanted = trim(section);
  std::vector<std::pair<size_t, size_t>> cuts;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::Section || !ansiEqualNoCase(lines[i].name, wanted)) continue;
    size_t next = i + 1;
    while (next < lines.size() && lines[next].kind != LineKind::Section) ++next;
    cuts.emplace_back(lines[i].begin, next < lines.size() ? lines[next].begin : text.size());
    i = next - 1;
  }
  return without(text, cuts);
}

}  // namespace platform::profile
