#pragma once
// xqptool printers and xqptool reprint.

#include "tools/xqptool/Arguments.h"

namespace tools {

// Every printer: name, driver and port, tab separated, one per line.
int listPrinters(const Arguments& args, const char* usage);
// Prints a page file on a printer at its recorded scale.
int reprint(const Arguments& args, const char* usage);

}  // namespace tools
