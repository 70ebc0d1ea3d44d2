#include "log/logger.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

#include "common/owned.h"
#include "common/status.h"
#include "log/capture_output.h"
#include "log/log.h"
#include "log/log_line.h"
#include "log/log_output.h"
#include "log/log_platform.h"
#include "log/null_logger.h"

namespace {

// The line after its 23-character timestamp, for this process and thread.
std::string AfterTimestamp(const char* module, const char* label, const std::string& text,
                           bool hex = false) {
  char ids[64];
  if (hex) {
    std::snprintf(ids, sizeof ids, ", %08X, %08X, ", kal_log_process_id(), kal_log_thread_id());
  } else {
    std::snprintf(ids, sizeof ids, ", %8d, %8d, ", static_cast<int>(kal_log_process_id()),
                  static_cast<int>(kal_log_thread_id()));
  }
  char mod[32];
  std::snprintf(mod, sizeof mod, "%-16.16s, ", module);
  return std::string(ids) + mod + label + text;
}

// "2024/05/17 09:03:11:042": digits where the format puts them.
bool IsTimestamp(const std::string& s) {
  const std::string shape = "dddd/dd/dd dd:dd:dd:ddd";
  if (s.size() < shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i]) {
      return false;
    }
  }
  return true;
}

std::unique_ptr<LoggerExtension> MakeLogger(const char* module) {
  return std::unique_ptr<LoggerExtension>(kal_create_logger(module));
}

template <class T>
T* Ask(IKalRoot* object, const char* iid) {
  void* out = nullptr;
  return object->query_interface(iid, &out) == kKalOk ? static_cast<T*>(out) : nullptr;
}

TEST(LoggerTest, DefaultsAsBuiltAndRadixOnly10Or16) {
  auto logger = MakeLogger("socket");
  EXPECT_STREQ(logger->module_name(), "socket");
  EXPECT_EQ(logger->get_level_mask(), 0u);
  EXPECT_EQ(logger->get_indent(), 0u);
  EXPECT_EQ(logger->get_column_flags(), 7u);
  EXPECT_EQ(logger->unsupported(), kKalErrNotFound);
  EXPECT_EQ(logger->release(), kKalErrNotSupported);
  EXPECT_EQ(logger->set_radix(8), kKalErrInvalidArg);
  EXPECT_EQ(logger->get_radix(), 10u);
  EXPECT_EQ(logger->set_radix(16), kKalOk);
  EXPECT_EQ(logger->set_radix(0), kKalErrInvalidArg);
  EXPECT_EQ(logger->get_radix(), 16u);
}

// What the logger writes: its module and level label after the timestamp,
// ids in the chosen radix, only levels inside the mask (a level of two bits
// passes with either bit and has no label), and its columns and indent handed
// to the line, a null format and an over-long message too (the line itself is
// tested on its own).
TEST(LoggerTest, LinesItWrites) {
  auto logger = MakeLogger("Zel");
  KalCaptureOutput capture;
  ASSERT_EQ(logger->attach_output(&capture), kKalOk);
  EXPECT_EQ(logger->log(kKalLogError, "mask 0"), kKalOk);
  logger->set_level_mask(kKalLogAll);
  EXPECT_EQ(logger->log(kKalLogDebug, "sent %d bytes to %s", 42, "127.0.0.1"), kKalOk);
  ASSERT_EQ(logger->set_radix(16), kKalOk);
  logger->log(kKalLogError, "x");
  logger->set_level_mask(kKalLogError | kKalLogWarn);
  EXPECT_EQ(logger->log(0, "level 0"), kKalOk);
  EXPECT_EQ(logger->log(kKalLogDebug, "masked"), kKalOk);
  logger->set_level_mask(kKalLogError);
  EXPECT_EQ(logger->log(3, "two bits"), kKalOk);
  logger->set_level_mask(kKalLogAll);
  logger->set_column_flags(0);
  logger->set_indent(1);
  logger->log(kKalLogWarn, "%s", "w");
  logger->log(kKalLogInfo, nullptr);
  logger->log(kKalLogInfo, "%s", std::string(5000, 'z').c_str());

  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(IsTimestamp(lines[0])) << lines[0];
  EXPECT_EQ(lines[0].substr(23), AfterTimestamp("Zel", "Debug, ", "sent 42 bytes to 127.0.0.1"));
  EXPECT_EQ(lines[1].substr(23), AfterTimestamp("Zel", "Error, ", "x", true));
  EXPECT_EQ(lines[2].substr(23), AfterTimestamp("Zel", "", "two bits", true));
  const std::string blanks = std::string(23, ' ') + ",         ,         , Zel             , ";
  EXPECT_EQ(lines[3], blanks + "Warn ,     w");
  EXPECT_EQ(lines[4], blanks + "Info ,     (client was about to output null message...)");
  EXPECT_EQ(lines[5].size(), kKalLogLineMax);
}

