#include "platform/spooler/QueueNames.h"

#include "platform/system/CodePage.h"

namespace platform::spooler {

namespace {

constexpr size_t kMaxQueueBytes = 127;

bool refusedByCups(unsigned char c) {
  return c <= ' ' || c == 127 || c == '/' || c == '\\' || c == '?' || c == '\'' || c == '"' || c == '#' ||
         c == '@';
}

}  // namespace

std::string queueNameFor(std::string_view displayName) {
  std::string name = ansiToUtf8(displayName);
  for (char& c : name)
    if (refusedByCups(static_cast<unsigned char>(c))) c = '_';
  if (name.size() > kMaxQueueBytes) {
    size_t cut = kMaxQueueBytes;
    // Back off over continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  if (name.empty()) name.push_back('_');
  return name;
}

std::string displayNameFor(const std::string& queue, const std::string& printerInfoUtf8) {
  if (!printerInfoUtf8.empty()) {
    const std::string shown = utf8ToAnsi(printerInfoUtf8);
    if (queueNameFor(shown) == queue) return shown;
  }
  return utf8ToAnsi(queue);
}

}  // namespace platform::spooler
