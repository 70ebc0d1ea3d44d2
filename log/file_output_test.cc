#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "common/properties.h"
#include "common/status.h"
#include "log/log.h"
#include "log/log_output.h"
#include "log/logger.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class FileOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "zel_log_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/plugin.log";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    std::remove((path_ + ".bak").c_str());
    rmdir(dir_.c_str());
  }
  FileLogOutput* Make(uint32_t limit) {
    output_.reset(kal_create_file_output("file"));
    EXPECT_EQ(output_->set_file_path(path_.c_str()), kKalOk);
    EXPECT_EQ(output_->set_size_limit(limit), kKalOk);
    return output_.get();
  }
  std::string dir_;
  std::string path_;
  KalOwned<FileLogOutput, KalCallDestroy> output_;
};

TEST_F(FileOutputTest, LineLongerThanTheLimitIsRefused) {
  FileLogOutput* out = Make(100);
  EXPECT_EQ(out->write(std::string(99, 'a').c_str()), kKalErrNoData);
  EXPECT_EQ(ReadFile(path_), "");
  EXPECT_EQ(out->write(std::string(98, 'a').c_str()), kKalOk);  // 98 + 2 fits exactly
  EXPECT_EQ(ReadFile(path_), std::string(98, 'a') + "\n");
}

TEST_F(FileOutputTest, RotatesToOneBackup) {
  WriteFile(path_ + ".bak", "an older backup\n");
  FileLogOutput* out = Make(100);
  const std::string l1(40, '1'), l2(40, '2'), l3(40, '3'), l4(40, '4'), l5(40, '5');
  ASSERT_EQ(out->write(l1.c_str()), kKalOk);
  ASSERT_EQ(out->write(l2.c_str()), kKalOk);  // 84 counted bytes
  EXPECT_EQ(ReadFile(path_), l1 + "\n" + l2 + "\n");
  EXPECT_EQ(ReadFile(path_ + ".bak"), "an older backup\n");

  ASSERT_EQ(out->write(l3.c_str()), kKalOk);  // 126 would pass 100: rotate
  EXPECT_EQ(ReadFile(path_ + ".bak"), l1 + "\n" + l2 + "\n");
  EXPECT_EQ(ReadFile(path_), l3 + "\n");

  ASSERT_EQ(out->write(l4.c_str()), kKalOk);
  ASSERT_EQ(out->write(l5.c_str()), kKalOk);
  EXPECT_EQ(ReadFile(path_ + ".bak"), l3 + "\n" + l4 + "\n");
  EXPECT_EQ(ReadFile(path_), l5 + "\n");
}

// Lines are appended to a file already there, and its length counts.
TEST_F(FileOutputTest, ExistingFileIsAppendedToAndItsLengthCounts) {
  WriteFile(path_, "earlier\n");
  ASSERT_EQ(Make(kKalLogFileSizeLimitDefault)->write("later"), kKalOk);
  EXPECT_EQ(ReadFile(path_), "earlier\nlater\n");
  EXPECT_FALSE(Exists(path_ + ".bak"));

  WriteFile(path_, std::string(59, 'o') + "\n");  // 60 bytes already there
  const std::string line(40, 'n');
  ASSERT_EQ(Make(100)->write(line.c_str()), kKalOk);  // 60 + 42 > 100: rotate first
  EXPECT_EQ(ReadFile(path_ + ".bak"), std::string(59, 'o') + "\n");
  EXPECT_EQ(ReadFile(path_), line + "\n");
}

TEST_F(FileOutputTest, UnopenablePath) {
  KalOwned<FileLogOutput, KalCallDestroy> out(kal_create_file_output("file"));
  EXPECT_EQ(out->write("no path yet"), kKalErrPlatform);
  ASSERT_EQ(out->set_file_path((dir_ + "/missing/dir/x.log").c_str()), kKalOk);
  EXPECT_EQ(out->write("x"), kKalErrPlatform);
  // A good path later works: the output tries again on every line.
  ASSERT_EQ(out->set_file_path(path_.c_str()), kKalOk);
  EXPECT_EQ(out->write("x"), kKalOk);
  EXPECT_EQ(out->write(nullptr), kKalErrInvalidArg);
}

