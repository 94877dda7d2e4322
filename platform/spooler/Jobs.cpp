// Jobs: their facts (Get-Job-Attributes) and their control (Hold-Job,
// Release-Job, Cancel-Job, Restart-Job, Set-Job-Attributes).

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/spooler/CupsQueues.h"
#include "platform/spooler/DevModes.h"
#include "platform/spooler/InfoBuffer.h"
#include "platform/spooler/PaperSizes.h"
#include "platform/spooler/PrinterHandles.h"
#include "platform/spooler/PrinterStore.h"
#include "platform/spooler/SpoolerApi.h"
#include "platform/system/CodePage.h"
#include "platform/system/LastError.h"

namespace platform {

using namespace spooler;

namespace {

struct JobFacts {
  uint32_t id = 0;
  std::string name, user, host, format, printerUri, media;
  int state = IPP_JSTATE_PENDING;
  std::vector<std::string> reasons;
  int priority = 50, copies = 0, orientation = 0;
  int64_t kOctets = 0, impressions = 0, impressionsCompleted = 0;
  time_t created = 0;
  uint32_t position = 0;
};

ipp_t* jobRequest(ipp_op_t operation, const std::string& queue, uint32_t jobId) {
  ipp_t* request = printerRequest(operation, queue);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
  return request;
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The queue position of an unfinished job, 1 for the next to print; 0 for
// finished ones.
uint32_t positionOf(const std::string& queue, uint32_t jobId) {
  ipp_t* request = printerRequest(IPP_OP_GET_JOBS, queue);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-id");
  ipp_t* response = sendRequest(request, Subject::Job);
  if (response == nullptr) return 0;
  uint32_t index = 0, position = 0;
  for (ipp_attribute_t* a = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER); a != nullptr;
       a = ippFindNextAttribute(response, "job-id", IPP_TAG_INTEGER)) {
    ++index;
    if (static_cast<uint32_t>(ippGetInteger(a, 0)) == jobId) {
      position = index;
      break;
    }
  }
  ippDelete(response);
  return position;
}

// The job `jobId` of the printer `queue`; ERROR_INVALID_PARAMETER for a
// job that does not exist or belongs to another printer, as Windows has it.
std::optional<JobFacts> fetchJob(const std::string& queue, uint32_t jobId) {
  if (jobId == 0 || jobId > INT32_MAX) {
    fail(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  ipp_t* request = jobRequest(IPP_OP_GET_JOB_ATTRIBUTES, queue, jobId);
  const char* wanted[] = {"job-id",        "job-name",         "job-originating-user-name", "job-originating-host-name",
                          "job-state",     "job-state-reasons", "job-priority",             "job-k-octets",
                          "job-impressions", "job-impressions-completed", "time-at-creation", "document-format",
                          "job-printer-uri", "media",           "copies",                   "orientation-requested"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(wanted)), nullptr, wanted);
  ipp_t* response = sendRequest(request, Subject::Job);
  if (response == nullptr) return std::nullopt;
  JobFacts job;
  job.id = jobId;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a != nullptr; a = ippNextAttribute(response)) {
    const char* n = ippGetName(a);
    if (n == nullptr || ippGetGroupTag(a) != IPP_TAG_JOB) continue;
    const char* s = ippGetString(a, 0, nullptr);
    const std::string str = s != nullptr ? s : "";
    if (!std::strcmp(n, "job-name")) job.name = str;
    else if (!std::strcmp(n, "job-originating-user-name")) job.user = str;
    else if (!std::strcmp(n, "job-originating-host-name")) job.host = str;
    else if (!std::strcmp(n, "document-format")) job.format = str;
    else if (!std::strcmp(n, "job-printer-uri")) job.printerUri = str;
    else if (!std::strcmp(n, "media")) job.media = str;
    else if (!std::strcmp(n, "job-state")) job.state = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "job-priority")) job.priority = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "copies")) job.copies = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "orientation-requested")) job.orientation = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "job-k-octets")) job.kOctets = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "job-impressions")) job.impressions = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "job-impressions-completed")) job.impressionsCompleted = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "time-at-creation")) job.created = ippGetInteger(a, 0);
    else if (!std::strcmp(n, "job-state-reasons"))
      for (int i = 0; i < ippGetCount(a); ++i)
        if (const char* r = ippGetString(a, i, nullptr)) job.reasons.emplace_back(r);
  }
  ippDelete(response);
  if (!endsWith(job.printerUri, "/printers/" + queue) && !endsWith(job.printerUri, "/classes/" + queue)) {
    fail(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (job.state < IPP_JSTATE_CANCELED) job.position = positionOf(queue, jobId);
  return job;
}

bool hasReason(const JobFacts& job, const char* reason) {
  return std::find(job.reasons.begin(), job.reasons.end(), reason) != job.reasons.end();
}

uint32_t statusOf(const JobFacts& job) {
  uint32_t status = 0;
  if (hasReason(job, "job-incoming")) status |= JOB_STATUS_SPOOLING;
  switch (job.state) {
    case IPP_JSTATE_HELD:
      if (!hasReason(job, "job-incoming") || hasReason(job, "job-hold-until-specified")) status |= JOB_STATUS_PAUSED;
      break;
    case IPP_JSTATE_PROCESSING: status |= JOB_STATUS_PRINTING; break;
    case IPP_JSTATE_STOPPED: status |= JOB_STATUS_PAUSED; break;
    case IPP_JSTATE_CANCELED: status |= JOB_STATUS_DELETED; break;
    case IPP_JSTATE_ABORTED: status |= JOB_STATUS_ERROR; break;
    case IPP_JSTATE_COMPLETED: status |= JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE; break;
    default: break;
  }
  return status;
}

// SYSTEMTIME's eight words (UTC), two to an element.
void putSubmitted(time_t when, uint32_t (&submitted)[4]) {
  std::tm t{};
  if (when <= 0 || gmtime_r(&when, &t) == nullptr) return;
  const uint16_t words[8] = {static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1),
                             static_cast<uint16_t>(t.tm_wday), static_cast<uint16_t>(t.tm_mday),
                             static_cast<uint16_t>(t.tm_hour), static_cast<uint16_t>(t.tm_min),
                             static_cast<uint16_t>(t.tm_sec), 0};
  for (int i = 0; i < 4; ++i) submitted[i] = words[2 * i] | (uint32_t{words[2 * i + 1]} << 16);
}

