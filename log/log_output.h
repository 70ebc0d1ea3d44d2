// Log outputs: where a logger's finished lines go. Kinds: "stdout" (the
// console), "stderr" (standard error, for command-line hosts whose standard
// output carries results), "file" (a size-limited file with one ".bak"
// backup), and the do-nothing outputs "null_standard" and "null_file" that
// lookups hand out instead of nothing. Outputs may be shared by several
// loggers; every write is safe on any thread.
#ifndef LOG_LOG_OUTPUT_H_
#define LOG_LOG_OUTPUT_H_

#include <cstdint>

#include "common/interface_id.h"

class KalProperties;

inline constexpr uint32_t kKalLogFileSizeLimitDefault = 0x400000;  // 4,194,304 bytes
inline constexpr char kKalLogFileBackupSuffix[] = ".bak";
// The properties key the file factory reads the file path from.
inline constexpr char kKalLogFilePathKey[] = "ExtentionName";

// Answers kKalIidRoot and kKalIidLogOutput (the file kinds also
// kKalIidFileLogOutput). release answers kKalErrNotSupported. destroy frees
// an output the caller made (kal_create_*_output, a factory's create); the
// null outputs ignore it. Never destroy an output a LogManager made or one
// still attached to a logger.
class LogOutput : public IKalRoot {
 public:
  // Both lent for the life of the output.
  virtual const char* kind_name() = 0;
  virtual const char* instance_name() = 0;
  // Writes one line (without line end; the output adds it).
  // Answers 0 or the kind's failure (file: kKalErrNoData for a line larger
  // than the size limit, kKalErrPlatform when the file cannot be opened).
  virtual int write(const char* line) = 0;
};

// The file kinds' own operations.
class FileLogOutput : public LogOutput {
 public:
  // Size limit in bytes; each line counts its length plus two for the line
  // end. Answers 0.
  virtual int set_size_limit(uint32_t limit) = 0;
  virtual uint32_t get_size_limit(int* pStatus = nullptr) = 0;
  // Sets the file the output writes to; an open file is closed and the new
  // path opened on the next line. Answers 0, kKalErrInvalidArg for null,
  // kKalErrNoMemory.
  virtual int set_file_path(const char* path) = 0;
};

// Makes outputs of one kind. Factories are static objects that live for the
// whole process.
class LogOutputFactory {
 public:
  virtual const char* kind_name() = 0;
  // A new output named `instance` (the caller owns it: destroy()), or, when
  // the name is missing or empty or the output cannot be made, the kind's
  // null output. `properties` may be null.
  virtual LogOutput* create(const char* instance, const KalProperties* properties) = 0;

 protected:
  ~LogOutputFactory() = default;
};

// Creation functions. The caller owns the result and frees it with destroy().
// *pStatus (optional): 0, kKalErrInvalidArg (missing or empty instance name),
// kKalErrNoMemory.
LogOutput* kal_create_stdout_output(const char* instance, int* pStatus = nullptr) noexcept;
LogOutput* kal_create_stderr_output(const char* instance, int* pStatus = nullptr) noexcept;
FileLogOutput* kal_create_file_output(const char* instance, int* pStatus = nullptr) noexcept;

// The two static do-nothing outputs (never destroyed).
LogOutput* kal_null_standard_output() noexcept;
FileLogOutput* kal_null_file_output() noexcept;

// The built-in factories: kinds "stdout", "stderr" (null output:
// "null_standard") and "file" (null output: "null_file"; the path comes from
// the properties key "ExtentionName").
LogOutputFactory* kal_stdout_output_factory() noexcept;
LogOutputFactory* kal_stderr_output_factory() noexcept;
LogOutputFactory* kal_file_output_factory() noexcept;

#endif  // LOG_LOG_OUTPUT_H_
