#pragma once

#include <string>

namespace tools {

// The system's text for the thread's last error, without its line break,
// in UTF-8 for the terminal.
std::string lastErrorText();

}  // namespace tools