TEST(LoggerTest, AttachOnceByInstanceName) {
  auto logger = MakeLogger("m");
  KalCaptureOutput first("same");
  KalCaptureOutput second("same");
  KalCaptureOutput other("other");
  EXPECT_EQ(logger->attach_output(&first), kKalOk);
  EXPECT_EQ(logger->attach_output(&first), kKalOk);
  EXPECT_EQ(logger->attach_output(&second), kKalOk);
  EXPECT_EQ(logger->attach_output(&other), kKalOk);
  EXPECT_EQ(logger->attach_output(nullptr), kKalErrInvalidArg);
  ASSERT_EQ(logger->output_count(), 2u);
  EXPECT_EQ(logger->output_at(0), &first);
  EXPECT_EQ(logger->output_at(1), &other);
  EXPECT_EQ(logger->output_at(2), nullptr);
  logger->set_level_mask(kKalLogAll);
  logger->log(kKalLogInfo, "once");
  EXPECT_EQ(first.lines().size(), 1u);
  EXPECT_TRUE(second.lines().empty());

  EXPECT_EQ(logger->detach_output(&first), kKalOk);
  EXPECT_EQ(logger->detach_output(&first), kKalErrNotFound);
  EXPECT_EQ(logger->output_count(), 1u);
}

TEST(LoggerTest, ResultIsLastFailingOutput) {
  auto logger = MakeLogger("m");
  KalCaptureOutput a("a", kKalErrNoData);
  KalCaptureOutput b("b", kKalErrPlatform);
  KalCaptureOutput c("c", kKalOk);
  logger->attach_output(&a);
  logger->attach_output(&b);
  logger->attach_output(&c);
  logger->set_level_mask(kKalLogAll);
  EXPECT_EQ(logger->log(kKalLogInfo, "x"), kKalErrPlatform);
  EXPECT_EQ(c.lines().size(), 1u);
}

TEST(LoggerTest, QueryInterfaceEdges) {
  auto logger = MakeLogger("m");
  void* out = &out;
  std::string upper = kKalIidRoot;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(logger->query_interface(upper.c_str(), &out), kKalErrNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(logger->query_interface(kKalIidRoot, nullptr), kKalErrInvalidArg);
  EXPECT_EQ(logger->query_interface(nullptr, &out), kKalErrInvalidArg);

  KalOwned<LogOutput, KalCallDestroy> output(kal_create_stdout_output("console"));
  out = &out;
  EXPECT_EQ(output->query_interface(kKalIidLogger, &out), kKalErrNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(output->query_interface(kKalIidLogOutput, nullptr), kKalErrInvalidArg);
}

TEST(LoggerTest, RolesAnsweredByEachKindOfObject) {
  auto logger = MakeLogger("m");
  auto group = std::unique_ptr<LoggerExtension>(kal_create_log_group());
  NullLogger null_logger;
  KalOwned<LogOutput, KalCallDestroy> console(kal_create_stdout_output("console"));
  KalOwned<LogOutput, KalCallDestroy> file(kal_create_file_output("file"));
  struct Row {
    const char* name;
    IKalRoot* object;
    bool logger, extension, managed, group, output, file;
  } rows[] = {
      {"module_logger", static_cast<Logger*>(logger.get()), 1, 1, 0, 0, 0, 0},
      {"group", static_cast<Logger*>(group.get()), 1, 1, 1, 1, 0, 0},
      {"null_logger", static_cast<Logger*>(&null_logger), 1, 0, 1, 0, 0, 0},
      {"stdout", console.get(), 0, 0, 0, 0, 1, 0},
      {"file", file.get(), 0, 0, 0, 0, 1, 1},
      {"null_standard", kal_null_standard_output(), 0, 0, 0, 0, 1, 0},
      {"null_file", kal_null_file_output(), 0, 0, 0, 0, 1, 1},
  };
  for (const Row& r : rows) {
    EXPECT_NE(Ask<IKalRoot>(r.object, kKalIidRoot), nullptr) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidLogger) != nullptr, r.logger) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidLoggerExtension) != nullptr, r.extension) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidManagedLogger) != nullptr, r.managed) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidLogGroup) != nullptr, r.group) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidLogOutput) != nullptr, r.output) << r.name;
    EXPECT_EQ(Ask<void>(r.object, kKalIidFileLogOutput) != nullptr, r.file) << r.name;
  }
  // The answered interface is usable as that role.
  Logger* as_logger = Ask<Logger>(static_cast<Logger*>(group.get()), kKalIidLogger);
  ASSERT_NE(as_logger, nullptr);
  EXPECT_STREQ(as_logger->module_name(), "All");
  LogGroup* as_group = Ask<LogGroup>(static_cast<Logger*>(group.get()), kKalIidLogGroup);
  ASSERT_NE(as_group, nullptr);
  EXPECT_EQ(as_group->member_count(), 0u);
  FileLogOutput* as_file = Ask<FileLogOutput>(file.get(), kKalIidFileLogOutput);
  ASSERT_NE(as_file, nullptr);
  EXPECT_EQ(as_file->get_size_limit(), kKalLogFileSizeLimitDefault);
}

