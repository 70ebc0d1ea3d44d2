// The built plug-in library loaded the way a host loads it: dlopen, then
// dlsym by name. Checks the argument rules and result codes of the exported
// functions through the library's own copy of the code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/library_api_test_util.h"
#include "plugin/zel_api.h"

namespace {

// A fresh context per case over the library loaded once for the process.
class ZelLibrary : public testing::Test, protected zeltest::LibraryApi {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(load(ZEL_LIBRARY_PATH, &error)) << error;
    ASSERT_EQ(0, ZelInit(&handle_));
    ASSERT_NE(nullptr, handle_);
  }
  void TearDown() override {
    if (ZelUnInit && handle_) ZelUnInit(handle_);
  }

  ZelContext* handle_ = nullptr;
};

TEST_F(ZelLibrary, NullHandlesAndOutPointers) {
  EXPECT_EQ(-2, ZelInit(nullptr));
  ZelUnInit(nullptr);
  EXPECT_EQ(-2, ZelFindAddFilter(handle_, nullptr));
}

TEST_F(ZelLibrary, CommandNamesAreExactAndCaseSensitive) {
  EXPECT_EQ(0, ZelCommandString(handle_, "CmdSetCommunityGetOption", "r"));
  EXPECT_EQ(0, ZelCommandString(handle_, "CmdSetCommunityFind", "f"));
  EXPECT_EQ(0, ZelCommandString(handle_, "CmdSetCommunityWrite", "w"));
  EXPECT_EQ(-5, ZelCommandString(handle_, "cmdsetcommunityfind", "f"));
  EXPECT_EQ(-5, ZelCommandString(handle_, "CmdSetCommunityFindX", "f"));
  EXPECT_EQ(-5, ZelCommandString(handle_, "CmdSetCommunityWrite\t", "w"));
  EXPECT_EQ(-2, ZelCommandString(handle_, nullptr, "f"));
  EXPECT_EQ(-2, ZelCommandString(handle_, "CmdSetCommunityFind", nullptr));
}

TEST_F(ZelLibrary, CommandIntegerKnowsNoCommand) {
  int32_t value = 1;
  EXPECT_EQ(-5, ZelCommandInteger(handle_, nullptr, &value));
  EXPECT_EQ(-5, ZelCommandInteger(handle_, "CmdSetCommunityFind", &value));
  EXPECT_EQ(-2, ZelCommandInteger(handle_, "x", nullptr));
  EXPECT_EQ(-2, ZelCommandInteger(nullptr, "x", &value));
}

struct ProtocolRow {
  int32_t host_code;
  // Discovery goes to this address: never null for codes 1 and 5, which would
  // broadcast or multicast on the machine's own network. 127.0.11.254 is a
  // loopback address nobody answers on.
  const char* find_address;
  int32_t find_answer;
  int32_t open_answer;  // ZelInitDevice
  // Device open of this text instead of the two numeric ones, discovery not
  // asked: a text that is no numeric address is an invalid argument.
  const char* open_text = nullptr;
};

