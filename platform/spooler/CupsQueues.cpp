#include "platform/spooler/CupsQueues.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/spooler/PaperSizes.h"
#include "platform/spooler/QueueNames.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform::spooler {

namespace {

const char* const kQueueAttributes[] = {
    "printer-name",     "printer-info",  "printer-make-and-model", "device-uri",           "printer-location",
    "printer-state",    "printer-is-accepting-jobs",                "queued-job-count",     "printer-state-message",
};

std::string text(ipp_attribute_t* attr) {
  const char* value = ippGetString(attr, 0, nullptr);
  return value != nullptr ? value : "";
}

// Reads one printer group's attributes from `attr` on; returns the first
// attribute after the group.
ipp_attribute_t* readQueueGroup(ipp_t* response, ipp_attribute_t* attr, QueueFacts& facts) {
  for (; attr != nullptr && ippGetGroupTag(attr) == IPP_TAG_PRINTER; attr = ippNextAttribute(response)) {
    const char* name = ippGetName(attr);
    if (name == nullptr) continue;
    if (!std::strcmp(name, "printer-name")) facts.queue = text(attr);
    else if (!std::strcmp(name, "printer-info")) facts.info = text(attr);
    else if (!std::strcmp(name, "printer-make-and-model")) facts.makeAndModel = text(attr);
    else if (!std::strcmp(name, "device-uri")) facts.deviceUri = text(attr);
    else if (!std::strcmp(name, "printer-location")) facts.location = text(attr);
    else if (!std::strcmp(name, "printer-state")) facts.state = ippGetInteger(attr, 0);
    else if (!std::strcmp(name, "printer-is-accepting-jobs")) facts.accepting = ippGetBoolean(attr, 0) != 0;
    else if (!std::strcmp(name, "queued-job-count")) facts.jobCount = ippGetInteger(attr, 0);
    else if (!std::strcmp(name, "printer-state-message")) facts.stateMessage = text(attr);
  }
  return attr;
}

void requestQueueAttributes(ipp_t* request) {
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kQueueAttributes)), nullptr, kQueueAttributes);
}

int clampCopies(long copies) { return static_cast<int>(std::clamp<long>(copies, 1, 9999)); }

bool parseResolution(const char* value, int& x, int& y) {
  if (value == nullptr) return false;
  int a = 0, b = 0;
  char unit[8] = {};
  if (std::sscanf(value, "%dx%d%7s", &a, &b, unit) != 3) {
    if (std::sscanf(value, "%d%7s", &a, unit) != 2) return false;
    b = a;
  }
  if (a <= 0 || b <= 0 || a > 10000 || b > 10000) return false;
  if (!std::strcmp(unit, "dpcm")) {
    a = a * 254 / 100;
    b = b * 254 / 100;
  }
  x = a;
  y = b;
  return true;
}

int orientationFrom(int requested) { return requested == 4 || requested == 5 ? 4 : 3; }

// The user's own defaults for `queue` lose the options the server now
// holds, so the server's new value is what the user gets.
void dropUserOptions(const std::string& queue, const DefaultsChange& change) {
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  cups_dest_t* dest = cupsGetDest(queue.c_str(), nullptr, count, dests);
  bool changed = false;
  if (dest != nullptr) {
    auto drop = [&](const char* name) {
      if (cupsGetOption(name, dest->num_options, dest->options) != nullptr) {
        dest->num_options = cupsRemoveOption(name, dest->num_options, &dest->options);
        changed = true;
      }
    };
    if (change.media) {
      drop("media");
      drop("PageSize");
    }
    if (change.orientation) {
      drop("orientation-requested");
      drop("landscape");
    }
    if (change.copies) drop("copies");
  }
  if (changed) cupsSetDests2(CUPS_HTTP_DEFAULT, count, dests);
  cupsFreeDests(count, dests);
}

