#include "platform/system/MessageBox.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/system/CodePage.h"

namespace platform {

namespace {

std::mutex& presenterMutex() {
  static std::mutex m;
  return m;
}

MessagePresenter& currentPresenter() {
  static MessagePresenter p;
  return p;
}

int defaultAnswer(uint32_t type) {
  switch (type & 0x0F) {
    case 2: return 3;  // abort, retry, ignore: abort
    case 3:            // yes, no, cancel
    case MB_YESNO: return IDYES;
    case 5: return 4;  // retry, cancel: retry
    default: return IDOK;
  }
}

}  // namespace

MessagePresenter setMessagePresenter(MessagePresenter presenter) {
  std::lock_guard lock(presenterMutex());
  return std::exchange(currentPresenter(), std::move(presenter));
}

int presentOnStderr(const MessageBoxRequest& request) {
  const std::string caption = ansiToUtf8(request.caption);
  std::string text = ansiToUtf8(request.text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return defaultAnswer(request.type);
}

int MessageBoxA(const void* /*owner*/, const char* text, const char* caption, uint32_t type) {
  MessageBoxRequest request{text ? text : "", caption ? caption : "Error", type};
  MessagePresenter presenter;
  {
    std::lock_guard lock(presenterMutex());
    presenter = currentPresenter();
  }
  // Called outside the lock: a presenter may itself show a box.
  return presenter ? presenter(request) : presentOnStderr(request);
}

}  // namespace platform