TEST_F(ZelLibrary, ProtocolCodes) {
  // Code 3 passes the check and is then refused: by discovery with -5, by
  // device open (the option object's Init) with -2. IPX without an address
  // meets the IPv4 default text (-2); code 5 with an IPv4 text likewise.
  // Device open of an IPv4 text: IPX and IPv6 refuse the address kind (-2),
  // IPv4 asks an address where nothing answers (time-out).
  const ProtocolRow rows[] = {
      {1, "127.0.11.254", 0, -203}, {2, nullptr, -2, -2},
      {5, "127.0.11.254", -2, -2},  {3, nullptr, -5, -2},
      {0, nullptr, -2, -2},       {4, nullptr, -2, -2},
      {6, nullptr, -2, -2},       {-1, nullptr, -2, -2},
      {1, nullptr, 0, -2, "localhost"},
      {1, nullptr, 0, -2, ""},
      {5, nullptr, 0, -2, "[fd77::11]"},
      {1, nullptr, 0, -2, "10.77.0.11:161"},
  };
  ZelSnmpV3Settings settings{};
  for (const ProtocolRow& row : rows) {
    if (row.open_text) {
      EXPECT_EQ(row.open_answer, ZelInitDevice(handle_, row.open_text, row.host_code, 10, 0))
          << "'" << row.open_text << "'";
      EXPECT_EQ(row.open_answer,
                ZelInitDeviceEx(handle_, row.open_text, row.host_code, 0, &settings, 10, 0))
          << "'" << row.open_text << "'";
      continue;
    }
    int32_t count = 42;
    EXPECT_EQ(row.find_answer,
              ZelFindDeviceSNMP(handle_, row.find_address, row.host_code, 10, 0,
                                &count))
        << "host code " << row.host_code;
    EXPECT_EQ(row.find_answer,
              ZelFindDeviceSNMPEx(handle_, row.find_address, row.host_code, 0,
                                  &settings, 10, 0, &count))
        << "host code " << row.host_code;
    EXPECT_EQ(row.open_answer,
              ZelInitDevice(handle_, "127.0.10.254", row.host_code, 10, 0))
        << "host code " << row.host_code;
    EXPECT_EQ(row.open_answer,
              ZelInitDeviceEx(handle_, "127.0.0.1", row.host_code, 0, &settings,
                              10, 0))
        << "host code " << row.host_code;
  }
}

TEST_F(ZelLibrary, DiscoveryAndDeviceOpenRequireTheirPointers) {
  int32_t count = 0;
  ZelSnmpV3Settings settings{};
  EXPECT_EQ(-2, ZelFindDeviceSNMP(handle_, nullptr, 1, 10, 0, nullptr));
  EXPECT_EQ(
      -2, ZelFindDeviceSNMPEx(handle_, nullptr, 1, 0, nullptr, 10, 0, &count));
  EXPECT_EQ(-2, ZelFindDeviceSNMPEx(handle_, nullptr, 1, 0, &settings, 10, 0,
                                    nullptr));
  EXPECT_EQ(-2, ZelInitDevice(handle_, nullptr, 1, 10, 0));
  EXPECT_EQ(-2, ZelInitDeviceEx(handle_, nullptr, 1, 0, &settings, 10, 0));
  EXPECT_EQ(-2, ZelInitDeviceEx(handle_, "127.0.0.1", 1, 0, nullptr, 10, 0));
}

TEST_F(ZelLibrary, TransportAvailableForUnservedCodesIsZero) {
  EXPECT_EQ(0, ZelTransportAvailable(3));
  EXPECT_EQ(0, ZelTransportAvailable(4));
  EXPECT_EQ(0, ZelTransportAvailable(0));
  EXPECT_EQ(0, ZelTransportAvailable(-5));
  // Codes 1, 2 and 5 answer a yes/no, nothing else.
  for (int32_t code : {1, 2, 5}) {
    const int16_t answer = ZelTransportAvailable(code);
    EXPECT_TRUE(answer == 0 || answer == 1) << code;
  }
}

TEST_F(ZelLibrary, DeviceNextBeforeAnyDiscoveryIsZero) {
  char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
      oid[ZEL_OID_TEXT_SIZE];
  uint8_t flag = 3;
  ZelFindResetPosition(handle_);
  EXPECT_EQ(0, ZelGetDeviceNext(handle_, address, model, &flag, oid));
  EXPECT_EQ(3, flag);
  EXPECT_EQ(0, ZelGetDeviceNext(handle_, nullptr, model, &flag, oid));
  EXPECT_EQ(0, ZelGetDeviceNext(handle_, address, nullptr, &flag, oid));
  EXPECT_EQ(0, ZelGetDeviceNext(handle_, address, model, nullptr, oid));
  EXPECT_EQ(0, ZelGetDeviceNext(handle_, address, model, &flag, nullptr));
}