uint32_t clampU32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX)); }

bool controlJob(const std::string& queue, uint32_t jobId, uint32_t command) {
  ipp_op_t op;
  switch (command) {
    case 0: return true;
    case JOB_CONTROL_PAUSE: op = IPP_OP_HOLD_JOB; break;
    case JOB_CONTROL_RESUME: op = IPP_OP_RELEASE_JOB; break;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE: op = IPP_OP_CANCEL_JOB; break;
    case JOB_CONTROL_RESTART: op = IPP_OP_RESTART_JOB; break;
    default: return fail(ERROR_INVALID_PARAMETER);
  }
  ipp_t* response = sendRequest(jobRequest(op, queue, jobId), Subject::Job);
  if (response == nullptr) return false;
  ippDelete(response);
  return true;
}

}  // namespace

bool GetJobA(HANDLE printer, uint32_t jobId, uint32_t level, uint8_t* buffer, uint32_t size, uint32_t* needed) {
  if (needed != nullptr) *needed = 0;
  const auto handle = handleInfo(printer);
  if (!handle) return false;
  if (level != 1 && level != 2) return fail(ERROR_INVALID_LEVEL);
  const auto job = fetchJob(handle->queue, jobId);
  if (!job) return false;
  const std::string display = handle->displayName;
  const uint32_t status = statusOf(*job);
  uint32_t submitted[4] = {};
  putSubmitted(job->created, submitted);
  if (level == 1) {
    return packRecords<JOB_INFO_1A>(1, buffer, size, needed, [&](InfoPacker& p, size_t, JOB_INFO_1A& r) {
      r.JobId = job->id;
      r.pPrinterName = p.string(display);
      r.pMachineName = p.string(utf8ToAnsi(job->host));
      r.pUserName = p.string(utf8ToAnsi(job->user));
      r.pDocument = p.string(utf8ToAnsi(job->name));
      r.pDatatype = p.string(job->format);
      r.pStatus = nullptr;
      r.Status = status;
      r.Priority = static_cast<uint32_t>(std::clamp(job->priority, 1, 100));
      r.Position = job->position;
      r.TotalPages = clampU32(job->impressions);
      r.PagesPrinted = clampU32(job->impressionsCompleted);
      std::memcpy(r.Submitted, submitted, sizeof submitted);
    });
  }
  const auto facts = queueFacts(handle->queue);
  const std::string driver = facts ? utf8ToAnsi(facts->makeAndModel) : "";
  const PrinterExtras extras = readExtras(display);
  PrinterSetup setup = currentSetup(handle->queue).value_or(PrinterSetup{});
  DefaultsChange asJob;
  if (const std::string media = canonicalMedia(job->media); !media.empty()) asJob.media = media;
  if (job->orientation != 0) asJob.orientation = job->orientation == 4 || job->orientation == 5 ? 4 : 3;
  if (job->copies > 0) asJob.copies = job->copies;
  if (asJob.media) mediaSize(*asJob.media, setup.width, setup.length);
  if (asJob.media) setup.media = *asJob.media;
  if (asJob.orientation) setup.orientation = *asJob.orientation;
  if (asJob.copies) setup.copies = *asJob.copies;
  return packRecords<JOB_INFO_2A>(1, buffer, size, needed, [&](InfoPacker& p, size_t, JOB_INFO_2A& r) {
    r.JobId = job->id;
    r.pPrinterName = p.string(display);
    r.pMachineName = p.string(utf8ToAnsi(job->host));
    r.pUserName = p.string(utf8ToAnsi(job->user));
    r.pDocument = p.string(utf8ToAnsi(job->name));
    r.pNotifyName = p.string(utf8ToAnsi(job->user));
    r.pDatatype = p.string(job->format);
    r.pPrintProcessor = p.string(extras.printProcessor);
    r.pParameters = p.string("");
    r.pDriverName = p.string(driver);
    r.pDevMode = p.devMode(devModeFor(display, setup));
    r.pStatus = nullptr;
    r.pSecurityDescriptor = nullptr;
    r.Status = status;
    r.Priority = static_cast<uint32_t>(std::clamp(job->priority, 1, 100));
    r.Position = job->position;
    r.StartTime = r.UntilTime = 0;
    r.TotalPages = clampU32(job->impressions);
    r.Size = clampU32(job->kOctets * 1024);
    std::memcpy(r.Submitted, submitted, sizeof submitted);
    r.Time = 0;
    r.PagesPrinted = clampU32(job->impressionsCompleted);
  });
}

