// The fixed layout of one log line, built into a caller's buffer:
//
//   2024/05/17 09:03:11:042,    12345,    12346, socket          , Debug, text
//   |timestamp (23)        |, |pid (8)|, |tid (8)|, |module (16)  |, |label|indent text
//
// Columns that are switched off are blanks of the same width; the IDs are
// "%8d" in radix 10 and "%08X" in radix 16; the label is one of six seven-
// character words or nothing. A line never exceeds kKalLogLineMax characters.
#ifndef LOG_LOG_LINE_H_
#define LOG_LOG_LINE_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "log/log_platform.h"

inline constexpr size_t kKalLogLineMax = 1024;

// Column flag bits of a logger.
enum : uint32_t {
  kKalLogColumnTime = 1,
  kKalLogColumnProcess = 2,
  kKalLogColumnThread = 4,
  kKalLogColumnsDefault = 7,
};

inline constexpr char kKalLogNullMessage[] = "(client was about to output null message...)";

// Everything of a line except the message.
struct KalLogLineHead {
  KalLogStamp stamp;        // read only when columns has kKalLogColumnTime
  uint32_t process_id;
  uint32_t thread_id;
  uint32_t columns;
  uint32_t radix;           // 16: hexadecimal IDs; anything else: decimal
  const char* module;       // null counts as empty
  uint32_t indent;          // groups of four blanks
};

// The label of a level ("Debug, "), or "" for a value that is not one of the
// six levels.
const char* kal_log_level_label(uint32_t level) noexcept;

// Builds the line into line[kKalLogLineMax + 1] and answers its length. A
// null format writes kKalLogNullMessage. The text is cut at kKalLogLineMax.
size_t kal_format_log_line(char* line, const KalLogLineHead& head, uint32_t level,
                           const char* format, va_list args) noexcept;

#endif  // LOG_LOG_LINE_H_
