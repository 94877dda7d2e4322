#pragma once
// The machine's registry as it is kept: a tree of keys in memory, and the
// one file <machine root>/registry.ini that holds it.
//
// The file is UTF-8-safe line-based text (LF line endings; a CR before the
// LF is tolerated):
//
//   ; folisto-brelvane registry 1
//   [SOFTWARE]
//   [SOFTWARE\Corvexa]
//   [SOFTWARE\Corvexa\Folisto Brelvane]
//   Install Folder=/opt/folisto
//   =the key's default value
//
//  - The first line is exactly the header above; it names the format.
//  - `[path]` starts a key: its names from the top joined by '\'. `[]` is
//    HKEY_LOCAL_MACHINE itself. A key's parents need no line of their own
//    (they are implied) but are always written.
//  - `name=data` is a REG_SZ value of the key above it; an empty name is the
//    key's default value. The data is stored without its terminating zero.
//  - Blank lines and lines starting with ';' are ignored.
//  - In names and data, the bytes 00-1F, 7F and % = [ ] \ ; are written as
//    %XX (two upper-case hex digits; either case reads). Every other byte,
//    including every byte from 80 up, is written as it is, so the active code
//    page's bytes are kept exactly and UTF-8 stays readable.
//  - Keys and values are written in creation order; parents before children.
// The file is damaged, and does not parse, when: the header is missing or
// names another format; a line is neither of the above; a %XX is malformed;
// a key path has an empty name; a value comes before any key; a key or a
// value name appears twice in its place (without regard to ASCII case); or
// the last line has no line ending (a cut-off file). An empty file is an
// empty registry.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

struct Value {
  std::string name;
  std::string data;
};

struct Key {
  std::string name;
  std::vector<Value> values;  // in creation order
  std::vector<Key> children;  // in creation order

  // Lookups without regard to ASCII case (AnsiNames.h).
  Key* child(std::string_view childName);
  const Key* child(std::string_view childName) const;
  Value* value(std::string_view valueName);
  const Value* value(std::string_view valueName) const;
};

using KeyPath = std::vector<std::string>;

// Splits a path such as "SOFTWARE\\Corvexa" at its backslashes (stepping
// over double-byte characters whose second byte is one). One trailing
// backslash is allowed; nullopt for an empty name anywhere else. An empty
// path is the key itself (no names).
std::optional<KeyPath> splitKeyPath(std::string_view path);

Key* findKey(Key& top, const KeyPath& path);
const Key* findKey(const Key& top, const KeyPath& path);

std::optional<Key> parseStore(std::string_view text);  // nullopt: damaged
std::string formatStore(const Key& top);

std::string storePath();  // machineRoot() + "/registry.ini"
std::string lockPath();   // machineRoot() + "/registry.lock"

// The stored tree, read under a shared lock. A missing, unreadable or
// damaged file gives an empty tree: lookups then find nothing.
Key loadForLookup();

// What an edit of the tree reports back.
struct EditResult {
  uint32_t error = 0;    // ERROR_SUCCESS, or why the edit was refused
  bool changed = false;  // whether the tree must be written
};

// Read-modify-write under the exclusive lock: re-reads the file, applies
// `edit`, and writes the result atomically when it changed. Creates the
// machine root when it is missing. Returns the edit's error, or
// ERROR_BADDB when the file exists but is damaged, or the error of reading
// or writing the file (ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ...). The file
// is never rewritten unless it was read and parsed.
uint32_t modifyStore(const std::function<EditResult(Key& top)>& edit);

}  // namespace platform::registry
