#include "tests/support/MessageRecorder.h"

#include <utility>

namespace fbtest {

MessageRecorder::MessageRecorder()
    : previous_(platform::setMessagePresenter([this](const platform::MessageBoxRequest& request) {
        messages_.push_back(request);
        // The answer a user pressing Enter gives: the default button.
        return (request.type & 0x0F) == platform::MB_YESNO ? platform::IDYES : platform::IDOK;
      })) {}

MessageRecorder::~MessageRecorder() { platform::setMessagePresenter(std::move(previous_)); }

}  // namespace fbtest