TEST(NullLoggerTest, DoesNothing) {
  NullLogger null_logger;
  KalCaptureOutput capture;
  EXPECT_STREQ(null_logger.module_name(), "null_session");
  EXPECT_EQ(null_logger.attach_output(&capture), kKalOk);
  EXPECT_EQ(null_logger.set_level_mask(kKalLogAll), kKalOk);
  EXPECT_EQ(null_logger.get_level_mask(nullptr), 0u);
  EXPECT_EQ(null_logger.set_radix(8), kKalOk);
  EXPECT_EQ(null_logger.get_radix(nullptr), 10u);
  EXPECT_EQ(null_logger.log(kKalLogError, "nothing"), kKalOk);
  EXPECT_TRUE(capture.lines().empty());
  EXPECT_EQ(null_logger.release(), kKalErrNotSupported);
}

class LogGroupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    group_.reset(kal_create_log_group());
    ASSERT_NE(group_, nullptr);
    managed_ = Ask<ManagedLogger>(static_cast<Logger*>(group_.get()), kKalIidManagedLogger);
    members_ = Ask<LogGroup>(static_cast<Logger*>(group_.get()), kKalIidLogGroup);
    ASSERT_NE(managed_, nullptr);
    ASSERT_NE(members_, nullptr);
  }
  std::unique_ptr<LoggerExtension> group_;
  ManagedLogger* managed_ = nullptr;
  LogGroup* members_ = nullptr;
};

TEST_F(LogGroupTest, SettingsReachEveryMember) {
  auto a = MakeLogger("a");
  auto b = MakeLogger("b");
  ASSERT_EQ(managed_->add_member(a.get()), kKalOk);
  ASSERT_EQ(managed_->add_member(b.get()), kKalOk);
  EXPECT_EQ(members_->member_count(), 2u);
  group_->set_level_mask(kKalLogWarn);
  group_->set_indent(3);
  group_->set_column_flags(kKalLogColumnTime);
  group_->set_radix(16);
  EXPECT_EQ(group_->set_radix(8), kKalErrInvalidArg);
  for (Logger* m : {static_cast<Logger*>(a.get()), static_cast<Logger*>(b.get())}) {
    EXPECT_EQ(m->get_level_mask(), kKalLogWarn);
    EXPECT_EQ(m->get_indent(), 3u);
    EXPECT_EQ(m->get_column_flags(), kKalLogColumnTime);
    EXPECT_EQ(m->get_radix(), 16u);
  }
}

TEST_F(LogGroupTest, OutputsReachEveryMemberOnce) {
  auto a = MakeLogger("a");
  managed_->add_member(a.get());
  KalCaptureOutput capture;
  EXPECT_EQ(group_->attach_output(&capture), kKalOk);
  EXPECT_EQ(group_->attach_output(&capture), kKalOk);
  EXPECT_EQ(group_->output_count(), 1u);
  EXPECT_EQ(a->output_count(), 1u);
  group_->set_level_mask(kKalLogAll);
  a->log(kKalLogInfo, "from a");
  group_->log(kKalLogInfo, "from group");
  auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(23), AfterTimestamp("a", "Info , ", "from a"));
  EXPECT_EQ(lines[1].substr(23), AfterTimestamp("All", "Info , ", "from group"));

  EXPECT_EQ(group_->detach_output(&capture), kKalOk);
  EXPECT_EQ(a->output_count(), 0u);
}

TEST_F(LogGroupTest, JoiningLoggerTakesOverSettingsThenOutputs) {
  KalCaptureOutput first("first");
  KalCaptureOutput second("second");
  group_->attach_output(&first);
  group_->attach_output(&second);
  group_->set_level_mask(kKalLogError | kKalLogTrace);
  group_->set_column_flags(kKalLogColumnProcess);
  group_->set_radix(16);
  group_->set_indent(2);
  auto joiner = MakeLogger("late");
  KalCaptureOutput own("own");
  joiner->attach_output(&own);
  ASSERT_EQ(managed_->add_member(joiner.get()), kKalOk);
  EXPECT_EQ(joiner->get_level_mask(), kKalLogError | kKalLogTrace);
  EXPECT_EQ(joiner->get_column_flags(), kKalLogColumnProcess);
  EXPECT_EQ(joiner->get_radix(), 16u);
  EXPECT_EQ(joiner->get_indent(), 2u);
  ASSERT_EQ(joiner->output_count(), 3u);
  EXPECT_EQ(joiner->output_at(0), &own);
  EXPECT_EQ(joiner->output_at(1), &first);
  EXPECT_EQ(joiner->output_at(2), &second);
  EXPECT_EQ(managed_->add_member(nullptr), kKalErrInvalidArg);
  EXPECT_EQ(members_->remove_member(joiner.get()), kKalOk);
  EXPECT_EQ(members_->remove_member(joiner.get()), kKalErrNotFound);
}

}  // namespace