TEST_F(FileOutputTest, FactoryReadsThePathProperty) {
  LogOutputFactory* factory = kal_file_output_factory();
  EXPECT_STREQ(factory->kind_name(), "file");
  KalProperties props;
  ASSERT_EQ(props.set("ExtentionName", path_.c_str()), kKalOk);
  KalOwned<LogOutput, KalCallDestroy> out(factory->create("mine", &props));
  EXPECT_STREQ(out->kind_name(), "file");
  EXPECT_STREQ(out->instance_name(), "mine");
  ASSERT_EQ(out->write("via factory"), kKalOk);
  EXPECT_EQ(ReadFile(path_), "via factory\n");

  EXPECT_EQ(factory->create(nullptr, &props), kal_null_file_output());
  EXPECT_EQ(factory->create("", nullptr), kal_null_file_output());
  EXPECT_STREQ(kal_null_file_output()->instance_name(), "null_file");
  EXPECT_EQ(kal_stdout_output_factory()->create(nullptr, nullptr), kal_null_standard_output());
  EXPECT_STREQ(kal_null_standard_output()->kind_name(), "null_standard");
  kal_alloc_hook::g_fail_countdown = 0;
  LogOutput* failed = factory->create("mine", nullptr);
  kal_alloc_hook::g_fail_countdown = -1;
  EXPECT_EQ(failed, kal_null_file_output()) << "allocation failure";
}

// Loggers on eight threads share one file output: its lock must keep every
// line whole and lose none.
TEST_F(FileOutputTest, EightThreadsKeepEveryLineWhole) {
  constexpr int kThreads = 8;
  constexpr int kLines = 1000;
  FileLogOutput* out = Make(kKalLogFileSizeLimitDefault);
  std::vector<std::unique_ptr<LoggerExtension>> loggers;
  for (int i = 0; i < kThreads / 2; ++i) {  // two threads per logger
    loggers.emplace_back(kal_create_logger(("worker" + std::to_string(i)).c_str()));
    loggers.back()->attach_output(out);
    loggers.back()->set_level_mask(kKalLogAll);
  }
  const std::string pad(60, '.');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < kLines; ++n) {
        loggers[t / 2]->log(kKalLogInfo, "thread %d line %d %s end", t, n, pad.c_str());
      }
    });
  }
  for (auto& th : threads) th.join();

  std::ifstream in(path_);
  std::string line;
  std::map<int, std::vector<bool>> seen;
  int count = 0;
  while (std::getline(in, line)) {
    ++count;
    ASSERT_GT(line.size(), 69u) << line;
    const std::string tail = line.substr(45);  // after time, pid and tid columns
    int t = -1, n = -1;
    char module[17] = {};
    char rest[128] = {};
    ASSERT_EQ(std::sscanf(tail.c_str(), "%16c, Info , thread %d line %d %127s", module, &t, &n,
                          rest),
              4)
        << line;
    ASSERT_TRUE(t >= 0 && t < kThreads && n >= 0 && n < kLines) << line;
    EXPECT_EQ(std::string(module), "worker" + std::to_string(t / 2) + std::string(9, ' '));
    EXPECT_EQ(std::string(rest), pad) << line;
    EXPECT_EQ(line.substr(line.size() - 4), " end") << line;
    auto& marks = seen[t];
    marks.resize(kLines);
    EXPECT_FALSE(marks[n]) << "duplicate " << line;
    marks[n] = true;
  }
  EXPECT_EQ(count, kThreads * kLines);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kLines));
    for (int n = 0; n < kLines; ++n) EXPECT_TRUE(seen[t][n]) << t << " " << n;
  }
}

}  // namespace
