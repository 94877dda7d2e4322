#pragma once
// Records the message boxes shown while it lives instead of showing them.

#include <vector>

#include "platform/system/MessageBox.h"

namespace fbtest {

class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  const std::vector<platform::MessageBoxRequest>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

 private:
  std::vector<platform::MessageBoxRequest> messages_;
  platform::MessagePresenter previous_;
};

}  // namespace fbtest
