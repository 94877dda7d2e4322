#include "platform/spooler/SpoolerErrors.h"

#include <cups/cups.h>

#include "platform/system/LastError.h"

namespace platform::spooler {

uint32_t winErrorFromIpp(int ippStatus, Subject subject) {
  const auto status = static_cast<ipp_status_t>(ippStatus);
  if (status < IPP_STATUS_REDIRECTION_OTHER_SITE) return ERROR_SUCCESS;
  switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
    case IPP_STATUS_ERROR_GONE:
      switch (subject) {
        case Subject::Printer: return ERROR_INVALID_PRINTER_NAME;
        case Subject::Job: return ERROR_INVALID_PARAMETER;
        case Subject::Driver: return ERROR_UNKNOWN_PRINTER_DRIVER;
      }
      return ERROR_INVALID_PARAMETER;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
    case IPP_STATUS_ERROR_CUPS_PKI:
    case IPP_STATUS_ERROR_CUPS_UPGRADE_REQUIRED:
      return ERROR_ACCESS_DENIED;
    // CUPS keeps some job facts (the owner among them) fixed; no right
    // would change that, so it is "not supported" rather than "denied".
    case IPP_STATUS_ERROR_ATTRIBUTES_NOT_SETTABLE:
    case IPP_STATUS_ERROR_OPERATION_NOT_SUPPORTED:
    case IPP_STATUS_ERROR_VERSION_NOT_SUPPORTED:
    case IPP_STATUS_ERROR_MULTIPLE_JOBS_NOT_SUPPORTED:
    case IPP_STATUS_ERROR_DOCUMENT_FORMAT_NOT_SUPPORTED:
      return ERROR_NOT_SUPPORTED;
    // A device URI whose scheme has no backend: the port does not exist.
    case IPP_STATUS_ERROR_URI_SCHEME:
      return ERROR_UNKNOWN_PORT;
    case IPP_STATUS_ERROR_NOT_POSSIBLE:
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
    case IPP_STATUS_ERROR_PRINTER_IS_DEACTIVATED:
    case IPP_STATUS_ERROR_JOB_CANCELED:
      return ERROR_INVALID_PRINTER_STATE;
    case IPP_STATUS_ERROR_BUSY:
    case IPP_STATUS_ERROR_TOO_MANY_JOBS:
    case IPP_STATUS_ERROR_TOO_MANY_DOCUMENTS:
    case IPP_STATUS_ERROR_TEMPORARY:
      return ERROR_BUSY;
    case IPP_STATUS_ERROR_TIMEOUT:
      return ERROR_TIMEOUT;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
      return RPC_S_SERVER_UNAVAILABLE;
    case IPP_STATUS_ERROR_DEVICE:
      return ERROR_IO_DEVICE;
    case IPP_STATUS_ERROR_REQUEST_ENTITY:
    case IPP_STATUS_ERROR_REQUEST_VALUE:
    case IPP_STATUS_ERROR_BAD_REQUEST:
    case IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES:
    case IPP_STATUS_ERROR_CONFLICTING:
    case IPP_STATUS_ERROR_CHARSET:
      return ERROR_INVALID_PARAMETER;
    case IPP_STATUS_ERROR_DOCUMENT_FORMAT_ERROR:
    case IPP_STATUS_ERROR_DOCUMENT_UNPRINTABLE:
      return ERROR_INVALID_DATA;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

bool fail(uint32_t code) {
  SetLastError(code);
  return false;
}

bool failFromIpp(int ippStatus, Subject subject) {
  const uint32_t code = winErrorFromIpp(ippStatus, subject);
  return fail(code != ERROR_SUCCESS ? code : ERROR_INVALID_FUNCTION);
}

bool failFromCups(Subject subject) { return failFromIpp(cupsLastError(), subject); }

}  // namespace platform::spooler
