#pragma once
// The boundary of every export: an exception never leaves the library; it
// becomes the export's neutral result.

#include <new>

#include "platform/system/LastError.h"

namespace viewxqp {

template <typename Result, typename Body>
Result guarded(Result neutral, Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    platform::SetLastError(platform::ERROR_INVALID_FUNCTION);
  }
  return neutral;
}

}  // namespace viewxqp