bool writeUserDefaults(const std::string& queue, const DefaultsChange& change) {
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  if (cupsGetDest(queue.c_str(), nullptr, count, dests) == nullptr)
    count = cupsAddDest(queue.c_str(), nullptr, count, &dests);
  cups_dest_t* dest = cupsGetDest(queue.c_str(), nullptr, count, dests);
  if (dest == nullptr) {
    cupsFreeDests(count, dests);
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (change.media) dest->num_options = cupsAddOption("media", change.media->c_str(), dest->num_options, &dest->options);
  if (change.orientation)
    dest->num_options = cupsAddOption("orientation-requested", std::to_string(*change.orientation).c_str(),
                                      dest->num_options, &dest->options);
  if (change.copies)
    dest->num_options =
        cupsAddOption("copies", std::to_string(*change.copies).c_str(), dest->num_options, &dest->options);
  const bool ok = cupsSetDests2(CUPS_HTTP_DEFAULT, count, dests) == 0;
  cupsFreeDests(count, dests);
  return ok ? true : fail(ERROR_ACCESS_DENIED);
}

}  // namespace

std::string QueueFacts::displayName() const { return displayNameFor(queue, info); }

std::string printerUri(const std::string& queue) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                   queue.c_str());
  return uri;
}

ipp_t* printerRequest(ipp_op_t operation, const std::string& queue) {
  ipp_t* request = ippNewRequest(operation);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(queue).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  return request;
}

ipp_t* sendRequest(ipp_t* request, Subject subject, const char* resource, const char* file) {
  ipp_t* response = cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, resource, file);
  if (response == nullptr) {
    failFromCups(subject);
    return nullptr;
  }
  const ipp_status_t status = ippGetStatusCode(response);
  if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
    ippDelete(response);
    failFromIpp(status, subject);
    return nullptr;
  }
  return response;
}

bool printerOperation(const std::string& queue, int operation, const char* resource) {
  ipp_t* response = sendRequest(printerRequest(static_cast<ipp_op_t>(operation), queue), Subject::Printer, resource);
  if (response == nullptr) return false;
  ippDelete(response);
  return true;
}

std::optional<std::vector<QueueFacts>> listQueues() {
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  requestQueueAttributes(request);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
  if (response == nullptr) {
    failFromCups(Subject::Printer);
    return std::nullopt;
  }
  std::vector<QueueFacts> queues;
  const ipp_status_t status = ippGetStatusCode(response);
  // A server without printers answers "not found".
  if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE && status != IPP_STATUS_ERROR_NOT_FOUND) {
    ippDelete(response);
    failFromIpp(status, Subject::Printer);
    return std::nullopt;
  }
  ipp_attribute_t* attr = ippFirstAttribute(response);
  while (attr != nullptr) {
    if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
      attr = ippNextAttribute(response);
      continue;
    }
    QueueFacts facts;
    attr = readQueueGroup(response, attr, facts);
    if (!facts.queue.empty()) queues.push_back(std::move(facts));
  }
  ippDelete(response);
  std::sort(queues.begin(), queues.end(), [](const QueueFacts& a, const QueueFacts& b) { return a.queue < b.queue; });
  return queues;
}

std::optional<QueueFacts> queueFacts(const std::string& queue) {
  ipp_t* request = printerRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
  requestQueueAttributes(request);
  ipp_t* response = sendRequest(request, Subject::Printer);
  if (response == nullptr) return std::nullopt;
  QueueFacts facts;
  ipp_attribute_t* attr = ippFirstAttribute(response);
  while (attr != nullptr && ippGetGroupTag(attr) != IPP_TAG_PRINTER) attr = ippNextAttribute(response);
  readQueueGroup(response, attr, facts);
  ippDelete(response);
  if (facts.queue.empty()) facts.queue = queue;
  return facts;
}

std::optional<QueueFacts> findPrinter(const char* displayName) {
  if (displayName == nullptr || *displayName == '\0') {
    fail(ERROR_INVALID_PRINTER_NAME);
    return std::nullopt;
  }
  const std::string wanted = displayName;
  auto facts = queueFacts(queueNameFor(wanted));
  if (!facts) return std::nullopt;
  // Two names may share a queue name ("A B" and "A_B"); only the one the
  // queue was made for, or the queue's own name, opens it.
  if (facts->displayName() != wanted && utf8ToAnsi(facts->queue) != wanted) {
    fail(ERROR_INVALID_PRINTER_NAME);
    return std::nullopt;
  }
  return facts;
}

