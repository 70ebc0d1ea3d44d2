#include "log/log_line.h"

#include <cstdio>
#include <cstring>

#include "log/log.h"

namespace {

// Appends to a line that always stays NUL-terminated within its buffer.
class LineCursor {
 public:
  explicit LineCursor(char* line) : line_(line) { line_[0] = '\0'; }
  size_t room() const { return kKalLogLineMax - len_; }
  size_t length() const { return len_; }

  void text(const char* s) { bytes(s, std::strlen(s)); }
  void bytes(const char* s, size_t n) {
    if (n > room()) n = room();
    if (n == 0) return;
    std::memcpy(line_ + len_, s, n);
    len_ += n;
    line_[len_] = '\0';
  }
  void blanks(size_t n) {
    if (n > room()) n = room();
    std::memset(line_ + len_, ' ', n);
    len_ += n;
    line_[len_] = '\0';
  }
  void format(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, fmt);
    vformat(fmt, args);
    va_end(args);
  }
  void vformat(const char* fmt, va_list args) {
    if (room() == 0) return;
    // vsnprintf cuts at room() characters and terminates; its answer is the
    // untruncated length, so take the smaller one.
    int n = std::vsnprintf(line_ + len_, room() + 1, fmt, args);
    if (n < 0) {
      line_[len_] = '\0';
      return;
    }
    len_ += static_cast<size_t>(n) < room() ? static_cast<size_t>(n) : room();
  }

 private:
  char* line_;
  size_t len_ = 0;
};

void id_column(LineCursor& c, bool on, uint32_t radix, uint32_t id) {
  if (!on) {
    c.blanks(8);
  } else if (radix == 16) {
    c.format("%08X", static_cast<unsigned>(id));
  } else {
    c.format("%8d", static_cast<int>(id));
  }
}

}  // namespace

const char* kal_log_level_label(uint32_t level) noexcept {
  switch (level) {
    case kKalLogError: return "Error, ";
    case kKalLogWarn: return "Warn , ";
    case kKalLogInfo: return "Info , ";
    case kKalLogDebug: return "Debug, ";
    case kKalLogTrace: return "Trace, ";
    case kKalLogAll: return "All  , ";
    default: return "";
  }
}

size_t kal_format_log_line(char* line, const KalLogLineHead& head, uint32_t level,
                           const char* format, va_list args) noexcept {
  LineCursor c(line);
  if (head.columns & kKalLogColumnTime) {
    const KalLogStamp& t = head.stamp;
    c.format("%04d/%02d/%02d %02d:%02d:%02d:%03d", t.year, t.month, t.day, t.hour, t.minute,
             t.second, t.millisecond);
  } else {
    c.blanks(23);
  }
  c.text(", ");
  id_column(c, head.columns & kKalLogColumnProcess, head.radix, head.process_id);
  c.text(", ");
  id_column(c, head.columns & kKalLogColumnThread, head.radix, head.thread_id);
  c.text(", ");
  // "%-16.16s": cut or padded to 16 characters.
  const size_t module_length = head.module ? strnlen(head.module, 16) : 0;
  c.bytes(head.module, module_length);
  c.blanks(16 - module_length);
  c.text(", ");
  c.text(kal_log_level_label(level));
  // Four blanks per indent step; a large count only fills the line.
  const uint64_t indent = static_cast<uint64_t>(head.indent) * 4;
  c.blanks(indent < c.room() ? static_cast<size_t>(indent) : c.room());
  if (c.room() > 0) {
    if (format) {
      c.vformat(format, args);
    } else {
      c.text(kKalLogNullMessage);
    }
  }
  return c.length();
}
