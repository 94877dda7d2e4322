// Jobs on the private cupsd: their facts, holding and releasing them, and
// what of them can change.

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/DcApi.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/LastError.h"
#include "tests/platform/spooler/SandboxPrinters.h"

namespace {

using namespace platform;

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fbtest::usePrintingSandbox()) GTEST_SKIP() << "the private cupsd is not running";
  }
};

std::vector<uint8_t> jobInfo(HANDLE printer, uint32_t job) {
  uint32_t needed = 0;
  EXPECT_FALSE(GetJobA(printer, job, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  std::vector<uint8_t> buffer(needed);
  EXPECT_TRUE(GetJobA(printer, job, 2, buffer.data(), needed, &needed)) << GetLastError();
  return buffer;
}

const JOB_INFO_2A* info2(const std::vector<uint8_t>& buffer) {
  return reinterpret_cast<const JOB_INFO_2A*>(buffer.data());
}

TEST_F(Jobs, AHeldJobWaitsUntilItIsReleased) {
  fbtest::TestPrinter printer("Spool Job Hold");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  HDC hdc = CreateDCA(nullptr, "Spool Job Hold", nullptr, nullptr);
  ASSERT_NE(hdc, nullptr);
  DOCINFOA doc{sizeof(DOCINFOA), "held report", nullptr, nullptr, 0};
  const int job = StartDocA(hdc, &doc);
  ASSERT_GT(job, 0);

  auto facts = jobInfo(printer.handle(), job);
  EXPECT_EQ(info2(facts)->JobId, static_cast<uint32_t>(job));
  EXPECT_STREQ(info2(facts)->pDocument, "held report");
  EXPECT_STREQ(info2(facts)->pPrinterName, "Spool Job Hold");
  EXPECT_STREQ(info2(facts)->pUserName, cupsUser());
  EXPECT_NE(info2(facts)->Status & JOB_STATUS_SPOOLING, 0u);

  ASSERT_TRUE(SetJobA(printer.handle(), job, 0, nullptr, JOB_CONTROL_PAUSE)) << GetLastError();
  ASSERT_GT(StartPage(hdc), 0);
  Rectangle(hdc, 10, 10, 200, 200);
  ASSERT_GT(EndPage(hdc), 0);
  ASSERT_GT(EndDoc(hdc), 0);
  DeleteDC(hdc);

  EXPECT_EQ(fbtest::waitForJobStateOtherThan(job, 3), 4);  // pending-held
  facts = jobInfo(printer.handle(), job);
  EXPECT_NE(info2(facts)->Status & JOB_STATUS_PAUSED, 0u);
  EXPECT_GE(info2(facts)->Position, 1u);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-state"), "pending-held");

  ASSERT_TRUE(SetJobA(printer.handle(), job, 0, nullptr, JOB_CONTROL_RESUME)) << GetLastError();
  EXPECT_FALSE(fbtest::waitForJobOutput(job).empty());
  facts = jobInfo(printer.handle(), job);
  EXPECT_NE(info2(facts)->Status & JOB_STATUS_PRINTED, 0u);
  // A finished job can no longer be held.
  EXPECT_FALSE(SetJobA(printer.handle(), job, 0, nullptr, JOB_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PRINTER_STATE);
}

TEST_F(Jobs, TheOwnerIsFixedButTheNameCanChange) {
  fbtest::TestPrinter printer("Spool Job Owner");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, "Spool_Job_Owner", "first name", 0, nullptr);
  ASSERT_GT(job, 0);

  auto facts = jobInfo(printer.handle(), job);
  auto* info = reinterpret_cast<JOB_INFO_2A*>(facts.data());
  info->pDocument = const_cast<char*>("second name");
  info->Position = JOB_POSITION_UNSPECIFIED;
  EXPECT_TRUE(SetJobA(printer.handle(), job, 2, facts.data(), 0)) << GetLastError();
  EXPECT_EQ(fbtest::jobAttribute(job, "job-name"), "second name");

  facts = jobInfo(printer.handle(), job);
  info = reinterpret_cast<JOB_INFO_2A*>(facts.data());
  info->pUserName = const_cast<char*>("somebody-else");
  EXPECT_FALSE(SetJobA(printer.handle(), job, 2, facts.data(), 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_EQ(fbtest::jobAttribute(job, "job-originating-user-name"), cupsUser());

  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Spool_Job_Owner", job, 0);
}

TEST_F(Jobs, UnknownJobsAndJobsOfOtherPrintersAreInvalid) {
  fbtest::TestPrinter printer("Spool Job Other");
  ASSERT_TRUE(printer.ok()) << GetLastError();
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, "FB_Test_PDF", "elsewhere", 0, nullptr);
  ASSERT_GT(job, 0);
  uint32_t needed = 0;
  EXPECT_FALSE(GetJobA(printer.handle(), job, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(GetJobA(printer.handle(), 999999, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetJobA(printer.handle(), job, 0, nullptr, JOB_CONTROL_PAUSE));
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "FB_Test_PDF", job, 0);
}

}  // namespace
