// The shared library as its callers load it: exactly the three exports in
// its dynamic symbol table, each callable through dlsym.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "tests/support/DynamicSymbols.h"

namespace {

const std::set<std::string> kExports = {"AddNewPrinter", "AddNewPrinterDriver", "DeleteALLPrinter"};

TEST(PrninstExportsTest, LibraryExportsExactlyItsInterface) {
  EXPECT_EQ(fbtest::dynamicSymbols(PRNINST_LIBRARY_PATH), kExports);
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
