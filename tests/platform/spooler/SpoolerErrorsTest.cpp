#include "platform/spooler/SpoolerErrors.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

namespace {

using namespace platform::spooler;

TEST(SpoolerErrors, IppStatusesBecomeWindowsErrors) {
  const struct {
    ipp_status_t status;
    Subject subject;
    uint32_t error;
  } cases[] = {
      {IPP_STATUS_OK, Subject::Printer, 0},
      {IPP_STATUS_OK_CONFLICTING, Subject::Job, 0},
      {IPP_STATUS_ERROR_NOT_FOUND, Subject::Printer, platform::ERROR_INVALID_PRINTER_NAME},
      {IPP_STATUS_ERROR_NOT_FOUND, Subject::Job, platform::ERROR_INVALID_PARAMETER},
      {IPP_STATUS_ERROR_NOT_FOUND, Subject::Driver, platform::ERROR_UNKNOWN_PRINTER_DRIVER},
      {IPP_STATUS_ERROR_FORBIDDEN, Subject::Printer, platform::ERROR_ACCESS_DENIED},
      {IPP_STATUS_ERROR_NOT_AUTHORIZED, Subject::Job, platform::ERROR_ACCESS_DENIED},
      {IPP_STATUS_ERROR_ATTRIBUTES_NOT_SETTABLE, Subject::Job, platform::ERROR_NOT_SUPPORTED},
      {IPP_STATUS_ERROR_NOT_POSSIBLE, Subject::Job, platform::ERROR_INVALID_PRINTER_STATE},
      {IPP_STATUS_ERROR_URI_SCHEME, Subject::Printer, ERROR_UNKNOWN_PORT},
      {IPP_STATUS_ERROR_SERVICE_UNAVAILABLE, Subject::Printer, RPC_S_SERVER_UNAVAILABLE},
      {IPP_STATUS_ERROR_BUSY, Subject::Printer, platform::ERROR_BUSY},
      {IPP_STATUS_ERROR_BAD_REQUEST, Subject::Printer, platform::ERROR_INVALID_PARAMETER},
      {IPP_STATUS_ERROR_INTERNAL, Subject::Printer, platform::ERROR_INVALID_FUNCTION},
  };
  for (const auto& c : cases)
    EXPECT_EQ(winErrorFromIpp(c.status, c.subject), c.error) << ippErrorString(c.status);
}

}  // namespace
