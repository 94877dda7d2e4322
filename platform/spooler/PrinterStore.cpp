#include "platform/spooler/PrinterStore.h"

#include <cstdlib>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/spooler/SpoolerErrors.h"
#include "platform/system/LastError.h"

namespace platform::spooler {

namespace {

const char* const kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

class Key {
 public:
  Key(const std::string& path, bool create) {
    status_ = create ? RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key_, nullptr)
                     : RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_);
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  bool ok() const { return status_ == ERROR_SUCCESS; }
  uint32_t status() const { return status_; }

  std::string get(const char* name) const {
    uint32_t size = 0;
    if (!ok() || RegQueryValueEx(key_, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
      return "";
    std::vector<uint8_t> data(size);
    if (RegQueryValueEx(key_, name, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) return "";
    return std::string(reinterpret_cast<const char*>(data.data()), size > 0 ? size - 1 : 0);
  }
  uint32_t getNumber(const char* name) const { return static_cast<uint32_t>(std::strtoul(get(name).c_str(), nullptr, 10)); }
  uint32_t set(const char* name, const std::string& value) {
    return RegSetValueEx(key_, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(value.c_str()),
                         static_cast<uint32_t>(value.size() + 1));
  }
  HKEY handle() const { return key_; }

 private:
  HKEY key_ = nullptr;
  uint32_t status_ = ERROR_INVALID_HANDLE;
};

// A printer name is one key: backslashes would make it a path.
std::string keyName(const std::string& displayName) {
  std::string name = displayName;
  for (char& c : name)
    if (c == '\\') c = '_';
  return name;
}

}  // namespace

std::string printerKeyPath(const std::string& displayName) {
  return std::string(kPrintersKey) + "\\" + keyName(displayName);
}

PrinterExtras readExtras(const std::string& displayName) {
  PrinterExtras extras;
  Key key(printerKeyPath(displayName), false);
  if (!key.ok()) return extras;
  extras.printProcessor = key.get("Print Processor");
  extras.datatype = key.get("Datatype");
  extras.comment = key.get("Description");
  extras.separatorFile = key.get("Separator File");
  extras.parameters = key.get("Parameters");
  extras.shareName = key.get("Share Name");
  extras.attributes = key.getNumber("Attributes");
  extras.priority = key.getNumber("Priority");
  extras.defaultPriority = key.getNumber("Default Priority");
  extras.averagePpm = key.getNumber("AveragePPM");
  return extras;
}

bool writeExtras(const std::string& displayName, const PrinterExtras& extras) {
  Key key(printerKeyPath(displayName), true);
  if (!key.ok()) return fail(key.status());
  const std::pair<const char*, std::string> values[] = {
      {"Print Processor", extras.printProcessor},
      {"Datatype", extras.datatype},
      {"Description", extras.comment},
      {"Separator File", extras.separatorFile},
      {"Parameters", extras.parameters},
      {"Share Name", extras.shareName},
      {"Attributes", std::to_string(extras.attributes)},
      {"Priority", std::to_string(extras.priority)},
      {"Default Priority", std::to_string(extras.defaultPriority)},
      {"AveragePPM", std::to_string(extras.averagePpm)},
  };
  for (const auto& [name, value] : values) {
    if (key.get(name) == value) continue;  // the store is rewritten on every change
    if (const uint32_t status = key.set(name, value); status != ERROR_SUCCESS) return fail(status);
  }
  return true;
}

void deleteExtras(const std::string& displayName) {
  const uint32_t saved = GetLastError();
  RegDeleteTree(HKEY_LOCAL_MACHINE, printerKeyPath(displayName).c_str());
  RegDeleteKey(HKEY_LOCAL_MACHINE, printerKeyPath(displayName).c_str());
  SetLastError(saved);
}

std::string uriForPort(const std::string& port) {
  Key key(kPortsKey, false);
  return key.ok() ? key.get(port.c_str()) : "";
}

std::string portForUri(const std::string& uri) {
  Key key(kPortsKey, false);
  if (!key.ok() || uri.empty()) return "";
  for (uint32_t i = 0;; ++i) {
    char name[512];
    uint32_t nameLength = sizeof name;
    uint32_t dataSize = 0;
    const uint32_t status = RegEnumValue(key.handle(), i, name, &nameLength, nullptr, nullptr, nullptr, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) return "";
    if (status != ERROR_SUCCESS) continue;
    if (key.get(name) == uri) return name;
  }
}

bool addPort(const std::string& port, const std::string& uri) {
  if (port.empty() || uri.find(':') == std::string::npos) return fail(ERROR_INVALID_PARAMETER);
  Key key(kPortsKey, true);
  if (!key.ok()) return fail(key.status());
  if (const uint32_t status = key.set(port.c_str(), uri); status != ERROR_SUCCESS) return fail(status);
  return true;
}

bool deletePort(const std::string& port) {
  Key key(kPortsKey, true);
  if (!key.ok()) return fail(key.status());
  if (const uint32_t status = RegDeleteValue(key.handle(), port.c_str()); status != ERROR_SUCCESS)
    return fail(status == ERROR_FILE_NOT_FOUND ? ERROR_UNKNOWN_PORT : status);
  return true;
}

}  // namespace platform::spooler
