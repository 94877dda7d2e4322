#pragma once
// Helpers for tests that print into the private cupsd: test printers on
// its PDF queue, their jobs and their output.

#include <string>

#include "platform/spooler/SpoolerApi.h"

namespace fbtest {

// Points libcups at the sandbox (and the machine root at a fresh folder)
// once per process; false when the sandbox is not running.
bool usePrintingSandbox();
// Where the sandbox's test queues leave each job as job-<id>.pdf.
std::string cupsOutputFolder();

// The output file of a job once the queue has written it, or "" after a
// few seconds without it.
std::string waitForJobOutput(int jobId);
// pdfinfo's report on a file.
std::string pdfInfo(const std::string& path);
// One attribute of a job as IPP Get-Job-Attributes gives it, as text.
std::string jobAttribute(int jobId, const char* name);
// The newest job of a queue (by its CUPS name), or 0.
int lastJobOf(const std::string& queue);
// The job's state (ipp_jstate_t) once it stops changing from `from`.
int waitForJobStateOtherThan(int jobId, int from);

// A printer of its own for one test, on a queue of the sandbox that writes
// PDF files; deleted again with its queue.
class TestPrinter {
 public:
  explicit TestPrinter(const std::string& name);
  ~TestPrinter();
  TestPrinter(const TestPrinter&) = delete;
  TestPrinter& operator=(const TestPrinter&) = delete;
  bool ok() const { return handle_ != nullptr; }
  const std::string& name() const { return name_; }
  platform::HANDLE handle() const { return handle_; }

 private:
  std::string name_;
  platform::HANDLE handle_ = nullptr;
};

// The driver the test printers use, registered once.
extern const char* const kTestDriver;
bool registerTestDriver();

}  // namespace fbtest
