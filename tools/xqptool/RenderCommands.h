#pragma once
// xqptool render and xqptool export.

#include "tools/xqptool/Arguments.h"

namespace tools {

int render(const Arguments& args, const char* usage);
int exportFile(const Arguments& args, const char* usage);

}  // namespace tools
