// The shared library as its callers load it: exactly the three exports in
// its dynamic symbol table, each callable through dlsym.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

const std::set<std::string> kExports = {"AddNewPrinter", "AddNewPrinterDriver", "DeleteALLPrinter"};

// The defined global symbols of the library's dynamic symbol table.
std::set<std::string> dynamicSymbols(const std::string& library) {
  std::set<std::string> symbols;
  const std::string command = "nm -D --defined-only --extern-only '" + library + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) != 3) continue;
    symbols.insert(name);
  }
  pclose(pipe);
  return symbols;
}

TEST(PrninstExportsTest, LibraryExportsExactlyItsInterface) {
  EXPECT_EQ(dynamicSymbols(PRNINST_LIBRARY_PATH), kExports);
}

TEST(PrninstExportsTest, ExportsResolveAndRefuseNoName) {
  void* library = dlopen(PRNINST_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const auto& name : kExports) EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  using Add = int32_t (*)(const char*, const char*, const char*);
  auto add = reinterpret_cast<Add>(dlsym(library, "AddNewPrinter"));
  ASSERT_NE(add, nullptr);
  // No spooler is asked for a printer without a name.
  EXPECT_EQ(add(nullptr, "Kavero Port", "Folisto_Brelvane Driver"), 0);
  dlclose(library);
}

}  // namespace