std::optional<PrinterSetup> currentSetup(const std::string& queue, const DefaultsChange* overrides) {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
  if (dest == nullptr) {
    if (cupsLastError() < IPP_STATUS_REDIRECTION_OTHER_SITE || cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
      fail(ERROR_INVALID_PRINTER_NAME);
    else
      failFromCups(Subject::Printer);
    return std::nullopt;
  }
  cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
  auto option = [&](const char* name) { return cupsGetOption(name, dest->num_options, dest->options); };
  auto serverDefault = [&](const char* name) -> ipp_attribute_t* {
    return info != nullptr ? cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, name) : nullptr;
  };
  PrinterSetup setup;

  // cupsGetDestMediaDefault ignores the server's media-default, so the
  // options and the default are read here in their order.
  std::string media;
  if (const char* v = option("media")) media = canonicalMedia(v);
  if (media.empty())
    if (const char* v = option("PageSize")) media = canonicalMedia(v);
  if (media.empty())
    if (ipp_attribute_t* a = serverDefault("media")) media = canonicalMedia(text(a));
  if (!media.empty()) setup.media = media;

  if (const char* v = option("orientation-requested")) setup.orientation = orientationFrom(std::atoi(v));
  else if (option("landscape") != nullptr) setup.orientation = 4;
  else if (ipp_attribute_t* a = serverDefault("orientation-requested"); a != nullptr && ippGetValueTag(a) == IPP_TAG_ENUM)
    setup.orientation = orientationFrom(ippGetInteger(a, 0));

  if (const char* v = option("copies")) setup.copies = clampCopies(std::atol(v));
  else if (ipp_attribute_t* a = serverDefault("copies"); a != nullptr && ippGetValueTag(a) == IPP_TAG_INTEGER)
    setup.copies = clampCopies(ippGetInteger(a, 0));

  if (!parseResolution(option("printer-resolution"), setup.dpiX, setup.dpiY) &&
      !parseResolution(option("Resolution"), setup.dpiX, setup.dpiY)) {
    if (ipp_attribute_t* a = serverDefault("printer-resolution");
        a != nullptr && ippGetValueTag(a) == IPP_TAG_RESOLUTION) {
      ipp_res_t units = IPP_RES_PER_INCH;
      int y = 0;
      int x = ippGetResolution(a, 0, &y, &units);
      if (units == IPP_RES_PER_CM) {
        x = x * 254 / 100;
        y = y * 254 / 100;
      }
      if (x > 0 && y > 0 && x <= 10000 && y <= 10000) {
        setup.dpiX = x;
        setup.dpiY = y;
      }
    }
  }

  if (overrides != nullptr) {
    if (overrides->media) setup.media = *overrides->media;
    if (overrides->orientation) setup.orientation = *overrides->orientation;
    if (overrides->copies) setup.copies = *overrides->copies;
  }

  cups_size_t size{};
  const bool known = info != nullptr &&
                     cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest, info, setup.media.c_str(), CUPS_MEDIA_FLAGS_DEFAULT,
                                            &size) != 0;
  if (known) {
    setup.left = std::max(0, size.left);
    setup.bottom = std::max(0, size.bottom);
    setup.right = std::max(0, size.right);
    setup.top = std::max(0, size.top);
  }
  // The driver's figures are whole points; the nominal size is the paper's.
  if (!mediaSize(setup.media, setup.width, setup.length) && known && size.width > 0 && size.length > 0) {
    setup.width = size.width;
    setup.length = size.length;
  }
  if (setup.left + setup.right >= setup.width || setup.top + setup.bottom >= setup.length)
    setup.left = setup.right = setup.top = setup.bottom = 0;

  if (info != nullptr) cupsFreeDestInfo(info);
  cupsFreeDests(1, dest);
  return setup;
}

bool writeDefaults(const std::string& queue, const DefaultsChange& change) {
  ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue);
  if (change.media)
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "media-default", nullptr, change.media->c_str());
  if (change.orientation)
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "orientation-requested-default", *change.orientation);
  if (change.copies) ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "copies-default", *change.copies);
  if (change.location)
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-location", nullptr, change.location->c_str());
  if (change.deviceUri)
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, change.deviceUri->c_str());
  if (ipp_t* response = sendRequest(request, Subject::Printer, "/admin/")) {
    ippDelete(response);
    dropUserOptions(queue, change);
    return true;
  }
  // Without the right to change the printer, the user's own defaults carry
  // the settings; the server's location and device stay as they are.
  if (GetLastError() != ERROR_ACCESS_DENIED || change.location || change.deviceUri) return false;
  return writeUserDefaults(queue, change);
}

}  // namespace platform::spooler
