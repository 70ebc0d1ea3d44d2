// The process-wide facility: the log call, cached loggers, configuring calls.
// Each test leaves the group's mask at 0 and detaches what it attached.
#include "log/log.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/status.h"
#include "log/cached_logger.h"
#include "log/capture_output.h"
#include "log/log_config.h"
#include "log/log_manager.h"
#include "log/logger.h"

namespace {

// Made before the manager, so destroyed after it: its late log calls must
// find no manager and touch nothing that was freed (AddressSanitizer).
struct LogsAtExit {
  ~LogsAtExit() {
    kal_log(kKalModuleSocket, kKalLogError, "after the manager");
    kal_log("late_module", kKalLogError, "after the manager");
    zel_log(kKalLogError, "after the manager");
  }
} g_logs_at_exit;

class LogCallTest : public ::testing::Test {
 protected:
  void TearDown() override {
    kal_log_detach_output(&capture_);
    kal_log_manager()->set_level_mask("All", 0);
  }
  KalCaptureOutput capture_{"log_call_capture"};
};

TEST_F(LogCallTest, NothingIsWrittenAsBuilt) {
  EXPECT_EQ(kal_log(kKalModuleSocket, kKalLogError, "quiet %d", 1), kKalOk);
  EXPECT_EQ(zel_log(kKalLogError, "quiet"), kKalOk);
  EXPECT_FALSE(kal_log_enabled(kKalModuleSnmp, kKalLogAll));
  LogManager* manager = kal_log_manager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->group_logger()->get_level_mask(), 0u);
}

TEST_F(LogCallTest, CachedLoggersAreTheManagersLoggers) {
  LogManager* manager = kal_log_manager();
  int status = -99;
  Logger* socket = kal_cached_logger(kal_socket_logger_cache(), &status);
  EXPECT_EQ(status, kKalOk);
  EXPECT_EQ(socket, manager->find_logger("socket"));
  EXPECT_EQ(kal_cached_logger(kal_socket_logger_cache()), socket);
  Logger* snmp = kal_cached_logger(kal_snmp_logger_cache());
  EXPECT_STREQ(snmp->module_name(), "snmp");
  EXPECT_STREQ(kal_cached_logger(kal_zel_logger_cache())->module_name(), "Zel");
  EXPECT_EQ(kal_cached_logger(nullptr, &status), nullptr);
  EXPECT_EQ(status, kKalErrInvalidArg);
}

TEST_F(LogCallTest, ConfiguredOutputSeesEveryModule) {
  ASSERT_EQ(kal_log_configure_output(&capture_, kKalLogAll), kKalOk);
  EXPECT_TRUE(kal_log_enabled(kKalModuleSocket, kKalLogDebug));
  EXPECT_EQ(kal_log(kKalModuleSocket, kKalLogDebug, "socket %d", 1), kKalOk);
  EXPECT_EQ(kal_log(kKalModuleSnmp, kKalLogTrace, "[%s] enter.", "CKasSession::send"), kKalOk);
  EXPECT_EQ(zel_log(kKalLogError, "%s %d", "pGetData->get_data()", -203), kKalOk);
  EXPECT_EQ(kal_log("some_module", kKalLogInfo, "other"), kKalOk);
  auto lines = capture_.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(45), "socket          , Debug, socket 1");
  EXPECT_EQ(lines[1].substr(45), "snmp            , Trace, [CKasSession::send] enter.");
  EXPECT_EQ(lines[2].substr(45), "Zel             , Error, pGetData->get_data() -203");
  EXPECT_EQ(lines[3].substr(45), "some_module     , Info , other");

  // Mask 0 turns it off again; the output stays attached.
  ASSERT_EQ(kal_log_configure_output(&capture_, 0), kKalOk);
  kal_log(kKalModuleSocket, kKalLogError, "off");
  EXPECT_EQ(capture_.lines().size(), 4u);
}

TEST_F(LogCallTest, MissingModuleOrDetachedOutputWritesNothing) {
  ASSERT_EQ(kal_log_configure_output(&capture_, kKalLogAll), kKalOk);
  EXPECT_EQ(kal_log(nullptr, kKalLogError, "x"), kKalErrInvalidArg);
  ASSERT_EQ(kal_log_detach_output(&capture_), kKalOk);
  kal_log(kKalModuleSocket, kKalLogError, "gone");
  EXPECT_TRUE(capture_.lines().empty());
  EXPECT_EQ(kal_log_detach_output(&capture_), kKalErrNotFound);
  EXPECT_EQ(kal_log_configure_output(nullptr, kKalLogAll), kKalErrInvalidArg);
}

TEST_F(LogCallTest, StderrAndStdoutOutputs) {
  ASSERT_EQ(kal_log_configure_stderr(kKalLogError), kKalOk);
  ::testing::internal::CaptureStderr();
  kal_log(kKalModuleSnmp, kKalLogError, "to stderr %d", 5);
  kal_log(kKalModuleSnmp, kKalLogDebug, "filtered");
  const std::string err = ::testing::internal::GetCapturedStderr();
  kal_log_detach_output(kal_log_manager()->find_output("stderr"));
  ASSERT_GT(err.size(), 46u);
  EXPECT_EQ(err.substr(45), "snmp            , Error, to stderr 5\n");

  ASSERT_EQ(kal_log_configure_stdout(kKalLogWarn), kKalOk);
  ::testing::internal::CaptureStdout();
  zel_log(kKalLogWarn, "to stdout");
  const std::string out = ::testing::internal::GetCapturedStdout();
  kal_log_detach_output(kal_log_manager()->find_output("stdout"));
  ASSERT_GT(out.size(), 46u);
  EXPECT_EQ(out.substr(45), "Zel             , Warn , to stdout\n");
}

TEST_F(LogCallTest, FileOutput) {
  std::string dir = ::testing::TempDir() + "zel_logcall_XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string path = dir + "/run.log";
  ASSERT_EQ(kal_log_configure_file(path.c_str(), kKalLogInfo), kKalOk);
  kal_log(kKalModuleSocket, kKalLogInfo, "into the file");
  kal_log_detach_output(kal_log_manager()->find_output(path.c_str()));
  std::ifstream in(path);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line.substr(45), "socket          , Info , into the file");
  EXPECT_EQ(kal_log_configure_file(nullptr, kKalLogInfo), kKalErrInvalidArg);
  EXPECT_EQ(kal_log_configure_file("", kKalLogInfo), kKalErrInvalidArg);
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

TEST_F(LogCallTest, FirstUseFromManyThreadsMakesOneLogger) {
  KalCachedLogger cache{.module = "race_module"};
  std::vector<Logger*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { seen[i] = kal_cached_logger(&cache); });
  }
  for (auto& t : threads) t.join();
  for (Logger* l : seen) EXPECT_EQ(l, seen[0]);
  EXPECT_EQ(kal_log_manager()->find_logger("race_module"), seen[0]);
}

}  // namespace
