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

CallContext call_context(const Options& o, const std::string& operation) {
  CallContext c;
  c.operation = operation;
  c.address = o.address;
  c.protocol = o.protocol;
  c.timeout_ms = o.timeout_ms;
  c.retries = o.retries;
  c.v3 = o.v3;
  c.raw_protocol = o.raw_protocol;
  return c;
}

int report_failure(bool json, int32_t status, int exit_code, const std::string& message) {
  std::fprintf(stderr, "zelctl: %s\n", message.c_str());
  if (json) std::fputs(dump_json(outcome_json(status, exit_code, message)).c_str(), stdout);
  return exit_code;
}

}  // namespace zelctl
