// The refresh of CZelDevCommOption: ten procedures, each one SNMP exchange,
// run in a fixed order; the exchanges of one refresh share one request
// object. The hrDevice
// procedure runs before the fax, detail-setting and booklet procedures,
// which ask the device table whether their unit is installed.
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "common/owned.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "facade/get_data.h"
#include "log/log.h"
#include "options/dev_comm_option.h"
#include "options/medium_size.h"
#include "options/option_text.h"
#include "options/walk_rows.h"
#include "snmp/packet.h"

namespace {

// Every failing step is logged once, here in its caller, with the step's
// name and the status.
void log_step(const char* step, int status) { zel_log(kKalLogError, "%s: %d", step, status); }

using OwnedRequest = KalOwned<IKalGetData>;

// hrDeviceIndex of the controller, whose description carries the ROM version,
// and of the units that gate the vendor reads.
constexpr int32_t kRowController = 10;
constexpr int32_t kRowFaxUnit = 104;
constexpr int32_t kRowBooklet = 124;

constexpr int32_t kInputTypeSheetFeedManual = 5;  // prtInputType sheetFeedManual
constexpr int32_t kOffsetStackingOn = 3;
constexpr int32_t kMediaPathLongEdgeDuplex = 3;   // prtMediaPathType
constexpr int32_t kMediaPathShortEdgeDuplex = 4;

const char kSysName[] = "1.3.6.1.2.1.1.5";
const char kHrMemorySize[] = "1.3.6.1.2.1.25.2.2";
const char kNetWareSapUnitName[] = "1.3.6.1.4.1.61801.8.64.4.2.1.7.10.19159104";
const char kBookletDetail[] = "1.3.6.1.4.1.61801.8.53.13.2.1.8.124.6.1";

const char* const kHrDeviceColumns[] = {
    "1.3.6.1.2.1.25.3.2.1.1",  // hrDeviceIndex
    "1.3.6.1.2.1.25.3.2.1.3",  // hrDeviceDescr
    "1.3.6.1.2.1.25.3.2.1.5",  // hrDeviceStatus
};

const char* const kInputColumns[] = {
    "1.3.6.1.2.1.43.8.2.1.2",   // prtInputType
    "1.3.6.1.2.1.43.8.2.1.3",   // prtInputDimUnit
    "1.3.6.1.2.1.43.8.2.1.6",   // prtInputMediaDimFeedDirChosen
    "1.3.6.1.2.1.43.8.2.1.7",   // prtInputMediaDimXFeedDirChosen
    "1.3.6.1.2.1.43.8.2.1.8",   // prtInputCapacityUnit
    "1.3.6.1.2.1.43.8.2.1.9",   // prtInputMaxCapacity
    "1.3.6.1.2.1.43.8.2.1.10",  // prtInputCurrentLevel
    "1.3.6.1.2.1.43.8.2.1.13",  // prtInputName
    "1.3.6.1.2.1.43.8.2.1.18",  // prtInputDescription
    "1.3.6.1.2.1.43.8.2.1.21",  // prtInputMediaType
};

const char* const kOutputColumns[] = {
    "1.3.6.1.2.1.43.9.2.1.2",   // prtOutputType
    "1.3.6.1.2.1.43.9.2.1.7",   // prtOutputName
    "1.3.6.1.2.1.43.9.2.1.24",  // prtOutputOffsetStacking
};

const char* const kMediaPathColumns[] = {
    "1.3.6.1.2.1.43.13.4.1.9",  // prtMediaPathType
};

const char* const kFaxObjects[] = {
    "1.3.6.1.4.1.61801.8.64.4.2.1.5.10.13124141",  // ISDN G4 kit
    "1.3.6.1.4.1.61801.8.64.4.2.1.5.10.13124142",  // line switch kit
    "1.3.6.1.4.1.61801.8.64.4.2.1.5.10.13124143",  // maximum speed dial
};

// Vendor device detail settings; the sixth only on devices with a fax unit.
const char* const kDetailObjects[] = {
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.1.1.1",    // paper size group
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.1.1.2",    // paper size 8K
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.1.1.4",    // print limited colour
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.1.1.5",    // minimum password length
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.1.1.6",    // user prompt
    "1.3.6.1.4.1.61801.8.53.13.2.1.6.104.1.1",  // fax type
};

}  // namespace

