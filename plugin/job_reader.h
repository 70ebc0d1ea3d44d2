// The job reader and the job cancel: the vendor's job MIB rows as ZelJobInfo
// records, their localised texts looked up in the vendor string table under
// the device's vendor character set, and the one SNMP set the plug-in makes.
#ifndef PLUGIN_JOB_READER_H_
#define PLUGIN_JOB_READER_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

// The job-operation column the cancel sets, and the value that cancels.
inline constexpr char kZelJobOperationColumn[] = "1.3.6.1.4.1.61801.8.76.3.2.1.1";
inline constexpr int32_t kZelJobCancelValue = 1414;
// The job state that separates the two job lists.
inline constexpr int32_t kZelJobStateSplit = 17;
// The job identifier is at most this many octets of the row index.
inline constexpr size_t kZelJobIdOctets = 8;

// "1.3.6.1.4.1.61801.8.58.2.1" to "...2.12" give 1 to 12; any other text 0.
int32_t zel_job_type_code(const char* text) noexcept;

// Selector 0 keeps every job, 1 those whose state is not 17, 2 those in 17.
bool zel_job_selected(uint32_t selector, int32_t state) noexcept;

// DateAndTime octets (SNMPv2-TC): year = o1 * 256 + o2; month, day, hour,
// minute, second = o3..o7 as signed 8-bit numbers; octets 8 on are ignored
// and missing ones count as 0.
ZelDateTime zel_date_and_time(std::string_view octets) noexcept;

// The job identifier from a row index: drops the first two sub-identifiers
// and reads the rest as the octets of an implied-length string of at most
// eight octets ("101.8.74.79.66" -> "JOB"). kKasErrBadIndex when fewer than
// two sub-identifiers lead or an octet is above 255 or not a number.
int zel_job_id_from_index(std::string_view index, char* out, size_t size) noexcept;

// The vendor string-table object for group g, string v, character set c.
bool zel_string_table_oid(uint32_t g, int32_t v, int32_t c, char* out, size_t size) noexcept;

// The row index of the cancel set: "101", then the identifier as an OCTET
// STRING index that is not implied (its length, then one sub-identifier per
// octet): "AB" -> "101.2.65.66". false when it does not fit in out[size].
bool zel_cancel_index(const char* jobId, char* out, size_t size) noexcept;

// One walked job row into *record, with the string-table lookups. Answers 0
// or the status of the failed lookup or index conversion.
int zel_job_record(const CZelDevice& device, const ZelDeviceRow& row, ZelJobInfo* record) noexcept;

// ZelGetNumberOfJobInfo's work after the selector check: reads the vendor
// character set once per device object (while it is 0), empties the job rows
// and walks the job table, keeping the rows the selector selects. A failure
// ends the walk and is answered; rows appended so far stay.
int zel_read_jobs(CZelDevice& device, uint32_t selector) noexcept;

// The cancel set with the device's write community. 0 or the status of the
// failing step (logged, except the index conversion).
int zel_cancel_job(const CZelDevice& device, const char* jobId) noexcept;

#endif  // PLUGIN_JOB_READER_H_
