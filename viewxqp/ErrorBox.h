#pragma once

#include <cstdint>

namespace viewxqp {

// The library's error box: the system's text for `code` under `caption`,
// with a single OK button and no owner window.
void ShowSystemError(uint32_t code, const char* caption);

}  // namespace viewxqp