IKalGetData* CZelDevCommOption::create_request(int* status) const {
  int rc = kKalOk;
  IKalGetData* request = m_pfnCreateGetData(&rc);
  if (!request) {
    if (rc == kKalOk) rc = kKalErrNoMemory;
    log_step("kal_create_get_data()", rc);
  }
  kal_set_status(status, request ? kKalOk : rc);
  return request;
}

int CZelDevCommOption::init_request(IKalGetData* request) const {
  if (m_bCommunitySet) request->set_community(m_szCommunity);
  KalUsmParams usm;
  usm.security_name = m_usm.security_name;
  usm.security_level = m_usm.security_level;
  usm.auth_protocol = m_usm.auth_protocol;
  usm.priv_protocol = m_usm.priv_protocol;
  usm.auth_pass_phrase = m_usm.auth_pass_phrase;
  usm.priv_pass_phrase = m_usm.priv_pass_phrase;
  usm.context_name = m_usm.context_name;
  return request->init(m_szAddress, m_eProtocol, m_usPort, m_lVersion, &usm, m_ulTimeout,
                       m_ulRetry, m_ulMaxMsgSize);
}

namespace {

// One refresh is one call: its exchanges share one request object (and so
// one target, session and socket) when the object can be emptied for the
// next exchange. The scope lives on the refreshing thread's stack for the
// refresh only; nothing is kept from one refresh to the next.
struct RefreshScope {
  const void* owner;
  OwnedRequest request;
  RefreshScope* outer;
};
thread_local RefreshScope* t_refresh = nullptr;

class RefreshScopeGuard {
 public:
  explicit RefreshScopeGuard(const void* owner) : scope_{owner, OwnedRequest(), t_refresh} {
    t_refresh = &scope_;
  }
  ~RefreshScopeGuard() { t_refresh = scope_.outer; }
  RefreshScopeGuard(const RefreshScopeGuard&) = delete;
  RefreshScopeGuard& operator=(const RefreshScopeGuard&) = delete;

 private:
  RefreshScope scope_;
};

// Steps 1 to 4 of every refresh exchange: create, community, init, add. In
// a refresh, the request object of the last exchange is emptied and used
// again instead when it allows it. *request is lent: *owned or the refresh
// holds it.
template <class Option>
int prepare(const Option& option, IKalGetData* (Option::*create)(int*) const,
            int (Option::*init)(IKalGetData*) const, const char* const* oids, size_t count,
            bool instance0, OwnedRequest* owned, IKalGetData** request) {
  RefreshScope* scope = (t_refresh && t_refresh->owner == &option) ? t_refresh : nullptr;
  IKalGetData* lent = nullptr;
  if (scope && scope->request && scope->request->clear_oids() == kKalOk) {
    lent = scope->request.get();
  } else {
    int rc = kKalOk;
    OwnedRequest fresh((option.*create)(&rc));
    if (!fresh) return rc;
    rc = (option.*init)(fresh.get());
    if (rc != kKalOk) {
      log_step("pGetData->init() Fail", rc);
      return rc;
    }
    lent = fresh.get();
    if (scope && fresh->clear_oids() == kKalOk) {
      scope->request = std::move(fresh);
    } else {
      *owned = std::move(fresh);
    }
  }
  for (size_t i = 0; i < count; ++i) {
    const int rc = lent->add_oid_string(oids[i], instance0);
    if (rc != kKalOk) {
      log_step("pGetData->add_oid_string() Fail", rc);
      return rc;
    }
  }
  *request = lent;
  return kKalOk;
}

int exchanged(int rc) {
  if (rc != kKalOk) log_step("pGetData->get_data() Fail", rc);
  return rc;
}

}  // namespace

