#include "viewxqp/ErrorBox.h"

#include <cstdio>

#include "platform/system/CodePage.h"
#include "platform/system/MessageBox.h"
#include "platform/system/SystemMessage.h"

namespace viewxqp {

void ShowSystemError(uint32_t code, const char* caption) {
  char text[1024];
  if (platform::FormatSystemMessage(code, text, sizeof text) == 0) {
    // A code the system has no text for still tells the user something.
    std::snprintf(text, sizeof text, "Error %u.", code);
  }
  platform::MessageBoxA(nullptr, text, caption, platform::MB_OK);
}

void ShowNotice(const char* utf8Text, const char* caption) {
  const std::string text = platform::utf8ToAnsi(utf8Text);
  platform::MessageBoxA(nullptr, text.c_str(), caption, platform::MB_OK);
}

}  // namespace viewxqp
