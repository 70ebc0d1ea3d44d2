#include "tools/zelctl/outcome.h"

#include <cstdio>

namespace zelctl {

Json outcome_json(int32_t status, int exit_code, const std::string& message) {
  std::string line = message.empty() ? (exit_code == 0 ? "ok" : "failed") : message;
  for (auto& ch : line) {
    if (ch == '\n' || ch == '\r') ch = ' ';
  }
  return Json{{"schema_version", kSchemaVersion},
              {"status", status},
              {"exit_code", exit_code},
              {"message", line}};
}

int report_failure(bool json, int32_t status, int exit_code, const std::string& message) {
  std::fprintf(stderr, "zelctl: %s\n", message.c_str());
  if (json) std::fputs(dump_json(outcome_json(status, exit_code, message)).c_str(), stdout);
  return exit_code;
}

}  // namespace zelctl
