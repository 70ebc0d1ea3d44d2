// Result codes to meanings, messages and exit codes.
#include "tools/zelctl/status_text.h"

#include <gtest/gtest.h>

#include <set>

#include "common/status.h"
#include "tools/zelctl/status_outcome.h"

namespace zelctl {
namespace {

TEST(StatusTextTest, EveryKnownCodeHasAMeaningAndAnExitCode) {
  struct Row {
    int32_t status;
    const char* meaning;
    int exit_code;
  };
  const Row rows[] = {
      {kKalOk, "success", kExitOk},
      {kKalErrInvalidArg, "invalid argument", kExitFailure},
      {kKalErrNoMemory, "out of memory", kExitFailure},
      {kKalErrNotSupported, "not supported by this plug-in", kExitNotAvailable},
      {kKalErrNoData, "the device answered without a usable value", kExitDevice},
      {kKalErrNotReady, "no device opened", kExitNotAvailable},
      {kKalErrIndexRange, "index out of range", kExitFailure},
      {kKalErrTooMuchData, "too much data", kExitDevice},
      {kKasErrTimeout, "no answer", kExitNoAnswer},
      {kKasErrSocketOpen, "the socket cannot be opened", kExitNetwork},
      {kKasErrSend, "sending failed", kExitNetwork},
      {kKasErrV3Security, "authentication failed (user, protocols or pass phrases)",
       kExitSecurity},
      {kKasErrUndecodable, "undecodable answer", kExitDevice},
      {kKasErrTooBig, "the device answered tooBig", kExitDevice},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(status_meaning(row.status), row.meaning) << row.status;
    EXPECT_EQ(exit_code_for(row.status), row.exit_code) << row.status;
  }
  EXPECT_EQ(status_meaning(-999), "unknown status -999");
}

TEST(StatusTextTest, NoAnswerNamesAddressTriesAndTimeout) {
  CallContext c;
  c.operation = "device open";
  c.address = "127.0.0.2";
  c.timeout_ms = 1000;
  c.retries = 1;
  EXPECT_EQ(failure_message(kKasErrTimeout, c),
            "no answer from 127.0.0.2 after 2 tries (time-out 1000 ms) (status -203)");
  c.retries = 0;
  EXPECT_EQ(failure_message(kKasErrTimeout, c),
            "no answer from 127.0.0.2 after 1 try (time-out 1000 ms) (status -203)");
  c.address = "";
  c.protocol = 5;
  EXPECT_EQ(failure_message(kKasErrTimeout, c),
            "no answer from the IPv6 broadcast after 1 try (time-out 1000 ms) (status -203)");
}

TEST(StatusTextTest, InvalidArgumentOnOpenNamesTheModelCheck) {
  CallContext c;
  c.operation = "device open";
  c.address = "10.77.0.12";
  const std::string m = failure_message(kKalErrInvalidArg, c);
  EXPECT_NE(m.find("10.77.0.12 is not a supported model"), std::string::npos) << m;
  EXPECT_NE(m.find("(status -2)"), std::string::npos);
  c.raw_protocol = true;
  c.protocol = 4;
  EXPECT_NE(failure_message(kKalErrInvalidArg, c).find("refused the protocol (code 4)"),
            std::string::npos);
}

TEST(StatusTextTest, EveryMessageIsOneLineWithItsCode) {
  CallContext c;
  c.operation = "storage";
  c.address = "192.0.2.1";
  for (int32_t s : {-1, -2, -3, -4, -5, -6, -7, -8, -10, -11, -12, -200, -201, -202, -203, -204,
                    -205, -210, -211, -212, -214, -250, -251, -401, 3, -77}) {
    const std::string m = failure_message(s, c);
    EXPECT_EQ(m.find('\n'), std::string::npos) << m;
    EXPECT_NE(m.find("(status " + std::to_string(s) + ")"), std::string::npos) << m;
  }
}

TEST(StatusTextTest, ExitCodesOfFailureKindsAreDistinct) {
  const std::set<int> codes = {kExitOk,          kExitFailure,   kExitUsage,
                               kExitLibrary,     kExitNoAnswer,  kExitUnsupported,
                               kExitNotAvailable, kExitSecurity, kExitNetwork,
                               kExitDevice,      kExitNothingFound, kExitPartial,
                               kExitNoPrinterData};
  EXPECT_EQ(codes.size(), 13u);
  for (const int code : codes) {
    EXPECT_NE(exit_code_help().find("\n  " + std::to_string(code) + " "), std::string::npos)
        << "--help lists exit code " << code;
  }
}

TEST(StatusTextTest, StatusOutcomeOfEachKindOfRead) {
  DeviceReport empty;        // opened, every printer table read and empty
  empty.input_trays.status = -1;
  DeviceReport printer = empty;  // a tray and a printer status
  printer.printer.printerStatus = 3;
  printer.input_trays.status = 0;
  printer.input_trays.count = 1;
  DeviceReport failed = printer;
  failed.toner.status = kKasErrTimeout;
  DeviceReport listed = empty;  // a printer device, supplies without a type
  listed.devices.count = 1;
  listed.devices.rows.push_back(ZelDeviceInfo{5, 2, "printer"});
  DeviceReport refused = empty;
  refused.open_status = kKasErrTimeout;
  struct Row {
    const char* name;
    const DeviceReport& report;
    int exit_code;
    int32_t status;
    const char* message;
  };
  const Row rows[] = {
      {"printer", printer, kExitOk, 0, "ok"},
      {"no printer tables", empty, kExitNoPrinterData, -1, "serves none of the printer tables"},
      {"printer device only", listed, kExitOk, 0, "ok"},
      {"toner failed", failed, kExitPartial, kKasErrTimeout, "no answer from 192.0.2.1"},
      {"open failed", refused, kExitNoAnswer, kKasErrTimeout, "no answer from 192.0.2.1"},
  };
  Options o;
  o.address = "192.0.2.1";
  for (const auto& row : rows) {
    const StatusOutcome out = status_outcome(o, row.report);
    EXPECT_EQ(out.exit_code, row.exit_code) << row.name;
    EXPECT_EQ(out.status, row.status) << row.name;
    EXPECT_NE(out.message.find(row.message), std::string::npos) << row.name << ": " << out.message;
    EXPECT_EQ(out.message.find('\n'), std::string::npos) << row.name;
  }
}

}  // namespace
}  // namespace zelctl
