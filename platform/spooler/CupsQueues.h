#pragma once
// The CUPS requests behind the spooler calls, on the default connection
// (CUPS_SERVER and the client configuration decide which server). Failures
// set the last error through SpoolerErrors and return false or nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <cups/cups.h>

#include "platform/spooler/SpoolerErrors.h"

namespace platform::spooler {

// What CUPS tells about a queue.
struct QueueFacts {
  std::string queue;         // CUPS name
  std::string info;          // printer-info, UTF-8 (holds the name users see)
  std::string makeAndModel;  // the driver's name
  std::string deviceUri;
  std::string location;
  int state = 3;             // ipp_pstate_t
  bool accepting = true;
  int jobCount = 0;
  std::string stateMessage;
  std::string displayName() const;  // active code page
};

// Every local queue, sorted by queue name.
std::optional<std::vector<QueueFacts>> listQueues();
// One queue; ERROR_INVALID_PRINTER_NAME when there is none of that name.
std::optional<QueueFacts> queueFacts(const std::string& queue);
// The queue of a printer name users see (or of a queue name itself).
std::optional<QueueFacts> findPrinter(const char* displayName);

// The printer's current defaults and the page geometry they give, as the
// next job of this user gets them: user options (lpoptions) over the
// server's defaults over the driver's.
struct PrinterSetup {
  std::string media = "iso_a4_210x297mm";  // PWG name
  int orientation = 3;                      // orientation-requested: 3 portrait, 4 landscape
  int copies = 1;
  int dpiX = 300, dpiY = 300;
  // Paper, portrait, in hundredths of millimetres; margins of the media.
  int width = 21000, length = 29700;
  int left = 0, bottom = 0, right = 0, top = 0;
};
struct DefaultsChange;
// With `overrides`, as a device mode passed to CreateDC would change them.
std::optional<PrinterSetup> currentSetup(const std::string& queue, const DefaultsChange* overrides = nullptr);

// Changes of the printer's defaults; unset fields stay as they are.
struct DefaultsChange {
  std::optional<std::string> media;  // PWG name
  std::optional<int> orientation;    // 3 or 4
  std::optional<int> copies;
  std::optional<std::string> location;
  std::optional<std::string> deviceUri;
};
// Writes them as the server's defaults (CUPS-Add-Modify-Printer); where the
// server refuses, as this user's defaults (lpoptions) instead. False only
// when neither took.
bool writeDefaults(const std::string& queue, const DefaultsChange& change);

// The printer URI of a queue on the default server.
std::string printerUri(const std::string& queue);

// Sends `request` (consumed) and checks its status: the response, which
// the caller deletes (ippDelete), or null with the last error set.
// With `file`, its contents follow the request (a PPD for a new printer).
ipp_t* sendRequest(ipp_t* request, Subject subject, const char* resource = "/", const char* file = nullptr);
// A new request of `operation` for the queue's printer URI, with the
// requesting user set.
ipp_t* printerRequest(ipp_op_t operation, const std::string& queue);

// Simple printer operations by IPP operation code (Pause-Printer,
// Resume-Printer, Purge-Jobs, CUPS-Delete-Printer).
bool printerOperation(const std::string& queue, int operation, const char* resource = "/admin/");

}  // namespace platform::spooler
