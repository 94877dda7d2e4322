#pragma once
// The driver's description (the PPD of cups/Kavero.ppd), built in, for the
// setup step that puts it into the spooler's driver folder.

#include <string_view>

namespace prninst {

std::string_view kaveroPpdText();

}  // namespace prninst
