#include "tests/platform/spooler/SandboxPrinters.h"

#include <cups/cups.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/system/MachineRoot.h"
#include "tests/support/CupsSandbox.h"

namespace fbtest {

const char* const kTestDriver = "FB Test PDF Driver";

namespace {

std::string outputFolder;

}  // namespace

bool usePrintingSandbox() {
  static const bool ready = [] {
    std::string why;
    if (!useCupsSandbox(why)) return false;
    outputFolder = cupsSandboxValue("FB_CUPS_OUTPUT");
    if (outputFolder.empty()) return false;
    static char root[] = "/tmp/fb-spool-root.XXXXXX";
    if (mkdtemp(root) == nullptr) return false;
    setenv("FOLISTO_ROOT", root, 1);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(root, ec);
    });
    platform::ensureMachineRoot();
    return true;
  }();
  return ready;
}

std::string cupsOutputFolder() { return outputFolder; }

std::string waitForJobOutput(int jobId) {
  const std::string path = outputFolder + "/job-" + std::to_string(jobId) + ".pdf";
  for (int i = 0; i < 100; ++i) {
    if (std::filesystem::exists(path)) return path;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "";
}

std::string pdfInfo(const std::string& path) {
  std::string out;
  if (std::FILE* p = popen(("pdfinfo '" + path + "' 2>&1").c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
  }
  return out;
}

std::string jobAttribute(int jobId, const char* name) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/jobs/%d", jobId);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  std::string value;
  if (response != nullptr) {
    if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO)) {
      char buf[1024];
      ippAttributeString(a, buf, sizeof buf);
      value = buf;
    }
    ippDelete(response);
  }
  return value;
}

int lastJobOf(const std::string& queue) {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  int last = 0;
  for (int i = 0; i < count; ++i) last = std::max(last, jobs[i].id);
  cupsFreeJobs(count, jobs);
  return last;
}

int waitForJobStateOtherThan(int jobId, int from) {
  int state = from;
  for (int i = 0; i < 100 && state == from; ++i) {
    const std::string text = jobAttribute(jobId, "job-state");
    state = text == "pending" ? 3 : text == "pending-held" ? 4 : text == "processing" ? 5 : text == "processing-stopped" ? 6
          : text == "canceled" ? 7 : text == "aborted" ? 8 : text == "completed" ? 9 : 0;
    if (state == from) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return state;
}

bool registerTestDriver() {
  static const bool registered = [] {
    char folder[1024];
    uint32_t needed = 0;
    if (!platform::GetPrinterDriverDirectoryA(nullptr, "Windows NT x86", 1, reinterpret_cast<uint8_t*>(folder),
                                              sizeof folder, &needed))
      return false;
    const std::string dir = folder;
    for (const char* f : {"fbtest_drv.so", "fbtest_ui.so"}) std::ofstream(dir + "/" + f) << "driver";
    std::filesystem::copy_file(FB_TEST_PPD, dir + "/fbtest.ppd", std::filesystem::copy_options::overwrite_existing);
    platform::DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = const_cast<char*>(kTestDriver);
    info.pEnvironment = const_cast<char*>("Windows NT x86");
    info.pDriverPath = const_cast<char*>("fbtest_drv.so");
    info.pDataFile = const_cast<char*>("fbtest.ppd");
    info.pConfigFile = const_cast<char*>("fbtest_ui.so");
    return platform::AddPrinterDriverA(nullptr, 3, reinterpret_cast<const uint8_t*>(&info));
  }();
  return registered;
}

TestPrinter::TestPrinter(const std::string& name) : name_(name) {
  if (!usePrintingSandbox() || !registerTestDriver()) return;
  const std::string port = "pdffolder:" + outputFolder;
  platform::PRINTER_INFO_2A info{};
  info.pPrinterName = name_.data();
  info.pDriverName = const_cast<char*>(kTestDriver);
  info.pPortName = const_cast<char*>(port.c_str());
  handle_ = platform::AddPrinterA(nullptr, 2, reinterpret_cast<const uint8_t*>(&info));
}

TestPrinter::~TestPrinter() {
  if (handle_ == nullptr) return;
  platform::DeletePrinter(handle_);
  platform::ClosePrinter(handle_);
}

}  // namespace fbtest
