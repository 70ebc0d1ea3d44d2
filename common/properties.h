// A small set of text properties (key and value), handed to log output
// factories: the file factory reads its path from the key "ExtentionName".
// Not thread-safe; one owner at a time.
#ifndef COMMON_PROPERTIES_H_
#define COMMON_PROPERTIES_H_

#include <string>
#include <utility>
#include <vector>

class KalProperties {
 public:
  // Sets `key` to `value`, replacing an earlier value of the same key.
  // Answers 0; kKalErrInvalidArg for a null key or value; kKalErrNoMemory.
  int set(const char* key, const char* value) noexcept;
  // The value of `key` (lent until the next set), or null when absent.
  const char* get(const char* key) const noexcept;
  size_t size() const noexcept { return items_.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

#endif  // COMMON_PROPERTIES_H_
