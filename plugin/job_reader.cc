#include "plugin/job_reader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/text_copy.h"
#include "log/log.h"
#include "plugin/charset_reader.h"
#include "snmp/value.h"

namespace {

constexpr char kJobTypeFamily[] = "1.3.6.1.4.1.61801.8.58.2.";
constexpr char kStringTableColumn[] = "1.3.6.1.4.1.61801.8.51.5.1.1.4";

// Walk order; the comments name the record field each column fills.
const char* const kJobColumns[] = {
    "1.3.6.1.4.1.61801.8.59.6.1.1.4",    // job type (type table)
    "1.3.6.1.4.1.61801.8.59.6.1.1.9",    // job state
    "1.3.6.1.4.1.61801.8.59.6.1.1.10",   // second job integer
    "1.3.6.1.4.1.61801.8.59.16.1.1.5",   // first job counter
    "1.3.6.1.4.1.61801.8.59.16.1.1.6",   // second job counter
    "1.3.6.1.4.1.61801.8.59.6.1.1.5",    // first localised text
    "1.3.6.1.4.1.61801.8.59.6.1.1.6",    // second localised text
    "1.3.6.1.4.1.61801.8.59.10.1.1.7",   // third localised text; job identifier
    "1.3.6.1.4.1.61801.8.59.6.1.1.3",    // text read directly
    "1.3.6.1.4.1.61801.8.59.10.1.1.10",  // first time stamp
    "1.3.6.1.4.1.61801.8.59.16.1.1.4",   // second time stamp
    "1.3.6.1.4.1.61801.8.59.16.1.1.7",   // third time stamp
};
constexpr size_t kJobColumnCount = sizeof(kJobColumns) / sizeof(kJobColumns[0]);
constexpr size_t kIdColumn = 7;

// Reads one sub-identifier from the front of `index` and steps past it and
// its dot. false when there is none or it is not a 32-bit number.
bool take_arc(std::string_view* index, uint32_t* arc) {
  if (!zel_first_arc(*index, arc)) return false;
  const size_t dot = index->find('.');
  *index = dot == std::string_view::npos ? std::string_view() : index->substr(dot + 1);
  return true;
}

std::string_view index_of(const ZelDeviceRow& row, size_t column) {
  const IKasOid* name = row.name(column);
  if (!name) return {};
  return zel_row_index(std::string_view(name->text(), name->text_length()), kJobColumns[column]);
}

constexpr size_t kTextColumns[] = {5, 6, kIdColumn};
constexpr size_t kTextCount = sizeof(kTextColumns) / sizeof(kTextColumns[0]);

// A job row as walked: the record with every field the row itself gives,
// and what its three localised texts are looked up with once the walk has
// ended (the lookups are exchanges of their own).
struct StagedJob {
  ZelJobInfo record;
  struct Lookup {
    bool indexed;    // the row's first index sub-identifier was readable
    uint32_t group;  // that sub-identifier
    int32_t string;  // the binding's integer
  } lookups[kTextCount];
  int id_status;  // of the job identifier read from the row index
};

void stage_job(const ZelDeviceRow& row, StagedJob* job) noexcept {
  ZelJobInfo* record = &job->record;
  std::memset(record, 0, sizeof(*record));
  char type[256];
  row.get_text(0, type);
  record->jobType = zel_job_type_code(type);
  record->jobState = row.get_int(1);
  record->jobInteger2 = row.get_int(2);
  record->jobCounter1 = row.get_uint(3);
  record->jobCounter2 = row.get_uint(4);
  for (size_t i = 0; i < kTextCount; ++i) {
    StagedJob::Lookup& lookup = job->lookups[i];
    lookup.group = 0;
    lookup.indexed = zel_first_arc(index_of(row, kTextColumns[i]), &lookup.group);
    lookup.string = row.get_int(kTextColumns[i]);
  }
  job->id_status =
      zel_job_id_from_index(index_of(row, kIdColumn), record->jobId, sizeof(record->jobId));
  row.get_text(8, record->jobTextDirect);
  record->time1 = zel_date_and_time(row.get_bytes(9));
  record->time2 = zel_date_and_time(row.get_bytes(10));
  record->time3 = zel_date_and_time(row.get_bytes(11));
}

// The localised texts of a staged job: group = the row's first index
// sub-identifier, string = the binding's integer. The first failure is
// answered; then that of the job identifier.
int finish_job(const CZelDevice& device, ZelSingleGets* gets, StagedJob* job) noexcept {
  char* const texts[kTextCount] = {job->record.jobText1, job->record.jobText2,
                                   job->record.jobText3};
  static_assert(sizeof(job->record.jobText1) == sizeof(job->record.jobText2) &&
                sizeof(job->record.jobText1) == sizeof(job->record.jobText3));
  for (size_t i = 0; i < kTextCount; ++i) {
    const StagedJob::Lookup& lookup = job->lookups[i];
    if (!lookup.indexed) return kKasErrBadIndex;
    char oid[256];
    if (!zel_string_table_oid(lookup.group, lookup.string, device.vendor_char_set, oid,
                              sizeof(oid))) {
      return kKalErrInvalidArg;
    }
    const int rc = gets->get_text(oid, texts[i], sizeof(job->record.jobText1));
    if (rc != kKalOk) return rc;
  }
  return job->id_status;
}

}  // namespace

int32_t zel_job_type_code(const char* text) noexcept {
  if (!text) return 0;
  const std::string_view value(text);
  const std::string_view family(kJobTypeFamily);
  if (value.size() <= family.size() || value.substr(0, family.size()) != family) return 0;
  const std::string_view last = value.substr(family.size());
  for (int32_t code = 1; code <= 12; ++code) {
    char digits[4];
    std::snprintf(digits, sizeof(digits), "%d", static_cast<int>(code));
    if (last == digits) return code;
  }
  return 0;
}