int CZelDevCommOption::run_get_text(const char* oid, bool instance0, char* out,
                                    size_t size) const {
  OwnedRequest owned;
  IKalGetData* request = nullptr;
  int rc = prepare(*this, &CZelDevCommOption::create_request, &CZelDevCommOption::init_request,
                   &oid, 1, instance0, &owned, &request);
  if (rc != kKalOk) return rc;
  return exchanged(request->get_data(out, size));
}

int CZelDevCommOption::run_get_int(const char* oid, bool instance0, int32_t* out) const {
  OwnedRequest owned;
  IKalGetData* request = nullptr;
  int rc = prepare(*this, &CZelDevCommOption::create_request, &CZelDevCommOption::init_request,
                   &oid, 1, instance0, &owned, &request);
  if (rc != kKalOk) return rc;
  return exchanged(request->get_data(out));
}

int CZelDevCommOption::run_get_ints(const char* const* oids, int count, int32_t* out) const {
  OwnedRequest owned;
  IKalGetData* request = nullptr;
  int rc = prepare(*this, &CZelDevCommOption::create_request, &CZelDevCommOption::init_request,
                   oids, static_cast<size_t>(count), false, &owned, &request);
  if (rc != kKalOk) return rc;
  return exchanged(request->get_data(out, count));
}

int CZelDevCommOption::run_walk(const char* const* columns, size_t count,
                                IKalWalkRowSink* sink) const {
  OwnedRequest owned;
  IKalGetData* request = nullptr;
  const int rc = prepare(*this, &CZelDevCommOption::create_request,
                         &CZelDevCommOption::init_request, columns, count, false, &owned,
                         &request);
  if (rc != kKalOk) return rc;
  return exchanged(request->walk_rows(columns[0], sink));
}

namespace {

// Turns each row of a walk into an entry as it arrives: convert(const
// ZelWalkRow&, Entry*). The entries are only staged: a procedure applies
// them once the walk has succeeded, so a failed walk changes no member, as
// when the rows were kept until the table ended.
template <class Entry, class Convert>
class StagingSink final : public IKalWalkRowSink {
 public:
  StagingSink(std::vector<Entry>* staged, Convert convert)
      : staged_(staged), convert_(convert) {}
  int row(const IKasPdu* answer) override {
    Entry entry{};
    convert_(ZelWalkRow(answer), &entry);
    try {
      staged_->push_back(entry);
    } catch (const std::bad_alloc&) {
      return kKalErrNoMemory;
    }
    return kKalOk;
  }

 private:
  std::vector<Entry>* staged_;
  Convert convert_;
};

}  // namespace

template <class Entry, class Convert>
int CZelDevCommOption::walk_staged(const char* const* columns, size_t count, size_t expected,
                                   std::vector<Entry>* staged, Convert convert) const {
  staged->reserve(expected);
  StagingSink<Entry, Convert> sink(staged, convert);
  return run_walk(columns, count, &sink);
}

int CZelDevCommOption::refresh_options() {
  initialize_data();
  using Procedure = int (CZelDevCommOption::*)();
  static const Procedure kProcedures[] = {
      &CZelDevCommOption::refresh_system_attributes,
      &CZelDevCommOption::refresh_hrdevice_table,
      &CZelDevCommOption::refresh_input_tray_table,
      &CZelDevCommOption::refresh_output_tray_table,
      &CZelDevCommOption::refresh_memory_size,
      &CZelDevCommOption::refresh_prt_media_table,
      &CZelDevCommOption::refresh_netware_attributes,
      &CZelDevCommOption::refresh_fax_attributes,
      &CZelDevCommOption::refresh_vdm_hrdev_detail_setting,
      &CZelDevCommOption::refresh_finisher_booklet_info,
  };
  const RefreshScopeGuard call(this);
  for (Procedure procedure : kProcedures) {
    const int rc = (this->*procedure)();
    if (rc != kKalOk) return rc;
  }
  return kKalOk;
}