bool SetJobA(HANDLE printer, uint32_t jobId, uint32_t level, uint8_t* info, uint32_t command) {
  const auto handle = handleInfo(printer);
  if (!handle) return false;
  if (level > 2) return fail(ERROR_INVALID_LEVEL);
  const auto job = fetchJob(handle->queue, jobId);
  if (!job) return false;
  if (level == 0) return command != 0 ? controlJob(handle->queue, jobId, command) : fail(ERROR_INVALID_PARAMETER);
  if (info == nullptr) return fail(ERROR_INVALID_PARAMETER);

  // Levels 1 and 2 share the fields that can change.
  const char* user = nullptr;
  const char* document = nullptr;
  uint32_t priority = 0, position = 0;
  if (level == 1) {
    JOB_INFO_1A ji;
    std::memcpy(&ji, info, sizeof ji);
    user = ji.pUserName;
    document = ji.pDocument;
    priority = ji.Priority;
    position = ji.Position;
  } else {
    JOB_INFO_2A ji;
    std::memcpy(&ji, info, sizeof ji);
    user = ji.pUserName;
    document = ji.pDocument;
    priority = ji.Priority;
    position = ji.Position;
  }
  // CUPS orders jobs by priority and age only; no position can be asked for.
  if (position != JOB_POSITION_UNSPECIFIED && position != job->position) return fail(ERROR_NOT_SUPPORTED);

  ipp_t* request = jobRequest(IPP_OP_SET_JOB_ATTRIBUTES, handle->queue, jobId);
  bool changes = false;
  if (user != nullptr && ansiToUtf8(user) != job->user) {
    // CUPS keeps the owner fixed and says so; the refusal is passed on.
    ippAddString(request, IPP_TAG_JOB, IPP_TAG_NAME, "job-originating-user-name", nullptr, ansiToUtf8(user).c_str());
    changes = true;
  }
  if (document != nullptr && ansiToUtf8(document) != job->name) {
    ippAddString(request, IPP_TAG_JOB, IPP_TAG_NAME, "job-name", nullptr, ansiToUtf8(document).c_str());
    changes = true;
  }
  if (priority != 0 && static_cast<int>(std::min<uint32_t>(priority, 100)) != job->priority) {
    ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-priority", static_cast<int>(std::min<uint32_t>(priority, 100)));
    changes = true;
  }
  if (changes) {
    ipp_t* response = sendRequest(request, Subject::Job);
    if (response == nullptr) return false;
    ippDelete(response);
  } else {
    ippDelete(request);
  }
  return controlJob(handle->queue, jobId, command);
}

}  // namespace platform