TEST_F(ZelLibrary, RecordGettersWithoutDeviceObject) {
  // No device has been opened: every table answers -8 and leaves the host's
  // record as it was, whatever the index.
  for (uint32_t index : {0u, 1u, 0xffffffffu}) {
    ZelStorageInfo storage;
    std::memset(&storage, 0x5c, sizeof storage);
    EXPECT_EQ(-8, ZelGetStorageInfo(handle_, index, &storage));
    EXPECT_EQ(0x5c5c5c5c, storage.type);
    ZelDeviceInfo device;
    EXPECT_EQ(-8, ZelGetDeviceInfo(handle_, index, &device));
    ZelInputTrayInfo tray;
    EXPECT_EQ(-8, ZelGetInputTrayInfo(handle_, index, &tray));
    ZelInputTrayInfoEx trayEx;
    EXPECT_EQ(-8, ZelGetInputTrayInfoEx(handle_, index, &trayEx));
    ZelOutputTrayInfo output;
    EXPECT_EQ(-8, ZelGetOutputTrayInfo(handle_, index, &output));
    ZelTonerInfo toner;
    EXPECT_EQ(-8, ZelGetTonerInfo(handle_, index, &toner));
    ZelAlertInfo alert;
    EXPECT_EQ(-8, ZelGetAlertInfo(handle_, index, &alert));
    ZelJobInfo job;
    EXPECT_EQ(-8, ZelGetJobInfo(handle_, index, &job));
  }
  EXPECT_EQ(-2, ZelGetStorageInfo(handle_, 0, nullptr));
  EXPECT_EQ(-2, ZelGetJobInfo(handle_, 0, nullptr));
}

TEST_F(ZelLibrary, CountCallsWithoutDeviceObject) {
  int32_t count = 99;
  EXPECT_EQ(-8, ZelGetNumberOfStorageInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfDeviceInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfInputTrayInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfInputTrayInfoEx(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfOutputTrayInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfTonerInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfAlertInfo(handle_, &count));
  EXPECT_EQ(-8, ZelGetNumberOfJobInfo(handle_, 2, &count));
  EXPECT_EQ(99, count);
  ZelPrinterInfo printer;
  EXPECT_EQ(-8, ZelGetPrinterInfo(handle_, &printer));
  EXPECT_EQ(-8, ZelCancelJob(handle_, "12"));
  EXPECT_EQ(-2, ZelCancelJob(handle_, nullptr));
  EXPECT_EQ(-2, ZelGetNumberOfStorageInfo(handle_, nullptr));
  EXPECT_EQ(-2, ZelGetPrinterInfo(handle_, nullptr));
}

TEST_F(ZelLibrary, SelectorsOutOfRangeAreArgumentErrors) {
  int32_t value = 0;
  EXPECT_EQ(-2, ZelGetNumberOfJobInfo(handle_, 3, &value));
  EXPECT_EQ(-2, ZelGetNumberOfJobInfo(handle_, 0xffffffffu, &value));
  EXPECT_EQ(-2, ZelGetCharSet(handle_, 2, &value));
  EXPECT_EQ(-8, ZelGetCharSet(handle_, 1, &value));
  EXPECT_EQ(-2, ZelGetCharSet(handle_, 0, nullptr));
}

TEST_F(ZelLibrary, OptionCallsWithoutOptionObject) {
  EXPECT_EQ(0, ZelIsSupportedOID(handle_, "1.3.6.1.2.1.1.2.0"));
  EXPECT_EQ(0, ZelIsSupportedOID(handle_, ""));
  EXPECT_EQ(-2, ZelIsSupportedOID(nullptr, "1.3"));
  EXPECT_EQ(-8, ZelRefreshOptions(handle_));
  int16_t b = 0;
  int32_t i = 0;
  uint32_t u = 0;
  char text[ZEL_OPTION_TEXT_SIZE];
  EXPECT_EQ(-8, ZelGetOptionValueBoolean(handle_, "key", 0, &b));
  EXPECT_EQ(-8, ZelGetOptionValueInteger(handle_, "key", 0, &i));
  EXPECT_EQ(-8, ZelGetOptionValueUInteger(handle_, "key", 0, &u));
  EXPECT_EQ(-8, ZelGetOptionValueString(handle_, "key", 0, text));
  EXPECT_EQ(-2, ZelGetOptionValueBoolean(handle_, nullptr, 0, &b));
  EXPECT_EQ(-2, ZelGetOptionValueInteger(handle_, "key", 0, nullptr));
  EXPECT_EQ(-2, ZelGetOptionValueString(handle_, "key", 0, nullptr));
}

}  // namespace