int CZelDevCommOption::refresh_system_attributes() {
  char text[kLongTextSize] = "";
  const int rc = run_get_text(kSysName, true, text, sizeof(text));
  if (rc != kKalOk) return rc;
  kal_copy_text(m_szSysName, text);
  return kKalOk;
}

int CZelDevCommOption::refresh_hrdevice_table() {
  std::vector<DeviceEntry> staged;
  const int rc =
      walk_staged(kHrDeviceColumns, std::size(kHrDeviceColumns),
                  static_cast<size_t>(kMaxDevices), &staged,
                  [](const ZelWalkRow& row, DeviceEntry* entry) {
                    entry->index = row.get_int(0);
                    row.get_text(1, entry->descr, sizeof(entry->descr));
                    entry->status = row.get_int(2);
                  });
  if (rc != kKalOk) return rc;
  int result = kKalOk;
  for (const DeviceEntry& entry : staged) {
    if (entry.index == kRowController) {
      kal_copy_text(m_szRomVersion, entry.descr);
      result = parse_version_value();
    }
    // Rows beyond the table are dropped: no device of this family has as many.
    if (m_lDeviceCount < kMaxDevices) m_devices[m_lDeviceCount++] = entry;
  }
  return result;
}

namespace {

// One prtInputTable row as walked: the entry's own columns, and those it is
// converted from once the walk has succeeded.
struct InputRow {
  CZelDevCommOption::InputTrayEntry entry;
  int32_t dim_unit;
  int32_t capacity_unit;
  int32_t maximum;
  int32_t current;
};

}  // namespace

int CZelDevCommOption::refresh_input_tray_table() {
  std::vector<InputRow> staged;
  const int rc = walk_staged(
      kInputColumns, std::size(kInputColumns), static_cast<size_t>(kMaxTrays),
      &staged, [](const ZelWalkRow& row, InputRow* r) {
        InputTrayEntry& entry = r->entry;
        entry.type = row.get_int(0);
        r->dim_unit = row.get_int(1);
        entry.feed_dim_chosen = row.get_int(2);
        entry.cross_feed_dim_chosen = row.get_int(3);
        r->capacity_unit = row.get_int(4);
        r->maximum = row.get_int(5);
        r->current = row.get_int(6);
        row.get_text(7, entry.name, sizeof(entry.name));
        row.get_text(8, entry.description, sizeof(entry.description));
        row.get_text(9, entry.media_type, sizeof(entry.media_type));
      });
  if (rc != kKalOk) return rc;
  int32_t ordinal = 0;
  for (InputRow& r : staged) {
    InputTrayEntry& entry = r.entry;
    // The ordinal counts every row walked, kept or not.
    entry.ordinal = ++ordinal;
    entry.medium_size = kZelMediumSizeUnknown;
    entry.medium_direction = kZelMediumDirectionUnknown;
    MediaDimensionToMediumSize(r.dim_unit, entry.feed_dim_chosen, entry.cross_feed_dim_chosen,
                               &entry.medium_size, &entry.medium_direction);
    entry.max_capacity = -1;
    entry.level_percent = -1;
    ConvertMediumLevel(r.capacity_unit, r.maximum, r.current, &entry.max_capacity,
                       &entry.level_percent);
    if (entry.type == kInputTypeSheetFeedManual) m_bManualTray = true;
    if (m_lInputTrayCount < kMaxTrays) m_inputTrays[m_lInputTrayCount++] = entry;
  }
  return kKalOk;
}

