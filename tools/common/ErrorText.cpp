#include "tools/common/ErrorText.h"

#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"
#include "platform/system/SystemMessage.h"

namespace tools {

std::string lastErrorText() {
  const uint32_t code = platform::GetLastError();
  std::string text = platform::systemMessageText(code);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : platform::ansiToUtf8(text);
}

}  // namespace tools
