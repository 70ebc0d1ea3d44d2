#include "log/log_manager.h"

#include <gtest/gtest.h>

#include "common/owned.h"
#include "common/status.h"
#include "log/capture_output.h"
#include "log/log.h"
#include "log/log_output.h"

namespace {

class LogManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int status = -99;
    manager_.reset(LogManager::create(&status));
    ASSERT_EQ(status, kKalOk);
    ASSERT_TRUE(manager_);
  }
  void TearDown() override { kal_alloc_hook::g_fail_countdown = -1; }
  KalOwned<LogManager, KalCallDestroy> manager_;
};

// "All" is the group, made first; one logger per name (case counts); a
// missing name answers the null logger, an unknown one nothing.
TEST_F(LogManagerTest, LoggersByName) {
  int status = -99;
  Logger* group = manager_->find_logger("All", &status);
  EXPECT_EQ(status, kKalOk);
  EXPECT_EQ(group, manager_->group_logger());
  EXPECT_EQ(manager_->get_logger("All"), group);

  EXPECT_EQ(manager_->find_logger("socket", &status), nullptr);
  EXPECT_EQ(status, kKalErrNotFound);
  Logger* socket = manager_->get_logger("socket", &status);
  EXPECT_EQ(status, kKalOk);
  EXPECT_STREQ(socket->module_name(), "socket");
  EXPECT_EQ(manager_->get_logger("socket"), socket);
  EXPECT_EQ(manager_->find_logger("socket"), socket);
  EXPECT_NE(manager_->get_logger("snmp"), socket);
  EXPECT_NE(manager_->get_logger("Socket"), socket);

  Logger* logger = manager_->get_logger(nullptr, &status);
  EXPECT_EQ(status, kKalErrInvalidArg);
  ASSERT_NE(logger, nullptr);
  EXPECT_STREQ(logger->module_name(), "null_session");
  EXPECT_EQ(logger, manager_->null_logger());
  EXPECT_EQ(manager_->find_logger(nullptr, &status), manager_->null_logger());
  EXPECT_EQ(status, kKalErrInvalidArg);
}

TEST_F(LogManagerTest, NewLoggerJoinsTheGroup) {
  KalCaptureOutput group_output("group");
  KalCaptureOutput own("own");
  manager_->group_logger()->attach_output(&group_output);
  ASSERT_EQ(manager_->set_level_mask("All", kKalLogWarn), kKalOk);
  ASSERT_EQ(manager_->set_column_flags("All", 0), kKalOk);
  int status = -99;
  Logger* logger = manager_->get_or_create_logger("snmp", &own, &status);
  ASSERT_EQ(status, kKalOk);
  EXPECT_EQ(logger->get_level_mask(), kKalLogWarn);
  EXPECT_EQ(logger->get_column_flags(), 0u);
  logger->log(kKalLogWarn, "w");
  EXPECT_EQ(group_output.lines().size(), 1u);
  EXPECT_EQ(own.lines().size(), 1u);

  // Settings given later to "All" reach the logger too.
  manager_->set_level_mask("All", 0);
  EXPECT_EQ(logger->get_level_mask(), 0u);
  // And a module's own setting stays its own.
  manager_->set_level_mask("snmp", kKalLogTrace);
  EXPECT_EQ(manager_->group_logger()->get_level_mask(), 0u);
  EXPECT_EQ(logger->get_level_mask(), kKalLogTrace);
}

TEST_F(LogManagerTest, AllocationFailureAnswersNullLoggerAndRecovers) {
  kal_alloc_hook::g_fail_countdown = 0;
  int status = 0;
  Logger* logger = manager_->get_logger("socket", &status);
  kal_alloc_hook::g_fail_countdown = -1;
  EXPECT_EQ(status, kKalErrNoMemory);
  EXPECT_EQ(logger, manager_->null_logger());
  EXPECT_EQ(manager_->find_logger("socket"), nullptr);

  logger = manager_->get_logger("socket", &status);
  EXPECT_EQ(status, kKalOk);
  EXPECT_STREQ(logger->module_name(), "socket");
}

TEST(LogManagerCreateTest, EveryAllocationFailsOnce) {
  for (long fail = 0; fail < 2; ++fail) {
    kal_alloc_hook::g_fail_countdown = fail;
    int status = 0;
    LogManager* manager = LogManager::create(&status);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(manager, nullptr) << fail;
    EXPECT_EQ(status, kKalErrNoMemory) << fail;
  }
}

TEST_F(LogManagerTest, OutputsByKindAndName) {
  LogOutput* console = manager_->get_or_create_output("stdout", "console");
  ASSERT_NE(console, nullptr);
  EXPECT_STREQ(console->kind_name(), "stdout");
  EXPECT_STREQ(console->instance_name(), "console");
  EXPECT_EQ(manager_->get_or_create_output("stdout", "console"), console);
  EXPECT_EQ(manager_->find_output("console"), console);

  LogOutput* errors = manager_->get_or_create_output("stderr", "errors");
  ASSERT_NE(errors, nullptr);
  EXPECT_STREQ(errors->kind_name(), "stderr");

  LogOutput* file = manager_->get_or_create_output("file", "logfile");
  ASSERT_NE(file, nullptr);
  EXPECT_STREQ(file->kind_name(), "file");

  // The name is taken by another kind: the null output of the asked kind.
  EXPECT_EQ(manager_->get_or_create_output("file", "console"), kal_null_file_output());
  EXPECT_EQ(manager_->get_or_create_output("stdout", "logfile"), kal_null_standard_output());
  // Missing kind or name.
  EXPECT_EQ(manager_->get_or_create_output(nullptr, "x"), kal_null_standard_output());
  EXPECT_EQ(manager_->get_or_create_output("file", nullptr), kal_null_file_output());
  EXPECT_EQ(manager_->get_or_create_output("bogus", nullptr), kal_null_standard_output());
  // Unknown kind.
  EXPECT_EQ(manager_->get_or_create_output("bogus", "x"), nullptr);
  EXPECT_EQ(manager_->find_output("nothing"), kal_null_standard_output());
  EXPECT_EQ(manager_->find_output(nullptr), kal_null_standard_output());
}

TEST_F(LogManagerTest, RegisteredFactoryServesItsKind) {
  struct CaptureFactory final : LogOutputFactory {
    KalCaptureOutput output{"made"};
    const char* kind_name() override { return "capture"; }
    LogOutput* create(const char* instance, const KalProperties*) override {
      return instance ? &output : kal_null_standard_output();
    }
  } factory;
  EXPECT_EQ(manager_->register_output_factory(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(manager_->register_output_factory(&factory), kKalOk);
  EXPECT_EQ(manager_->get_or_create_output("capture", "made"), &factory.output);
  EXPECT_EQ(manager_->find_output("made"), &factory.output);
  manager_.reset();  // it destroys the outputs it made, while `factory` lives
}

}  // namespace
