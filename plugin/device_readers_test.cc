// The readers' conversions as table-driven cases, and the readers and device
// open in process over a request object that answers from the supported
// device's recording: what each request was asked (communities, identifiers,
// settings), the character set read once, failure paths, and many
// open-read-close cycles (LeakSanitizer checks them in the sanitized build).
// Cancel, cut texts and the open rules are checked through the built library
// against an agent (device_library_test.cc).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/owned.h"
#include "options/recording_get_data.h"
#include "plugin/alert_reader.h"
#include "plugin/charset_reader.h"
#include "plugin/device_object.h"
#include "plugin/device_reader.h"
#include "plugin/device_rows.h"
#include "plugin/job_reader.h"
#include "plugin/plugin_context.h"
#include "plugin/plugin_usm.h"
#include "plugin/printer_reader.h"
#include "plugin/storage_reader.h"
#include "plugin/toner_reader.h"

namespace {

// --- conversions ----------------------------------------------------------

// The storage, device and job type tables: only the listed last arcs of each
// family, matched by the whole text.
TEST(DeviceConversions, TypeTables) {
  const struct {
    const char* name;
    int32_t (*convert)(const char*);
    const char* text;
    int32_t code;
  } kRows[] = {
      {"storage first", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.1", 1},
      {"storage fixedDisk", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.4", 4},
      {"storage last", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.8", 8},
      {"storage nine is not in the table", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.9", 0},
      {"storage zero", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.0", 0},
      {"storage longer last arc", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.10", 0},
      {"storage leading dot", zel_storage_type_code, ".1.3.6.1.2.1.25.2.1.4", 0},
      {"storage trailing sub-identifier", zel_storage_type_code, "1.3.6.1.2.1.25.2.1.4.0", 0},
      {"storage family only", zel_storage_type_code, "1.3.6.1.2.1.25.2.1", 0},
      {"storage empty", zel_storage_type_code, "", 0},
      {"storage null", zel_storage_type_code, nullptr, 0},
      {"device printer", zel_device_type_code, "1.3.6.1.2.1.25.3.1.5", 5},
      {"device other", zel_device_type_code, "1.3.6.1.2.1.25.3.1.1", 1},
      {"device seven is missing", zel_device_type_code, "1.3.6.1.2.1.25.3.1.7", 0},
      {"device eight is missing", zel_device_type_code, "1.3.6.1.2.1.25.3.1.8", 0},
      {"device nine is missing", zel_device_type_code, "1.3.6.1.2.1.25.3.1.9", 0},
      {"device ten", zel_device_type_code, "1.3.6.1.2.1.25.3.1.10", 10},
      {"device last standard", zel_device_type_code, "1.3.6.1.2.1.25.3.1.21", 21},
      {"device beyond standard", zel_device_type_code, "1.3.6.1.2.1.25.3.1.22", 0},
      {"device vendor 101", zel_device_type_code, "1.3.6.1.4.1.61801.8.52.2.101", 101},
      {"device vendor 152", zel_device_type_code, "1.3.6.1.4.1.61801.8.52.2.152", 152},
      {"device vendor 207", zel_device_type_code, "1.3.6.1.4.1.61801.8.52.2.207", 207},
      {"device vendor 110 missing", zel_device_type_code, "1.3.6.1.4.1.61801.8.52.2.110", 0},
      {"device vendor 155 missing", zel_device_type_code, "1.3.6.1.4.1.61801.8.52.2.155", 0},
      {"device vendor number in standard family", zel_device_type_code,
       "1.3.6.1.2.1.25.3.1.101", 0},
      {"device standard number in vendor family", zel_device_type_code,
       "1.3.6.1.4.1.61801.8.52.2.5", 0},
      {"device prefix of a known type", zel_device_type_code, "1.3.6.1.2.1.25.3.1.1.0", 0},
      {"job first", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.1", 1},
      {"job fourth", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.4", 4},
      {"job last", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.12", 12},
      {"job thirteen", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.13", 0},
      {"job zero", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.0", 0},
      {"job leading zero", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.01", 0},
      {"job deeper", zel_job_type_code, "1.3.6.1.4.1.61801.8.58.2.1.1", 0},
  };
  for (const auto& c : kRows) EXPECT_EQ(c.code, c.convert(c.text)) << c.name;
}

TEST(DeviceConversions, ErrorStateOctetsAreLittleEndian) {
  struct Case {
    const char* name;
    std::string octets;
    uint32_t bits;
  } cases[] = {
      {"lowPaper", std::string("\x40\x00", 2), 0x40},
      {"second octet", std::string("\x00\x80", 2), 0x8000},
      {"five octets, fifth ignored", std::string("\x01\x02\x03\x04\x05", 5), 0x04030201},
      {"empty", std::string(), 0},
      {"one octet", std::string("\x20", 1), 0x20},
      {"top bit of the fourth", std::string("\x00\x00\x00\x80", 4), 0x80000000u},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.bits, static_cast<uint32_t>(zel_error_state_bits(c.octets))) << c.name;
  }
}

TEST(DeviceConversions, DateAndTime) {
  struct Case {
    const char* name;
    std::string octets;
    ZelDateTime want;
  } cases[] = {
      {"eight octets", std::string("\x07\xe5\x06\x01\x00\x1e\x0f\x00", 8), {2021, 6, 1, 0, 30, 15}},
      {"seven octets", std::string("\x07\xe5\x06\x01\x00\x1e\x0f", 7), {2021, 6, 1, 0, 30, 15}},
      {"with time zone", std::string("\x07\xe5\x06\x01\x02\x00\x00\x00\x2b\x00\x00", 11),
       {2021, 6, 1, 2, 0, 0}},
      {"short", std::string("\x07\xe5\x06", 3), {2021, 6, 0, 0, 0, 0}},
      {"empty", std::string(), {0, 0, 0, 0, 0, 0}},
      {"signed octets", std::string("\x00\x01\xff\x80\x7f\x00\x00", 7), {1, -1, -128, 127, 0, 0}},
  };
  for (const Case& c : cases) {
    const ZelDateTime t = zel_date_and_time(c.octets);
    EXPECT_EQ(0, std::memcmp(&t, &c.want, sizeof(t))) << c.name;
  }
}

TEST(DeviceConversions, JobIdentifierFromTheRowIndex) {
  struct Case {
    const char* name;
    const char* index;
    int status;
    const char* id;
  } cases[] = {
      {"eight octets", "101.8.74.79.66.48.48.48.48.49", 0, "JOB00001"},
      {"only eight count", "101.9.74.79.66.48.48.48.48.49.50", 0, "JOB00001"},
      {"short", "101.2.65.66", 0, "AB"},
      {"nothing after the two", "101.0", 0, ""},
      {"one sub-identifier", "101", kKasErrBadIndex, ""},
      {"octet above 255", "101.2.65.256", kKasErrBadIndex, ""},
      {"empty", "", kKasErrBadIndex, ""},
  };
  for (const Case& c : cases) {
    char id[256] = "x";
    EXPECT_EQ(c.status, zel_job_id_from_index(c.index, id, sizeof(id))) << c.name;
    if (c.status == 0) {
      EXPECT_STREQ(c.id, id) << c.name;
    }
  }
  char small[4];
  EXPECT_EQ(0, zel_job_id_from_index("101.8.74.79.66.48.48.48.48.49", small, sizeof(small)));
  EXPECT_STREQ("JOB", small) << "cut to the field";
}

TEST(DeviceConversions, JobSelectors) {
  // Selector 0 all jobs, 1 those not in state 17, 2 those in it; 3 none.
  EXPECT_TRUE(zel_job_selected(0, 17) && zel_job_selected(0, 5));
  EXPECT_TRUE(!zel_job_selected(1, 17) && zel_job_selected(1, 5));
  EXPECT_TRUE(zel_job_selected(2, 17) && !zel_job_selected(2, 5));
  EXPECT_FALSE(zel_job_selected(3, 17));
}

TEST(DeviceConversions, LookupAndCancelIdentifiers) {
  char text[64];
  ASSERT_TRUE(zel_cancel_index("AB", text, sizeof(text)));
  EXPECT_STREQ("101.2.65.66", text);
  ASSERT_TRUE(zel_cancel_index("", text, sizeof(text)));
  EXPECT_STREQ("101.0", text);
  ASSERT_TRUE(zel_cancel_index("\xff", text, sizeof(text)));
  EXPECT_STREQ("101.1.255", text) << "octets are unsigned";
  EXPECT_FALSE(zel_cancel_index("ABCDEFGHIJKLMNOPQRSTUVWXYZ", text, 16)) << "does not fit";

  ASSERT_TRUE(zel_string_table_oid(101, 1, 106, text, sizeof(text)));
  EXPECT_STREQ("1.3.6.1.4.1.61801.8.51.5.1.1.4.101.1.106", text);
  ASSERT_TRUE(zel_char_set_oid(kZelStdCharSetTargetColumn, 1, 3, text, sizeof(text)));
  EXPECT_STREQ("1.3.6.1.2.1.43.7.1.1.4.1.3", text);
}

TEST(DeviceConversions, RowIndexNeedsTheColumnAndItsDot) {
  EXPECT_EQ("1.1", zel_row_index("1.3.6.1.2.1.43.5.1.1.2.1.1", "1.3.6.1.2.1.43.5.1.1.2"));
  EXPECT_EQ("", zel_row_index("1.3.6.1.2.1.43.5.1.1.25.1", "1.3.6.1.2.1.43.5.1.1.2"))
      << "1.2 must not match 1.25";
  EXPECT_EQ("", zel_row_index("1.3.6.1.2.1.43.5.1.1.2", "1.3.6.1.2.1.43.5.1.1.2"));
  EXPECT_EQ("", zel_row_index("1.3.6.1.2.1.43.5.1.1.2.", "1.3.6.1.2.1.43.5.1.1.2"));
  uint32_t arc = 0;
  EXPECT_TRUE(zel_first_arc("4294967295.1", &arc));
  EXPECT_EQ(4294967295u, arc);
  EXPECT_FALSE(zel_first_arc("4294967296", &arc));
  EXPECT_FALSE(zel_first_arc("", &arc));
  EXPECT_FALSE(zel_first_arc(".1", &arc));
  EXPECT_FALSE(zel_first_arc("1a", &arc));
}

// --- readers over the recording ------------------------------------------

class DeviceReaders : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(recording_.load(
        std::string(ZEL_SOURCE_DIR) + "/options/testdata/supported-device.snmprec", &error))
        << error;
    script_.recording = &recording_;
    zeltest::set_request_script(&script_);
    usm_.reset(zel_create_plugin_usm());
    ASSERT_TRUE(usm_);
    device_.set_get_data_factory(zeltest::create_recording_get_data);
    ASSERT_EQ(0, device_.init("127.0.10.9", 1, 250, 1, 0, *usm_.get()));
  }
  void TearDown() override { zeltest::set_request_script(nullptr); }

  zeltest::Recording recording_;
  zeltest::RequestScript script_;
  KalOwned<IZelPluginUSM> usm_;
  CZelDevice device_;
};

TEST_F(DeviceReaders, EveryRequestCarriesTheDeviceSettings) {
  ASSERT_EQ(0, zel_read_storage(device_));
  ASSERT_EQ(1u, script_.requests.size());
  const zeltest::RequestRecord& r = script_.requests[0];
  EXPECT_FALSE(r.community_set) << "no read community given: the request's default";
  EXPECT_EQ("127.0.10.9", r.address);
  EXPECT_EQ(1, r.protocol);
  EXPECT_EQ(161, r.port);
  EXPECT_EQ(250u, r.timeout_ms);
  EXPECT_EQ(1u, r.retries);
  EXPECT_EQ(0u, r.max_message_size);
  EXPECT_EQ(-1, r.version);
  const std::vector<std::string> columns = {"1.3.6.1.2.1.25.2.3.1.2", "1.3.6.1.2.1.25.2.3.1.4",
                                            "1.3.6.1.2.1.25.2.3.1.5", "1.3.6.1.2.1.25.2.3.1.3"};
  EXPECT_EQ(columns, r.oids);
  EXPECT_EQ("walk 1.3.6.1.2.1.25.2.3.1.2", r.exchange);
  ASSERT_EQ(4u, device_.storage.size());
  EXPECT_EQ(2, device_.storage[0].type);
  EXPECT_EQ(0, device_.storage[3].type) << "type 9 is not in the table, the row stays";
  EXPECT_STREQ("Font Cache", device_.storage[3].description);

  device_.set_read_community("reader");
  ASSERT_EQ(0, zel_read_devices(device_));
  EXPECT_TRUE(script_.requests[1].community_set);
  EXPECT_EQ("reader", script_.requests[1].community);
  ASSERT_EQ(16u, device_.devices.size());
  EXPECT_EQ(152, device_.devices[8].type);  // row 122
}

TEST_F(DeviceReaders, TheDeviceKeepsItsOwnCopyOfTheSnmpV3Settings) {
  ZelSnmpV3Settings settings{};
  std::strcpy(settings.securityName, "first-user");
  std::strcpy(settings.authPassphrase, "first-auth-phrase");
  settings.securityLevel = 1;
  usm_->set(2, settings);
  ASSERT_EQ(0, device_.init("127.0.10.9", 1, 250, 1, 0, *usm_.get()));
  // A later discovery or open resets the provider.
  std::strcpy(settings.securityName, "second-user");
  usm_->set(0, settings);
  ASSERT_EQ(0, zel_read_alerts(device_));
  const zeltest::RequestRecord& r = script_.requests.back();
  EXPECT_EQ(2, r.version);
  EXPECT_EQ("first-user", r.security_name);
  EXPECT_EQ("first-auth-phrase", r.auth_pass_phrase);
  EXPECT_EQ(1, r.security_level);
}

// The calls on one device share the library's own request object (and its
// socket) until a setting of the device changes. No agent: every read times
// out, and the request object still goes back to the device.
TEST(DeviceRequestObject, KeptBetweenCallsUntilASettingChanges) {
  static int made = 0;
  made = 0;
  KalOwned<IZelPluginUSM> usm(zel_create_plugin_usm());
  ASSERT_TRUE(usm);
  KalOwned<CZelDevice> device(zel_create_device());
  ASSERT_TRUE(device);
  device->set_get_data_factory([](int* pStatus) {
    ++made;
    return kal_create_get_data(pStatus);
  });
  ASSERT_EQ(0, device->init("127.0.36.200", 1, 50, 0, 0, *usm.get()));
  ZelPrinterInfo info{};
  EXPECT_EQ(kKasErrTimeout, zel_read_printer(*device.get(), &info));
  EXPECT_EQ(kKasErrTimeout, zel_read_storage(*device.get()));
  EXPECT_EQ(1, made);
  device->set_read_community("reader");
  EXPECT_EQ(kKasErrTimeout, zel_read_storage(*device.get()));
  EXPECT_EQ(2, made);
  ASSERT_EQ(0, device->init("127.0.36.200", 1, 50, 0, 0, *usm.get()));
  EXPECT_EQ(kKasErrTimeout, zel_read_storage(*device.get()));
  EXPECT_EQ(3, made);
}

TEST_F(DeviceReaders, TheVendorCharacterSetIsReadOnce) {
  ASSERT_EQ(0, zel_read_jobs(device_, 0));
  EXPECT_EQ(106, device_.vendor_char_set);
  EXPECT_EQ("walk " + std::string(kZelVendorCharSetIndexColumn), script_.requests[0].exchange);
  ASSERT_EQ("1.3.6.1.4.1.61801.8.51.4.1.1.7.1.2", script_.requests[1].oids.at(0));
  EXPECT_EQ(3u, device_.jobs.size());
  const size_t firstRun = script_.requests.size();
  // 2 for the character set, 1 walk, 3 lookups per job.
  EXPECT_EQ(2u + 1u + 9u, firstRun);
  ASSERT_EQ(0, zel_read_jobs(device_, 2));
  EXPECT_EQ(2u, device_.jobs.size());
  EXPECT_EQ(firstRun + 1u + 9u, script_.requests.size()) << "no second character-set read";
  EXPECT_EQ("walk 1.3.6.1.4.1.61801.8.59.6.1.1.4", script_.requests[firstRun].exchange);
  EXPECT_EQ("1.3.6.1.4.1.61801.8.51.5.1.1.4.101.1.106", script_.requests[firstRun + 1].oids[0]);
}

TEST_F(DeviceReaders, AFailedWalkIsAnsweredAndLeavesTheRowsReadBefore) {
  script_.silent_after = 0;
  EXPECT_EQ(-203, zel_read_toners(device_));
  EXPECT_TRUE(device_.toners.empty());
  int32_t charSet = 77;
  EXPECT_EQ(-203, zel_get_char_set(device_, 0, &charSet));
  EXPECT_EQ(77, charSet) << "the host's value stays on failure";
  script_.silent_after = -1;
  script_.fail_create_at = script_.creations;
  EXPECT_EQ(-3, zel_read_storage(device_));
  ZelPrinterInfo printer{5, 6};
  script_.silent_from_request = static_cast<int>(script_.requests.size());
  EXPECT_EQ(-203, zel_read_printer(device_, &printer));
  EXPECT_EQ(5, printer.printerStatus);
  EXPECT_EQ(-2, zel_get_char_set(device_, 2, &charSet));
}

TEST_F(DeviceReaders, TonerRowsOnlyAndTheLastPrinterRowWins) {
  ASSERT_EQ(0, zel_read_toners(device_));
  ASSERT_EQ(4u, device_.toners.size());
  EXPECT_STREQ("Yellow Toner Cartridge", device_.toners[3].description);
  recording_.set("1.3.6.1.2.1.25.3.5.1.1.2", "2", "5");
  recording_.set("1.3.6.1.2.1.25.3.5.1.2.2", "4x", "0080");
  ZelPrinterInfo printer{};
  ASSERT_EQ(0, zel_read_printer(device_, &printer));
  EXPECT_EQ(5, printer.printerStatus);
  EXPECT_EQ(0x8000, printer.detectedErrorState);
}

// --- device open through the context --------------------------------------

TEST_F(DeviceReaders, ManyOpenReadCloseCyclesReleaseEverything) {
  for (int cycle = 0; cycle < 1000; ++cycle) {
    CZelPluginContext* context = nullptr;
    ASSERT_EQ(0, zel_create_plugin_context(&context));
    KalOwned<CZelPluginContext> owner(context);
    context->set_get_data_factory(zeltest::create_recording_get_data);
    ASSERT_EQ(0, context->command_string(kZelCmdCommunityGetOption, "reader"));
    ASSERT_EQ(0, context->open_device("127.0.10.9", 1, 0, ZelSnmpV3Settings{}, 100, 0));
    ASSERT_EQ(0, context->open_device("127.0.10.9", 1, 0, ZelSnmpV3Settings{}, 100, 0))
        << "a second open replaces both objects";
    CZelDevice* device = context->device();
    ASSERT_NE(nullptr, device);
    ASSERT_EQ(0, zel_read_storage(*device));
    ASSERT_EQ(0, zel_read_jobs(*device, 0));
    script_.requests.clear();
  }
}

}  // namespace
