#pragma once

#include <cstdint>

namespace viewxqp {

// The library's error box: the system's text for `code` under `caption`,
// with a single OK button and no owner window.
void ShowSystemError(uint32_t code, const char* caption);

// A fixed notice (UTF-8 in the source, shown in the active code page) under
// `caption`, by default the library's own name, with an OK button.
void ShowNotice(const char* utf8Text, const char* caption = "ViewXQP");

}  // namespace viewxqp
