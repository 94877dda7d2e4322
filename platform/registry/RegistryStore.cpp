#include "platform/registry/RegistryStore.h"

#include "platform/profile/AnsiNames.h"
#include "platform/profile/AtomicFile.h"
#include "platform/system/ErrorCodes.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineRoot.h"

namespace platform::registry {

namespace {

constexpr std::string_view kHeader = "; folisto-brelvane registry 1";

bool mustEscape(uint8_t b) {
  return b < 0x20 || b == 0x7F || b == '%' || b == '=' || b == '[' || b == ']' || b == '\\' || b == ';';
}

void appendEscaped(std::string& out, std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (mustEscape(b)) {
      out += '%';
      out += digits[b >> 4];
      out += digits[b & 15];
    } else {
      out += c;
    }
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = hexDigit(text[i + 1]);
    const int lo = hexDigit(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

bool samePath(const KeyPath& a, const KeyPath& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!ansiEqualNoCase(a[i], b[i])) return false;
  }
  return true;
}

void formatKey(std::string& out, const Key& key, std::string& path) {
  out += '[';
  out += path;
  out += "]\n";
  for (const Value& v : key.values) {
    appendEscaped(out, v.name);
    out += '=';
    appendEscaped(out, v.data);
    out += '\n';
  }
  for (const Key& child : key.children) {
    const size_t length = path.size();
    if (!path.empty()) path += '\\';
    appendEscaped(path, child.name);
    formatKey(out, child, path);
    path.resize(length);
  }
}

// Keeps the thread's last error as it was across lookups, which succeed
// whatever the helpers they call report on the way.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : saved_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(saved_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  uint32_t saved_;
};

}  // namespace

Key* Key::child(std::string_view childName) {
  for (Key& k : children) {
    if (ansiEqualNoCase(k.name, childName)) return &k;
  }
  return nullptr;
}

const Key* Key::child(std::string_view childName) const { return const_cast<Key*>(this)->child(childName); }

Value* Key::value(std::string_view valueName) {
  for (Value& v : values) {
    if (ansiEqualNoCase(v.name, valueName)) return &v;
  }
  return nullptr;
}

const Value* Key::value(std::string_view valueName) const { return const_cast<Key*>(this)->value(valueName); }

std::optional<KeyPath> splitKeyPath(std::string_view path) {
  KeyPath names;
  size_t at = 0;
  while (at < path.size()) {
    const size_t slash = ansiFind(path, '\\', at);
    const size_t end = slash == std::string_view::npos ? path.size() : slash;
    if (end == at) return std::nullopt;  // an empty name
    names.emplace_back(path.substr(at, end - at));
    if (slash == std::string_view::npos) break;
    at = slash + 1;  // one trailing backslash ends the loop here
  }
  return names;
}

Key* findKey(Key& top, const KeyPath& path) {
  Key* key = &top;
  for (const std::string& name : path) {
    key = key->child(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

const Key* findKey(const Key& top, const KeyPath& path) { return findKey(const_cast<Key&>(top), path); }

std::optional<Key> parseStore(std::string_view text) {
  Key top;
  if (text.empty()) return top;
  if (text.back() != '\n') return std::nullopt;
  std::vector<KeyPath> declared;
  KeyPath current;
  bool inKey = false;
  bool first = true;
  size_t at = 0;
  while (at < text.size()) {
    const size_t nl = text.find('\n', at);
    std::string_view line = text.substr(at, nl - at);
    at = nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      if (line != kHeader) return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']') return std::nullopt;
      const std::string_view inner = line.substr(1, line.size() - 2);
      KeyPath path;
      // Backslashes inside names are always escaped, so a raw one is a
      // separator whatever the code page.
      size_t from = 0;
      while (!inner.empty()) {
        const size_t slash = inner.find('\\', from);
        const size_t end = slash == std::string_view::npos ? inner.size() : slash;
        auto name = unescape(inner.substr(from, end - from));
        if (!name || name->empty()) return std::nullopt;
        path.push_back(std::move(*name));
        if (slash == std::string_view::npos) break;
        from = slash + 1;
      }
      for (const KeyPath& seen : declared) {
        if (samePath(seen, path)) return std::nullopt;
      }
      Key* key = &top;
      for (const std::string& name : path) {
        Key* next = key->child(name);
        if (next == nullptr) {
          key->children.push_back(Key{name, {}, {}});
          next = &key->children.back();
        }
        key = next;
      }
      declared.push_back(path);
      current = std::move(path);
      inKey = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !inKey) return std::nullopt;
    auto name = unescape(line.substr(0, eq));
    auto data = unescape(line.substr(eq + 1));
    if (!name || !data) return std::nullopt;
    Key* key = findKey(top, current);
    if (key->value(*name) != nullptr) return std::nullopt;
    key->values.push_back(Value{std::move(*name), std::move(*data)});
  }
  return top;
}

std::string formatStore(const Key& top) {
  std::string out(kHeader);
  out += '\n';
  std::string path;
  if (!top.values.empty()) {
    formatKey(out, top, path);
  } else {
    for (const Key& child : top.children) {
      appendEscaped(path, child.name);
      formatKey(out, child, path);
      path.clear();
    }
  }
  return out;
}

std::string storePath() { return pathInMachineRoot("registry.ini"); }

std::string lockPath() { return pathInMachineRoot("registry.lock"); }

Key loadForLookup() {
  const LastErrorKeeper keep;
  const std::string file = storePath();
  if (file.empty()) return Key();
  // Without a lock file (a folder we cannot write) the file is read all the
  // same: it is only ever replaced whole, so it is never seen half written.
  const FileLock lock = FileLock::onFile(lockPath(), FileLock::Kind::Shared, true);
  std::string text;
  if (readWholeFile(file, text) != ReadStatus::Read) return Key();
  auto parsed = parseStore(text);
  return parsed ? std::move(*parsed) : Key();
}

uint32_t modifyStore(const std::function<EditResult(Key& top)>& edit) {
  const std::string root = machineRoot();
  if (root.empty()) return ERROR_PATH_NOT_FOUND;
  if (!createFolderPath(root)) return GetLastError();
  const FileLock lock = FileLock::onFile(lockPath(), FileLock::Kind::Exclusive, true);
  if (!lock) return GetLastError();
  Key top;
  std::string text;
  switch (readWholeFile(storePath(), text)) {
    case ReadStatus::Failed: return GetLastError();
    case ReadStatus::Missing: break;
    case ReadStatus::Read: {
      auto parsed = parseStore(text);
      if (!parsed) return ERROR_BADDB;
      top = std::move(*parsed);
      break;
    }
  }
  const EditResult result = edit(top);
  if (result.error != ERROR_SUCCESS || !result.changed) return result.error;
  if (!replaceFileAtomically(storePath(), formatStore(top))) return GetLastError();
  return ERROR_SUCCESS;
}

}  // namespace platform::registry
