#pragma once
// What a shared library exports, as its callers see it.

#include <set>
#include <string>

namespace fbtest {

// The defined global symbols of the library's dynamic symbol table (nm -D);
// empty when it cannot be read.
std::set<std::string> dynamicSymbols(const std::string& library);

}  // namespace fbtest
