#include "platform/registry/Registry.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/profile/AnsiNames.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/LastError.h"

namespace platform {

namespace {

using registry::EditResult;
using registry::Key;
using registry::KeyPath;

struct OpenKey {
  KeyPath path;  // the names as stored, from HKEY_LOCAL_MACHINE down
  REGSAM access = 0;
};

// Handles are numbers, never addresses: a stale or made-up one is found
// missing in the table instead of being followed.
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, OpenKey> open;
  uintptr_t next = 0x1000;
};

HandleTable& handles() {
  static HandleTable* table = new HandleTable;  // outlives every static destructor that may close keys
  return *table;
}

std::optional<OpenKey> lookup(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return OpenKey{{}, KEY_ALL_ACCESS};
  HandleTable& table = handles();
  const std::lock_guard<std::mutex> guard(table.mutex);
  const auto it = table.open.find(reinterpret_cast<uintptr_t>(key));
  if (it == table.open.end()) return std::nullopt;
  return it->second;
}

HKEY newHandle(OpenKey key) {
  HandleTable& table = handles();
  const std::lock_guard<std::mutex> guard(table.mutex);
  uintptr_t id = 0;
  do {
    id = table.next;
    table.next = table.next >= 0x7FFFFFF0u ? 0x1000 : table.next + 4;
  } while (table.open.count(id) != 0);
  table.open.emplace(id, std::move(key));
  return reinterpret_cast<HKEY>(id);
}

LSTATUS result(LSTATUS code) {
  if (code != ERROR_SUCCESS) SetLastError(code);
  return code;
}

KeyPath joined(const KeyPath& base, const KeyPath& sub) {
  KeyPath path = base;
  path.insert(path.end(), sub.begin(), sub.end());
  return path;
}

// The names of `path` as the tree spells them; nullopt when it is missing.
std::optional<KeyPath> storedNames(const Key& top, const KeyPath& path) {
  KeyPath names;
  const Key* key = &top;
  for (const std::string& name : path) {
    key = key->child(name);
    if (key == nullptr) return std::nullopt;
    names.push_back(key->name);
  }
  return names;
}

uint32_t sizeWithZero(const std::string& s) {
  // The store file is capped far below 4 GB, so this never saturates in
  // practice; it must not wrap if it did.
  return s.size() >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(s.size() + 1);
}

void copyWithZero(const std::string& s, void* to) {
  std::memcpy(to, s.data(), s.size());
  static_cast<char*>(to)[s.size()] = '\0';
}

}  // namespace

LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, uint32_t /*options*/, REGSAM access, HKEY* out) {
  if (out == nullptr) return result(ERROR_INVALID_PARAMETER);
  *out = nullptr;
  const auto parent = lookup(key);
  if (!parent) return result(ERROR_INVALID_HANDLE);
  const auto sub = registry::splitKeyPath(subKey ? subKey : "");
  if (!sub) return result(ERROR_INVALID_PARAMETER);
  const Key top = registry::loadForLookup();
  if (!registry::findKey(top, parent->path)) return result(ERROR_KEY_DELETED);
  auto names = storedNames(top, joined(parent->path, *sub));
  if (!names) return result(ERROR_FILE_NOT_FOUND);
  *out = newHandle(OpenKey{std::move(*names), access});
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, uint32_t /*reserved*/, char* /*keyClass*/, uint32_t /*options*/,
                       REGSAM access, const void* /*securityAttributes*/, HKEY* out, uint32_t* disposition) {
  if (out == nullptr || subKey == nullptr) return result(ERROR_INVALID_PARAMETER);
  *out = nullptr;
  const auto parent = lookup(key);
  if (!parent) return result(ERROR_INVALID_HANDLE);
  const auto sub = registry::splitKeyPath(subKey);
  if (!sub) return result(ERROR_INVALID_PARAMETER);
  const KeyPath wanted = joined(parent->path, *sub);

  // Opening an existing key writes nothing, so it works on a store that
  // cannot be written.
  {
    const Key top = registry::loadForLookup();
    if (!registry::findKey(top, parent->path)) return result(ERROR_KEY_DELETED);
    if (auto names = storedNames(top, wanted)) {
      if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
      *out = newHandle(OpenKey{std::move(*names), access});
      return ERROR_SUCCESS;
    }
  }
  if ((parent->access & KEY_CREATE_SUB_KEY) == 0) return result(ERROR_ACCESS_DENIED);

  KeyPath names;
  bool created = false;
  const uint32_t error = registry::modifyStore([&](Key& top) -> EditResult {
    Key* at = registry::findKey(top, parent->path);
    if (at == nullptr) return {ERROR_KEY_DELETED, false};
    names = parent->path;
    for (const std::string& name : *sub) {
      Key* next = at->child(name);
      if (next == nullptr) {
        at->children.push_back(Key{name, {}, {}});
        next = &at->children.back();
        created = true;
      }
      names.push_back(next->name);
      at = next;
    }
    return {ERROR_SUCCESS, created};
  });
  if (error != ERROR_SUCCESS) return result(error);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *out = newHandle(OpenKey{std::move(names), access});
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  HandleTable& table = handles();
  const std::lock_guard<std::mutex> guard(table.mutex);
  if (table.open.erase(reinterpret_cast<uintptr_t>(key)) == 0) return result(ERROR_INVALID_HANDLE);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueEx(HKEY key, const char* valueName, uint32_t* /*reserved*/, uint32_t* type, uint8_t* data,
                        uint32_t* dataSize) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if ((open->access & KEY_QUERY_VALUE) == 0) return result(ERROR_ACCESS_DENIED);
  if (data != nullptr && dataSize == nullptr) return result(ERROR_INVALID_PARAMETER);
  const Key top = registry::loadForLookup();
  const Key* at = registry::findKey(top, open->path);
  if (at == nullptr) return result(ERROR_KEY_DELETED);
  const registry::Value* value = at->value(valueName ? valueName : "");
  if (value == nullptr) return result(ERROR_FILE_NOT_FOUND);
  const uint32_t needed = sizeWithZero(value->data);
  if (type) *type = REG_SZ;
  if (data == nullptr) {
    if (dataSize) *dataSize = needed;
    return ERROR_SUCCESS;
  }
  if (*dataSize < needed) {
    *dataSize = needed;
    return result(ERROR_MORE_DATA);
  }
  copyWithZero(value->data, data);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueEx(HKEY key, const char* valueName, uint32_t /*reserved*/, uint32_t type, const uint8_t* data,
                      uint32_t dataSize) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if ((open->access & KEY_SET_VALUE) == 0) return result(ERROR_ACCESS_DENIED);
  if (type != REG_SZ) return result(ERROR_NOT_SUPPORTED);
  if (data == nullptr && dataSize != 0) return result(ERROR_INVALID_PARAMETER);
  std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  const std::string name = valueName ? valueName : "";
  return result(registry::modifyStore([&](Key& top) -> EditResult {
    Key* at = registry::findKey(top, open->path);
    if (at == nullptr) return {ERROR_KEY_DELETED, false};
    if (registry::Value* value = at->value(name)) {
      if (value->data == bytes) return {ERROR_SUCCESS, false};
      value->data = bytes;
    } else {
      at->values.push_back(registry::Value{name, bytes});
    }
    return {ERROR_SUCCESS, true};
  }));
}

LSTATUS RegDeleteValue(HKEY key, const char* valueName) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if ((open->access & KEY_SET_VALUE) == 0) return result(ERROR_ACCESS_DENIED);
  const std::string name = valueName ? valueName : "";
  return result(registry::modifyStore([&](Key& top) -> EditResult {
    Key* at = registry::findKey(top, open->path);
    if (at == nullptr) return {ERROR_KEY_DELETED, false};
    const auto it = std::find_if(at->values.begin(), at->values.end(),
                                 [&](const registry::Value& v) { return ansiEqualNoCase(v.name, name); });
    if (it == at->values.end()) return {ERROR_FILE_NOT_FOUND, false};
    at->values.erase(it);
    return {ERROR_SUCCESS, true};
  }));
}

namespace {

// Removes the key at `path` (not the top) from its parent, when `allowed`
// says so of it.
template <typename Check>
EditResult removeKey(Key& top, const KeyPath& path, Check allowed) {
  KeyPath parentPath(path.begin(), path.end() - 1);
  Key* parent = registry::findKey(top, parentPath);
  if (parent == nullptr) return {ERROR_FILE_NOT_FOUND, false};
  const auto it = std::find_if(parent->children.begin(), parent->children.end(),
                               [&](const Key& k) { return ansiEqualNoCase(k.name, path.back()); });
  if (it == parent->children.end()) return {ERROR_FILE_NOT_FOUND, false};
  if (const uint32_t refused = allowed(*it); refused != ERROR_SUCCESS) return {refused, false};
  parent->children.erase(it);
  return {ERROR_SUCCESS, true};
}

}  // namespace

