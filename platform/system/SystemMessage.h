#pragma once
// The system's text for an error number, as FormatMessage with
// FORMAT_MESSAGE_FROM_SYSTEM gives it in the default (English) language.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The text of `code`, ending in "\r\n" as the system's texts do, or an empty
// string when the system has no text for it.
std::string systemMessageText(uint32_t code);

// FormatMessageA-like: writes the text of `code` and a terminating zero into
// `buffer` (of `size` characters) and returns the number of characters
// written without the zero. Returns 0 and sets the last error to
// ERROR_MR_MID_NOT_FOUND for a code without text, or to
// ERROR_INSUFFICIENT_BUFFER when the text does not fit.
uint32_t FormatSystemMessage(uint32_t code, char* buffer, size_t size);

}  // namespace platform