bool zel_job_selected(uint32_t selector, int32_t state) noexcept {
  switch (selector) {
    case 0:
      return true;
    case 1:
      return state != kZelJobStateSplit;
    case 2:
      return state == kZelJobStateSplit;
    default:
      return false;
  }
}

ZelDateTime zel_date_and_time(std::string_view octets) noexcept {
  uint8_t o[7] = {};
  for (size_t i = 0; i < octets.size() && i < 7; ++i) o[i] = static_cast<uint8_t>(octets[i]);
  ZelDateTime time;
  time.year = static_cast<int16_t>(o[0] * 256 + o[1]);
  time.month = static_cast<int8_t>(o[2]);
  time.day = static_cast<int8_t>(o[3]);
  time.hour = static_cast<int8_t>(o[4]);
  time.minute = static_cast<int8_t>(o[5]);
  time.second = static_cast<int8_t>(o[6]);
  return time;
}

int zel_job_id_from_index(std::string_view index, char* out, size_t size) noexcept {
  if (!out || size == 0) return kKalErrInvalidArg;
  out[0] = '\0';
  uint32_t arc = 0;
  if (!take_arc(&index, &arc) || !take_arc(&index, &arc)) return kKasErrBadIndex;
  char id[kZelJobIdOctets + 1] = {};
  size_t n = 0;
  while (!index.empty() && n < kZelJobIdOctets) {
    if (!take_arc(&index, &arc) || arc > 255) return kKasErrBadIndex;
    id[n++] = static_cast<char>(arc);
  }
  kal_copy_text(out, size, std::string_view(id, n));
  return kKalOk;
}

bool zel_string_table_oid(uint32_t g, int32_t v, int32_t c, char* out, size_t size) noexcept {
  const int n = std::snprintf(out, size, "%s.%u.%u.%u", kStringTableColumn,
                              static_cast<unsigned>(g), static_cast<unsigned>(static_cast<uint32_t>(v)),
                              static_cast<unsigned>(static_cast<uint32_t>(c)));
  return n > 0 && static_cast<size_t>(n) < size;
}

bool zel_cancel_index(const char* jobId, char* out, size_t size) noexcept {
  if (!jobId || !out || size == 0) return false;
  const size_t length = std::strlen(jobId);
  int n = std::snprintf(out, size, "101.%zu", length);
  if (n < 0 || static_cast<size_t>(n) >= size) return false;
  size_t used = static_cast<size_t>(n);
  for (size_t i = 0; i < length; ++i) {
    n = std::snprintf(out + used, size - used, ".%u",
                      static_cast<unsigned>(static_cast<uint8_t>(jobId[i])));
    if (n < 0 || static_cast<size_t>(n) >= size - used) return false;
    used += static_cast<size_t>(n);
  }
  return true;
}

int zel_job_record(const CZelDevice& device, const ZelDeviceRow& row,
                   ZelJobInfo* record) noexcept {
  StagedJob job;
  stage_job(row, &job);
  ZelSingleGets gets(device);
  const int rc = finish_job(device, &gets, &job);
  // On a failure the record is incomplete, as before: not for keeping.
  *record = job.record;
  return rc;
}

int zel_read_jobs(CZelDevice& device, uint32_t selector) noexcept {
  // One request object for the whole call: the character-set walk and get,
  // the job walk and the text lookups.
  ZelSingleGets gets(device);
  if (device.vendor_char_set == 0) {
    const int rc = zel_char_set_lookup(device, kZelVendorCharSetIndexColumn,
                                       kZelVendorCharSetTargetColumn, &device.vendor_char_set,
                                       &gets);
    if (rc != kKalOk) return rc;
  }
  device.jobs.clear();
  ZelRequest request;
  int rc = zel_prepare_columns(device, kJobColumns, kJobColumnCount, &request);
  if (rc != kKalOk) return rc;
  // The rows are staged as they arrive; their texts are looked up once the
  // walk has ended, in the same order as when the answers were kept.
  struct Sink final : IKalWalkRowSink {
    int row(const IKasPdu* answer) override {
      StagedJob job;
      stage_job(ZelDeviceRow(answer), &job);
      return zel_append_row(&jobs, job) == kKalOk ? static_cast<int>(kKalOk)
                                                  : static_cast<int>(kKalErrNoMemory);
    }
    std::vector<StagedJob> jobs;
  } sink;
  rc = request->walk_rows(kJobColumns[0], &sink);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->get_data()", rc);
    return rc;
  }
  gets.adopt(&request);
  for (StagedJob& job : sink.jobs) {
    rc = finish_job(device, &gets, &job);
    if (rc != kKalOk) return rc;
    if (!zel_job_selected(selector, job.record.jobState)) continue;
    rc = zel_append_row(&device.jobs, job.record);
    if (rc != kKalOk) return rc;
  }
  return kKalOk;
}

int zel_cancel_job(const CZelDevice& device, const char* jobId) noexcept {
  char index[1024];
  if (!zel_cancel_index(jobId, index, sizeof(index))) return kKalErrInvalidArg;
  ZelRequest request;
  int rc = device.prepare_write_request(&request);
  if (rc != kKalOk) return rc;
  rc = request->add_oid_string(kZelJobOperationColumn, index, kZelJobCancelValue);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "pGetData->add_oid_string()", rc);
    return rc;
  }
  rc = request->set_data();
  if (rc != kKalOk) zel_log(kKalLogError, "%s: %d", "pGetData->set_data()", rc);
  return rc;
}