LSTATUS RegDeleteKey(HKEY key, const char* subKey) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if (subKey == nullptr) return result(ERROR_INVALID_PARAMETER);
  const auto sub = registry::splitKeyPath(subKey);
  if (!sub) return result(ERROR_INVALID_PARAMETER);
  const KeyPath target = joined(open->path, *sub);
  if (target.empty()) return result(ERROR_ACCESS_DENIED);
  return result(registry::modifyStore([&](Key& top) -> EditResult {
    if (!registry::findKey(top, open->path)) return {ERROR_KEY_DELETED, false};
    return removeKey(top, target, [](const Key& k) { return k.children.empty() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED; });
  }));
}

LSTATUS RegDeleteTree(HKEY key, const char* subKey) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  const auto sub = registry::splitKeyPath(subKey ? subKey : "");
  if (!sub) return result(ERROR_INVALID_PARAMETER);
  return result(registry::modifyStore([&](Key& top) -> EditResult {
    Key* at = registry::findKey(top, open->path);
    if (at == nullptr) return {ERROR_KEY_DELETED, false};
    if (sub->empty()) {
      const bool changed = !at->children.empty() || !at->values.empty();
      at->children.clear();
      at->values.clear();
      return {ERROR_SUCCESS, changed};
    }
    return removeKey(top, joined(open->path, *sub), [](const Key&) { return ERROR_SUCCESS; });
  }));
}

LSTATUS RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* /*reserved*/,
                     char* keyClass, uint32_t* classLength, void* /*lastWriteTime*/) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if ((open->access & KEY_ENUMERATE_SUB_KEYS) == 0) return result(ERROR_ACCESS_DENIED);
  if (name == nullptr || nameLength == nullptr) return result(ERROR_INVALID_PARAMETER);
  const Key top = registry::loadForLookup();
  const Key* at = registry::findKey(top, open->path);
  if (at == nullptr) return result(ERROR_KEY_DELETED);
  if (index >= at->children.size()) return result(ERROR_NO_MORE_ITEMS);
  std::vector<const std::string*> names;
  names.reserve(at->children.size());
  for (const Key& child : at->children) names.push_back(&child.name);
  std::sort(names.begin(), names.end(),
            [](const std::string* a, const std::string* b) { return ansiCompareNoCase(*a, *b) < 0; });
  const std::string& found = *names[index];
  const uint32_t needed = sizeWithZero(found);
  if (*nameLength < needed) {
    *nameLength = needed;
    return result(ERROR_MORE_DATA);
  }
  copyWithZero(found, name);
  *nameLength = needed - 1;
  if (classLength) {
    if (keyClass && *classLength > 0) keyClass[0] = '\0';
    *classLength = 0;
  }
  return ERROR_SUCCESS;
}

LSTATUS RegEnumValue(HKEY key, uint32_t index, char* valueName, uint32_t* valueNameLength, uint32_t* /*reserved*/,
                     uint32_t* type, uint8_t* data, uint32_t* dataSize) {
  const auto open = lookup(key);
  if (!open) return result(ERROR_INVALID_HANDLE);
  if ((open->access & KEY_QUERY_VALUE) == 0) return result(ERROR_ACCESS_DENIED);
  if (valueName == nullptr || valueNameLength == nullptr || (data != nullptr && dataSize == nullptr))
    return result(ERROR_INVALID_PARAMETER);
  const Key top = registry::loadForLookup();
  const Key* at = registry::findKey(top, open->path);
  if (at == nullptr) return result(ERROR_KEY_DELETED);
  if (index >= at->values.size()) return result(ERROR_NO_MORE_ITEMS);
  const registry::Value& value = at->values[index];
  const uint32_t nameNeeded = sizeWithZero(value.name);
  const uint32_t dataNeeded = sizeWithZero(value.data);
  if (*valueNameLength < nameNeeded || (data != nullptr && *dataSize < dataNeeded)) {
    *valueNameLength = nameNeeded;
    if (dataSize) *dataSize = dataNeeded;
    return result(ERROR_MORE_DATA);
  }
  copyWithZero(value.name, valueName);
  *valueNameLength = nameNeeded - 1;
  if (type) *type = REG_SZ;
  if (data) copyWithZero(value.data, data);
  if (dataSize) *dataSize = dataNeeded;
  return ERROR_SUCCESS;
}

}  // namespace platform
