// The shared library as its callers load it: exactly the exports in its
// dynamic symbol table, each callable through dlsym.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/support/DynamicSymbols.h"
#include "tests/support/EmfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/SpoolWriter.h"
#include "tests/support/TempDir.h"

namespace {

const std::set<std::string> kExports = {
    "GetXQPFilePageNo", "GetXQPEMFHandle", "GetXQPDocName", "GetPaperSize", "GetOrientation", "BuildXQPFile",
    "ViewXQP", "NewViewXQP", "ViewFullXQPImage", "GetISFullPrint", "GetXQPPixels", "GetXQPImageWidth",
    "GetXQPImageHeight", "ConvertXQPToBMP", "ConvertXQPToEMF", "ConvertXQPToTxt",
    "SetNewDC", "SetOldDC", "GetDCWidth", "GetDCHeight", "SetPrinterInfo", "RePrintEMF", "SetPrintJOBInfo",
    "SetPrintJobPause", "SetPrintJobResume", "GetCurrentUserName",
};

TEST(ExportsTest, LibraryExportsExactlyItsInterface) {
  EXPECT_EQ(fbtest::dynamicSymbols(VIEWXQP_LIBRARY_PATH), kExports);
}

TEST(ExportsTest, ExportsWorkThroughTheLoadedLibrary) {
  void* library = dlopen(VIEWXQP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const auto& name : kExports) EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;

  using Build = int32_t (*)(const char*, const char*, int32_t, int32_t);
  using Count = int32_t (*)(const char*);
  auto build = reinterpret_cast<Build>(dlsym(library, "BuildXQPFile"));
  auto count = reinterpret_cast<Count>(dlsym(library, "GetXQPFilePageNo"));
  auto paper = reinterpret_cast<Count>(dlsym(library, "GetPaperSize"));
  ASSERT_TRUE(build && count && paper);

  fbtest::TempDir dir;
  fbtest::MessageRecorder messages;
  fbtest::SpoolWriter spool;
  spool.page(fbtest::makeEmf(300)).page(fbtest::makeEmf(400));
  fbtest::writeFile(dir.file("job.SPL"), spool.bytes());
  EXPECT_EQ(build(dir.file("job.SPL").c_str(), "doc", 1, 9), 1);
  EXPECT_EQ(count(dir.file("job.qzm").c_str()), 2);
  EXPECT_EQ(paper(dir.file("job.qzm").c_str()), 9);
  // The library's boxes reach the presenter of the process.
  EXPECT_EQ(build(dir.file("missing.SPL").c_str(), "doc", 1, 9), 0);
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].caption, "OPENFILE-ERROR");
  dlclose(library);
}

}  // namespace
