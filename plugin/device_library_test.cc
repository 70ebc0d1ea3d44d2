// Device open and every table reader through the built library, loaded with
// dlopen as a host loads it, against snmpsimd serving the shared printer
// recordings (copies with sysObjectID.0 rewritten to the supported model)
// and the supported-device recording. Every field of every record is
// compared with what the independent model computes from the recording.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/owned.h"
#include "plugin/device_model_test_util.h"
#include "plugin/library_api_test_util.h"
#include "plugin/zel_api.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/scripted_responder.h"
#include "testing/snmpsim_agent.h"

namespace {

// ctest runs every test case in its own process, possibly in parallel, and
// two snmpsimd on one address would silently share the requests: each case
// serves its agent on an address of its own.
const char* const kCaseOrder[] = {
    "EveryPrinterRecordingGivesTheRecordsItsTablesDefine",
    "UnchangedRecordingsAreRefusedAsAnotherModel",
    "SupportedDeviceEveryTableJobsCharSetsAndTheTimeOfAFullRead",
    "VendorTrayNumbersPairByPositionLongTextsAreCutAndNoTraysCountNone",
    "CancelSendsOneSetWithTheWriteCommunity",
    "OpenRulesProtocolsReplacingAndTheCommunity",
};

std::string agent_address_for(const std::string& testName) {
  int octet = 9;
  for (size_t i = 0; i < sizeof(kCaseOrder) / sizeof(kCaseOrder[0]); ++i) {
    if (testName == kCaseOrder[i]) octet = 10 + static_cast<int>(i);
  }
  return "127.0.10." + std::to_string(octet);
}
constexpr char kSupportedModel[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1";
constexpr int kPrinterCount = 14;
// Short: printer-13 leaves some requests unanswered.
constexpr int kTimeoutMs = 300;

// Writes dir/COMMUNITY.snmprec from `src` with edit(line) applied to every
// line (an empty result drops the line).
template <class Edit>
void write_edited(const std::string& src, const std::string& dir, const std::string& community,
                  Edit edit) {
  std::ifstream in(src);
  std::ofstream out(dir + "/" + community + ".snmprec");
  std::string line;
  while (std::getline(in, line)) {
    line = edit(line);
    if (!line.empty()) out << line << "\n";
  }
}

bool starts_with(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0;
}

std::string printer_name(int n) {
  char name[32];
  std::snprintf(name, sizeof(name), "printer-%02d", n);
  return name;
}

using Api = zeltest::LibraryApi;

// --- field-by-field comparison ------------------------------------------

template <size_t N>
void expect_field(const char (&got)[N], const char (&want)[N], const char* what) {
  EXPECT_EQ(0, std::memcmp(got, want, N))
      << what << ": got \"" << std::string(got, strnlen(got, N)) << "\" want \""
      << std::string(want, strnlen(want, N)) << "\"";
}

#define EQ(f) EXPECT_EQ(g.f, w.f) << #f
#define TEXT(f) expect_field(g.f, w.f, #f)
void expect_record(const ZelStorageInfo& g, const ZelStorageInfo& w) {
  EQ(type); EQ(allocationUnits); EQ(size); TEXT(description);
}
void expect_record(const ZelDeviceInfo& g, const ZelDeviceInfo& w) {
  EQ(type); EQ(status); TEXT(description);
}
void expect_record(const ZelInputTrayInfo& g, const ZelInputTrayInfo& w) {
  EQ(type); EQ(dimensionUnit); EQ(mediaDimFeedDeclared); EQ(mediaDimXFeedDeclared);
  EQ(mediaDimFeedChosen); EQ(mediaDimXFeedChosen); EQ(capacityUnit); EQ(maxCapacity);
  EQ(currentLevel); EQ(status); TEXT(mediaName); TEXT(name); TEXT(description);
  TEXT(mediaType); TEXT(mediaColor);
}
void expect_record(const ZelInputTrayInfoEx& g, const ZelInputTrayInfoEx& w) {
  expect_record(g.tray, w.tray);
  EQ(vendorTrayNumber);
  const uint8_t zeros[8] = {};
  EXPECT_EQ(0, std::memcmp(g.reserved, zeros, sizeof(zeros)));
}
void expect_record(const ZelOutputTrayInfo& g, const ZelOutputTrayInfo& w) {
  EQ(type); EQ(status); TEXT(name); TEXT(description);
}
void expect_record(const ZelTonerInfo& g, const ZelTonerInfo& w) {
  EQ(supplyUnit); EQ(maxCapacity); EQ(level); TEXT(description);
}
void expect_record(const ZelAlertInfo& g, const ZelAlertInfo& w) {
  EQ(severityLevel); EQ(group); EQ(groupIndex); EQ(location); EQ(code); TEXT(description);
}
void expect_record(const ZelJobInfo& g, const ZelJobInfo& w) {
  EQ(jobType); EQ(jobState); EQ(jobInteger2); EQ(jobCounter1); EQ(jobCounter2);
  TEXT(jobText1); TEXT(jobText2); TEXT(jobText3); TEXT(jobId); TEXT(jobTextDirect);
  for (const auto& [gt, wt] : {std::pair{g.time1, w.time1}, std::pair{g.time2, w.time2},
                               std::pair{g.time3, w.time3}}) {
    EXPECT_EQ(0, std::memcmp(&gt, &wt, sizeof gt)) << "job time";
  }
}
#undef EQ
#undef TEXT

// --- the shared agent -----------------------------------------------------

class DeviceLibrary : public testing::Test {
 protected:
  // Started by the first test case of the process, kept for the others.
  static void start_agent(const std::string& address) {
    agent_address_ = new std::string(address);
    if (!zeltest::have_snmpsimd()) return;
    data_dir_ = new std::string(zeltest::make_temp_dir("device-library"));
    for (int n = 1; n <= kPrinterCount; ++n) {
      const std::string src = zeltest::shared_recording(printer_name(n) + ".snmprec");
      if (src.empty()) return;
      zeltest::write_recording(src, *data_dir_, printer_name(n), kSupportedModel);
      zeltest::write_recording(src, *data_dir_, "orig-" + printer_name(n));
    }
    const std::string supported =
        zeltest::repo_file("options/testdata/supported-device.snmprec");
    zeltest::write_recording(supported, *data_dir_, "supported");
    // Four vendor tray numbers for five trays, and texts longer than fields.
    write_edited(supported, *data_dir_, "short-vendor", [](const std::string& line) {
      if (starts_with(line, "1.3.6.1.4.1.61802.2.9999.43.8.2.1.2.1.5|")) return std::string();
      if (starts_with(line, "1.3.6.1.2.1.43.8.2.1.12.1.1|")) {
        return "1.3.6.1.2.1.43.8.2.1.12.1.1|4|" + std::string(100, 'm');
      }
      if (starts_with(line, "1.3.6.1.2.1.43.8.2.1.18.1.2|")) {
        return "1.3.6.1.2.1.43.8.2.1.18.1.2|4|" + std::string(300, 'D');
      }
      return line;
    });
    // No input trays at all.
    write_edited(supported, *data_dir_, "no-trays", [](const std::string& line) {
      return starts_with(line, "1.3.6.1.2.1.43.8.2.") ? std::string() : line;
    });
    agent_ = new zeltest::SnmpsimAgent;
    std::string error;
    if (!agent_->start(address, *data_dir_, "supported", &error)) {
      start_error_ = new std::string(error);
      delete agent_;
      agent_ = nullptr;
      return;
    }
    // snmpsimd indexes a recording on its first request, which can take
    // longer than the short time-out the tests use: ask each one once.
    for (int n = 1; n <= kPrinterCount; ++n) {
      zeltest::wait_for_agent(address, printer_name(n), 20000);
      zeltest::wait_for_agent(address, "orig-" + printer_name(n), 20000);
    }
    for (const char* community : {"short-vendor", "no-trays"}) {
      zeltest::wait_for_agent(address, community, 20000);
    }
  }
  static void TearDownTestSuite() {
    delete agent_;
    agent_ = nullptr;
  }

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(api_.load(ZEL_LIBRARY_PATH, &error)) << error;
    if (!agent_address_) {
      start_agent(agent_address_for(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    agent_host_ = agent_address_->c_str();
    if (!agent_) {
      GTEST_SKIP() << "no snmpsimd agent or shared recordings"
                   << (start_error_ ? ": " + *start_error_ : std::string());
    }
    ASSERT_EQ(0, api_.ZelInit(&handle_));
  }
  void TearDown() override {
    if (handle_) api_.ZelUnInit(handle_);
  }

  int open(const std::string& community, int timeoutMs = kTimeoutMs) {
    EXPECT_EQ(0, api_.ZelCommandString(handle_, "CmdSetCommunityGetOption", community.c_str()));
    return api_.ZelInitDevice(handle_, agent_host_, 1, timeoutMs, 0);
  }

  // Runs a count call and reads every record; compares with `want`.
  template <class Record, class Count, class Get>
  void expect_table(const char* table, Count count, Get get, int wantStatus,
                    const std::vector<Record>& want) {
    SCOPED_TRACE(table);
    int32_t n = -99;
    const int rc = count(handle_, &n);
    ASSERT_EQ(wantStatus, rc);
    if (rc != 0) {
      EXPECT_EQ(-99, n) << "a failed count call writes no count";
      return;
    }
    ASSERT_EQ(static_cast<int32_t>(want.size()), n);
    for (uint32_t i = 0; i < want.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(i));
      Record got;
      std::memset(&got, 0xA5, sizeof(got));
      ASSERT_EQ(0, get(handle_, i, &got));
      expect_record(got, want[i]);
    }
    Record untouched;
    EXPECT_EQ(-11, get(handle_, static_cast<uint32_t>(want.size()), &untouched));
    EXPECT_EQ(-11, get(handle_, UINT32_MAX, &untouched));
  }

  // Every table, the printer record and the character sets, compared with
  // the model (with `require_ok`, every table must read).
  void expect_every_table(const zeltest::DeviceModel& model, bool require_ok) {
    int status = 0;
    auto check = [&](const char* what) {
      if (require_ok) {
        EXPECT_EQ(0, status) << what;
      }
    };
    auto storage = model.storage(&status);
    check("storage");
    expect_table("storage", api_.ZelGetNumberOfStorageInfo, api_.ZelGetStorageInfo, status,
                 storage);
    auto devices = model.devices(&status);
    check("devices");
    expect_table("devices", api_.ZelGetNumberOfDeviceInfo, api_.ZelGetDeviceInfo, status,
                 devices);
    const ZelPrinterInfo want = model.printer(&status);
    check("printer");
    ZelPrinterInfo got{-9, -9};
    ASSERT_EQ(status, api_.ZelGetPrinterInfo(handle_, &got));
    if (status == 0) {
      EXPECT_EQ(want.printerStatus, got.printerStatus);
      EXPECT_EQ(want.detectedErrorState, got.detectedErrorState);
    }
    auto trays = model.input_trays(&status);
    check("input trays");
    expect_table("input trays", api_.ZelGetNumberOfInputTrayInfo, api_.ZelGetInputTrayInfo,
                 status, trays);
    auto traysEx = model.input_trays_ex(&status);
    check("input trays Ex");
    expect_table("input trays Ex", api_.ZelGetNumberOfInputTrayInfoEx,
                 api_.ZelGetInputTrayInfoEx, status, traysEx);
    auto outputs = model.output_trays(&status);
    check("output trays");
    expect_table("output trays", api_.ZelGetNumberOfOutputTrayInfo, api_.ZelGetOutputTrayInfo,
                 status, outputs);
    auto toners = model.toners(&status);
    check("toners");
    expect_table("toners", api_.ZelGetNumberOfTonerInfo, api_.ZelGetTonerInfo, status, toners);
    auto alerts = model.alerts(&status);
    check("alerts");
    expect_table("alerts", api_.ZelGetNumberOfAlertInfo, api_.ZelGetAlertInfo, status, alerts);
    for (uint32_t selector = 0; selector <= 2; ++selector) {
      auto jobs = model.jobs(selector, &status);
      check("jobs");
      expect_table(
          "jobs",
          [&](ZelContext* h, int32_t* c) { return api_.ZelGetNumberOfJobInfo(h, selector, c); },
          api_.ZelGetJobInfo, status, jobs);
    }
    for (uint32_t selector = 0; selector <= 1; ++selector) {
      const int32_t wantSet = model.char_set(selector == 1, &status);
      int32_t gotSet = -9;
      ASSERT_EQ(status, api_.ZelGetCharSet(handle_, selector, &gotSet));
      if (status == 0) {
        EXPECT_EQ(wantSet, gotSet);  // 0 without a localization row
      }
    }
  }

  static zeltest::SnmpsimAgent* agent_;
  static std::string* agent_address_;
  static std::string* data_dir_;
  static std::string* start_error_;
  Api api_;
  ZelContext* handle_ = nullptr;
  const char* agent_host_ = nullptr;
};

zeltest::SnmpsimAgent* DeviceLibrary::agent_ = nullptr;
std::string* DeviceLibrary::agent_address_ = nullptr;
std::string* DeviceLibrary::data_dir_ = nullptr;
std::string* DeviceLibrary::start_error_ = nullptr;

zeltest::DeviceModel load_model(const std::string& path) {
  zeltest::DeviceModel model;
  std::string error;
  EXPECT_TRUE(model.load(path, &error)) << error;
  return model;
}

TEST_F(DeviceLibrary, EveryPrinterRecordingGivesTheRecordsItsTablesDefine) {
  for (int n = 1; n <= kPrinterCount; ++n) {
    const std::string name = printer_name(n);
    SCOPED_TRACE(name);
    const zeltest::DeviceModel model =
        load_model(zeltest::shared_recording(name + ".snmprec"));
    ASSERT_EQ(0, open(name));
    expect_every_table(model, false);
  }
}

TEST_F(DeviceLibrary, UnchangedRecordingsAreRefusedAsAnotherModel) {
  for (int n = 1; n <= kPrinterCount; ++n) {
    SCOPED_TRACE(printer_name(n));
    EXPECT_EQ(-2, open("orig-" + printer_name(n)));
    int32_t count = -1;
    EXPECT_EQ(-8, api_.ZelGetNumberOfStorageInfo(handle_, &count));
    EXPECT_EQ(0, api_.ZelIsSupportedOID(handle_, kSupportedModel));
    EXPECT_EQ(1, api_.ZelIsSupportedOID(handle_, ""));
  }
}

TEST_F(DeviceLibrary, SupportedDeviceEveryTableJobsCharSetsAndTheTimeOfAFullRead) {
  const zeltest::DeviceModel model =
      load_model(zeltest::repo_file("options/testdata/supported-device.snmprec"));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, open("supported", 2000));
  model.requests = 1;  // the model check of device open
  expect_every_table(model, true);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::printf("full read of the supported device: %lld ms, %d model requests\n",
              static_cast<long long>(elapsed.count()), model.requests);
  // What the recording holds, independently of the model.
  int status = 0;
  EXPECT_EQ(4u, model.toners(&status).size());
  auto ex = model.input_trays_ex(&status);
  ASSERT_EQ(5u, ex.size());
  EXPECT_EQ(6, ex[3].vendorTrayNumber);
  ZelPrinterInfo printer{};
  ASSERT_EQ(0, api_.ZelGetPrinterInfo(handle_, &printer));
  EXPECT_EQ(0x40, printer.detectedErrorState);
  // Three jobs, two of them in state 17.
  int32_t count = 0;
  ASSERT_EQ(0, api_.ZelGetNumberOfJobInfo(handle_, 0, &count));
  ASSERT_EQ(3, count);
  ZelJobInfo job;
  ASSERT_EQ(0, api_.ZelGetJobInfo(handle_, 0, &job));
  EXPECT_STREQ("JOB00001", job.jobId);
  EXPECT_STREQ("Print", job.jobText1);
  EXPECT_STREQ("Completed", job.jobText2);
  EXPECT_STREQ("alice", job.jobText3);
  EXPECT_STREQ("report.pdf", job.jobTextDirect);
  EXPECT_EQ(4, job.jobType);
  EXPECT_EQ(17, job.jobState);
  const ZelDateTime want{2021, 6, 1, 0, 30, 15};
  EXPECT_EQ(0, std::memcmp(&want, &job.time1, sizeof want));
  ASSERT_EQ(0, api_.ZelGetNumberOfJobInfo(handle_, 1, &count));
  EXPECT_EQ(1, count);
  ASSERT_EQ(0, api_.ZelGetNumberOfJobInfo(handle_, 2, &count));
  EXPECT_EQ(2, count);
  for (uint32_t selector : {0u, 1u}) {
    int32_t charSet = 0;
    ASSERT_EQ(0, api_.ZelGetCharSet(handle_, selector, &charSet));
    EXPECT_EQ(106, charSet);
  }
  EXPECT_EQ(-2, api_.ZelGetCharSet(handle_, 2, &count));
  EXPECT_EQ(-2, api_.ZelGetNumberOfJobInfo(handle_, 3, &count));
}

TEST_F(DeviceLibrary, VendorTrayNumbersPairByPositionLongTextsAreCutAndNoTraysCountNone) {
  const zeltest::DeviceModel model = load_model(*data_dir_ + "/short-vendor.snmprec");
  ASSERT_EQ(0, open("short-vendor", 2000));
  int status = 0;
  auto trays = model.input_trays_ex(&status);
  ASSERT_EQ(0, status);
  ASSERT_EQ(5u, trays.size());
  EXPECT_EQ(-1, trays[4].vendorTrayNumber);
  expect_table("input trays Ex", api_.ZelGetNumberOfInputTrayInfoEx, api_.ZelGetInputTrayInfoEx,
               0, trays);
  expect_table("input trays", api_.ZelGetNumberOfInputTrayInfo, api_.ZelGetInputTrayInfo, 0,
               model.input_trays(&status));
  ZelInputTrayInfo tray;
  ASSERT_EQ(0, api_.ZelGetInputTrayInfo(handle_, 0, &tray));
  EXPECT_EQ(std::string(63, 'm'), tray.mediaName);
  ASSERT_EQ(0, api_.ZelGetInputTrayInfo(handle_, 1, &tray));
  EXPECT_EQ(std::string(255, 'D'), tray.description);

  // No input trays at all: none counted, and the Ex count fails.
  ASSERT_EQ(0, open("no-trays", 2000));
  int32_t count = -9;
  ASSERT_EQ(0, api_.ZelGetNumberOfInputTrayInfo(handle_, &count));
  EXPECT_EQ(0, count);
  count = -9;
  EXPECT_EQ(-1, api_.ZelGetNumberOfInputTrayInfoEx(handle_, &count));
  EXPECT_EQ(-9, count);
  ZelInputTrayInfoEx trayEx;
  EXPECT_EQ(-11, api_.ZelGetInputTrayInfoEx(handle_, 0, &trayEx));
}

TEST_F(DeviceLibrary, CancelSendsOneSetWithTheWriteCommunity) {
  // A responder that answers the model check and records the set.
  zeltest::ScriptedResponder responder;
  std::string error;
  ASSERT_TRUE(responder.start(
      "127.0.10.2", 161,
      [](const zeltest::ScriptedRequest& request) -> std::vector<zeltest::ScriptedReply> {
        if (request.decode_status != 0) return {};
        if (request.type == kKasPduSet) return {{zeltest::echo_response(request)}};
        KalOwned<IKasPdu> pdu(kas_create_pdu());
        pdu->append_pair(kas_create_oid_from_text("1.3.6.1.2.1.1.2.0"),
                         kas_create_oid_from_text(kSupportedModel));
        return {{zeltest::response_with(request, pdu.get())}};
      },
      &error))
      << error;
  ASSERT_EQ(0, api_.ZelCommandString(handle_, "CmdSetCommunityGetOption", "reader"));
  ASSERT_EQ(0, api_.ZelInitDevice(handle_, "127.0.10.2", 1, 2000, 0));
  ASSERT_EQ(0, api_.ZelCancelJob(handle_, "AB"));
  ASSERT_EQ(0, api_.ZelCommandString(handle_, "CmdSetCommunityWrite", "writer"));
  ASSERT_EQ(0, api_.ZelCancelJob(handle_, "AB")) << "still the community of the open";
  ASSERT_EQ(0, api_.ZelInitDevice(handle_, "127.0.10.2", 1, 2000, 0));
  ASSERT_EQ(0, api_.ZelCancelJob(handle_, "JOB00001"));

  std::vector<zeltest::ScriptedRequest> sets;
  for (const auto& r : responder.requests()) {
    if (r.type == kKasPduSet) {
      sets.push_back(r);
    } else {
      EXPECT_EQ("reader", r.community);
    }
  }
  ASSERT_EQ(3u, sets.size());
  const char* communities[] = {"dazavud", "dazavud", "writer"};
  const char* oids[] = {"1.3.6.1.4.1.61801.8.76.3.2.1.1.101.2.65.66",
                        "1.3.6.1.4.1.61801.8.76.3.2.1.1.101.2.65.66",
                        "1.3.6.1.4.1.61801.8.76.3.2.1.1.101.8.74.79.66.48.48.48.48.49"};
  for (size_t i = 0; i < sets.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(0, sets[i].version) << "SNMPv1";
    EXPECT_EQ(communities[i], sets[i].community);
    ASSERT_EQ(1u, sets[i].oids.size());
    EXPECT_EQ(oids[i], sets[i].oids[0]);
    const IKasVarBind* binding = sets[i].pdu->get_bindings()->at(0);
    ASSERT_NE(nullptr, binding);
    EXPECT_EQ(kKasTagInteger, binding->get_value()->tag());
    EXPECT_EQ(1414, binding->get_value()->get_int());
  }
}

TEST_F(DeviceLibrary, OpenRulesProtocolsReplacingAndTheCommunity) {
  // Protocol three, IPv6 and unknown protocols: refused, no device object.
  EXPECT_EQ(-2, api_.ZelInitDevice(handle_, agent_host_, 3, kTimeoutMs, 0));
  int32_t count = 0;
  EXPECT_EQ(-8, api_.ZelGetNumberOfStorageInfo(handle_, &count));
  EXPECT_EQ(-2, api_.ZelInitDevice(handle_, "::1", 1, kTimeoutMs, 0));
  EXPECT_EQ(-2, api_.ZelInitDevice(handle_, agent_host_, 4, kTimeoutMs, 0));

  // Getters answer out of range before any count call.
  ASSERT_EQ(0, open("supported", 2000));
  ZelStorageInfo storage;
  ZelJobInfo job;
  ZelInputTrayInfoEx trayEx;
  EXPECT_EQ(-11, api_.ZelGetStorageInfo(handle_, 0, &storage));
  EXPECT_EQ(-11, api_.ZelGetJobInfo(handle_, UINT32_MAX, &job));
  EXPECT_EQ(-11, api_.ZelGetInputTrayInfoEx(handle_, 0, &trayEx));

  // A community set after the open waits for the next open.
  ASSERT_EQ(0, api_.ZelCommandString(handle_, "CmdSetCommunityGetOption", "printer-02"));
  ASSERT_EQ(0, api_.ZelGetNumberOfStorageInfo(handle_, &count));
  EXPECT_EQ(4, count) << "still the supported device's community";

  // A failed open keeps the earlier device, which reads with its own community.
  EXPECT_EQ(-2, open("orig-printer-01"));
  ASSERT_EQ(0, api_.ZelGetNumberOfStorageInfo(handle_, &count));
  EXPECT_EQ(4, count);

  // A second open replaces the device: a new object, no rows yet.
  ASSERT_EQ(0, open("printer-02"));
  EXPECT_EQ(-11, api_.ZelGetStorageInfo(handle_, 0, &storage));
  ASSERT_EQ(0, api_.ZelGetNumberOfStorageInfo(handle_, &count));
  EXPECT_EQ(3, count);
}

}  // namespace
