#include "log/log_line.h"

#include <gtest/gtest.h>

#include <string>

#include "log/log.h"

namespace {

KalLogLineHead Head() {
  KalLogLineHead head{};
  head.stamp = {2024, 5, 17, 9, 3, 11, 42};
  head.process_id = 12345;
  head.thread_id = 678;
  head.columns = kKalLogColumnsDefault;
  head.radix = 10;
  head.module = "socket";
  head.indent = 0;
  return head;
}

std::string Line(const KalLogLineHead& head, uint32_t level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
std::string Line(const KalLogLineHead& head, uint32_t level, const char* format, ...) {
  char line[kKalLogLineMax + 2];
  line[kKalLogLineMax + 1] = '#';  // a guard byte past the buffer the builder gets
  va_list args;
  va_start(args, format);
  const size_t n = kal_format_log_line(line, head, level, format, args);
  va_end(args);
  EXPECT_EQ(line[kKalLogLineMax + 1], '#');
  EXPECT_EQ(n, std::string(line).size());
  return std::string(line, n);
}

// The full line for one head change: radix, cleared columns, indent, null
// format, and a message that just fits.
TEST(LogLineTest, HeadsAndFormats) {
  const std::string prefix = "2024/05/17 09:03:11:042,    12345,      678, socket          , ";
  const std::string fitting(kKalLogLineMax - prefix.size() - 7, 'y');
  const struct {
    const char* name;
    uint32_t radix, columns, indent, level;
    const char* message;  // null: a null format
    std::string line;
  } rows[] = {
      {"default columns, radix 10", 10, kKalLogColumnsDefault, 0, kKalLogDebug, "hello 7",
       prefix + "Debug, hello 7"},
      {"radix 16", 16, kKalLogColumnsDefault, 0, kKalLogError, "x",
       "2024/05/17 09:03:11:042, 00003039, 000002A6, socket          , Error, x"},
      {"columns cleared are blanks", 10, 0, 0, kKalLogInfo, "x",
       "                       ,         ,         , socket          , Info , x"},
      {"thread column only", 10, kKalLogColumnThread, 0, kKalLogInfo, "x",
       "                       ,         ,      678, socket          , Info , x"},
      {"null format", 10, kKalLogColumnsDefault, 0, kKalLogTrace, nullptr,
       prefix + "Trace, (client was about to output null message...)"},
      {"indent in groups of four", 10, kKalLogColumnsDefault, 2, kKalLogInfo, "m",
       prefix + "Info ,         m"},
      {"message just fitting", 10, kKalLogColumnsDefault, 0, kKalLogInfo, fitting.c_str(),
       prefix + "Info , " + fitting},
  };
  for (const auto& row : rows) {
    KalLogLineHead head = Head();
    head.radix = row.radix;
    head.columns = row.columns;
    head.indent = row.indent;
    const std::string line = row.message ? Line(head, row.level, "%s", row.message)
                                         : Line(head, row.level, nullptr);
    EXPECT_EQ(line, row.line) << row.name;
  }
}

TEST(LogLineTest, EveryLabel) {
  struct Row {
    const char* name;
    uint32_t level;
    const char* label;
  } rows[] = {
      {"error", kKalLogError, "Error, "}, {"warn", kKalLogWarn, "Warn , "},
      {"info", kKalLogInfo, "Info , "},   {"debug", kKalLogDebug, "Debug, "},
      {"trace", kKalLogTrace, "Trace, "}, {"all", kKalLogAll, "All  , "},
      {"two_bits", 3, ""},                {"zero", 0, ""},
      {"bit_32", 32, ""},
  };
  KalLogLineHead head = Head();
  head.columns = 0;
  const std::string prefix = std::string(23, ' ') + ",         ,         , socket          , ";
  for (const Row& row : rows) {
    EXPECT_EQ(Line(head, row.level, "m"), prefix + row.label + "m") << row.name;
    EXPECT_STREQ(kal_log_level_label(row.level), row.label) << row.name;
  }
}

TEST(LogLineTest, ModuleCutOrPaddedTo16) {
  KalLogLineHead head = Head();
  head.columns = 0;
  head.module = "abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(Line(head, kKalLogWarn, "m").substr(45), "abcdefghijklmnop, Warn , m");
  head.module = "Zel";
  EXPECT_EQ(Line(head, kKalLogWarn, "m").substr(45), "Zel             , Warn , m");
  head.module = nullptr;
  EXPECT_EQ(Line(head, kKalLogWarn, "m").substr(45), std::string(16, ' ') + ", Warn , m");
}

TEST(LogLineTest, LongMessageCutAt1024) {
  const std::string message(5000, 'x');
  const std::string line = Line(Head(), kKalLogInfo, "%s", message.c_str());
  ASSERT_EQ(line.size(), kKalLogLineMax);
  const std::string prefix = "2024/05/17 09:03:11:042,    12345,      678, socket          , Info , ";
  EXPECT_EQ(line.substr(0, prefix.size()), prefix);
  EXPECT_EQ(line.substr(prefix.size()), std::string(kKalLogLineMax - prefix.size(), 'x'));
}

TEST(LogLineTest, HugeIndentFillsTheLineWithoutOverflow) {
  KalLogLineHead head = Head();
  head.indent = 0xFFFFFFFFu;
  const std::string line = Line(head, kKalLogInfo, "never shown");
  ASSERT_EQ(line.size(), kKalLogLineMax);
  EXPECT_EQ(line.find("never"), std::string::npos);
  EXPECT_EQ(line.back(), ' ');
}

}  // namespace