int CZelDevCommOption::refresh_output_tray_table() {
  std::vector<OutputTrayEntry> staged;
  const int rc = walk_staged(
      kOutputColumns, std::size(kOutputColumns), static_cast<size_t>(kMaxTrays),
      &staged, [](const ZelWalkRow& row, OutputTrayEntry* entry) {
        entry->type = row.get_int(0);
        row.get_text(1, entry->name, sizeof(entry->name));
        entry->offset_stacking = row.get_int(2);
      });
  if (rc != kKalOk) return rc;
  int32_t ordinal = 0;
  for (OutputTrayEntry entry : staged) {
    entry.ordinal = ++ordinal;
    if (entry.offset_stacking == kOffsetStackingOn) m_bOffsetCatch = true;
    if (m_lOutputTrayCount < kMaxTrays) m_outputTrays[m_lOutputTrayCount++] = entry;
  }
  return kKalOk;
}

int CZelDevCommOption::refresh_memory_size() {
  int32_t kilobytes = 0;
  const int rc = run_get_int(kHrMemorySize, true, &kilobytes);
  if (rc != kKalOk) return rc;
  m_lMemorySize = kilobytes;
  return kKalOk;
}

int CZelDevCommOption::refresh_prt_media_table() {
  // Only whether a duplex path exists matters: nothing is staged but that.
  struct Sink final : IKalWalkRowSink {
    int row(const IKasPdu* answer) override {
      const int32_t type = ZelWalkRow(answer).get_int(0);
      if (type == kMediaPathLongEdgeDuplex || type == kMediaPathShortEdgeDuplex) duplex = true;
      return kKalOk;
    }
    bool duplex = false;
  } sink;
  const int rc = run_walk(kMediaPathColumns, std::size(kMediaPathColumns), &sink);
  if (rc != kKalOk) return rc;
  if (sink.duplex) m_bDuplexModule = true;
  return kKalOk;
}

int CZelDevCommOption::refresh_netware_attributes() {
  char text[kLongTextSize] = "";
  const int rc = run_get_text(kNetWareSapUnitName, false, text, sizeof(text));
  if (rc != kKalOk) return rc;
  kal_copy_text(m_szNetWareSAPUnitName, text);
  return kKalOk;
}

int CZelDevCommOption::refresh_fax_attributes() {
  if (!has_device_index(kRowFaxUnit)) return kKalOk;
  int32_t values[3] = {0, 0, 0};
  const int rc = run_get_ints(kFaxObjects, 3, values);
  if (rc != kKalOk) return rc;
  if (values[0] == 1) m_bFaxISDNG4Kit = true;
  if (values[1] == 1) m_bFaxLineSwitchKit = true;
  m_lFaxMaxSpeedDial = values[2];
  return kKalOk;
}

int CZelDevCommOption::refresh_vdm_hrdev_detail_setting() {
  const int count = has_device_index(kRowFaxUnit) ? 6 : 5;
  int32_t values[6] = {0, 0, 0, 0, 0, -1};
  const int rc = run_get_ints(kDetailObjects, count, values);
  if (rc != kKalOk) return rc;
  // A negative answer means "not set" and leaves the member as it was.
  int32_t* const members[6] = {&m_lPaperSizeGroupSetting,    &m_lPaperSize8KSetting,
                               &m_lPrintLimitedColorSetting, &m_lMinPasswordLength,
                               &m_lUserPromptSetting,        &m_lFaxType};
  for (int i = 0; i < count; ++i) {
    if (values[i] >= 0) *members[i] = values[i];
  }
  return kKalOk;
}

int CZelDevCommOption::refresh_finisher_booklet_info() {
  if (!has_device_index(kRowBooklet)) return kKalOk;
  char text[kLongTextSize] = "";
  const int rc = run_get_text(kBookletDetail, false, text, sizeof(text));
  if (rc != kKalOk) return rc;
  // A text of another form is no failure: the impression stays 0.
  zel_parse_booklet_impression(text, &m_lFinisherBookletImpression);
  return kKalOk;
}
