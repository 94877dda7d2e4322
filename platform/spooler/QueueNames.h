#pragma once
// Printer names as users see them (any text, blanks included) and the CUPS
// queue names behind them, which may not hold blanks, '/', '#' and a few
// more. The queue keeps the name users see in its printer-info, so the
// mapping goes both ways.

#include <string>
#include <string_view>

namespace platform::spooler {

// The queue name for a printer name in the active code page: every byte
// CUPS refuses becomes '_', and the name is cut to CUPS's 127 bytes at a
// character boundary. "Folisto Brelvane" -> "Folisto_Brelvane".
std::string queueNameFor(std::string_view displayName);

// The name users see for `queue`, in the active code page: the queue's
// printer-info (UTF-8) when that maps to this queue, else the queue name.
std::string displayNameFor(const std::string& queue, const std::string& printerInfoUtf8);

}  // namespace platform::spooler
