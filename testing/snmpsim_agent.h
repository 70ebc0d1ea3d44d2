// Test helper: serves .snmprec recordings with Debian's snmpsimd on one
// loopback address, port 161. Each test uses its own address (127.0.0.N),
// because snmpsimd binds with SO_REUSEADDR and two agents on one address would
// silently share the requests. The agent is stopped when the object goes.
#ifndef TESTING_SNMPSIM_AGENT_H_
#define TESTING_SNMPSIM_AGENT_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace zeltest {

// Path of a recording in the shared test data (printers/NAME), or "" when the
// shared folder is absent.
std::string shared_recording(const std::string& name);

// Path of a recording kept in the repository (relative to the source root).
std::string repo_file(const std::string& relative);

// A fresh temporary folder (removed by the caller or left to /tmp).
std::string make_temp_dir(const std::string& tag);

// Copies the recording `src` to dir/COMMUNITY.snmprec. With a non-empty
// `sys_object_id`, the value of sysObjectID.0 is rewritten to it (added when
// the recording has none). Answers false when `src` cannot be read.
bool write_recording(const std::string& src, const std::string& dir,
                     const std::string& community,
                     const std::string& sys_object_id = "");

// Sends a v2c get of sysObjectID.0 to address:161 until an answer arrives or
// `timeout_ms` passes. Works for IPv4 and IPv6 literals.
bool wait_for_agent(const std::string& address, const std::string& community,
                    int timeout_ms);

class SnmpsimAgent {
 public:
  SnmpsimAgent() = default;
  ~SnmpsimAgent() { stop(); }
  SnmpsimAgent(const SnmpsimAgent&) = delete;
  SnmpsimAgent& operator=(const SnmpsimAgent&) = delete;

  // Serves every recording in `data_dir` on address:161 (an IPv4 or IPv6
  // literal) and waits until it answers `probe_community`. On failure the
  // reason goes to *error. `extra_args` are added to snmpsimd's command line
  // (for example its SNMPv3 users: "--v3-user=NAME", "--v3-auth-key=...").
  bool start(const std::string& address, const std::string& data_dir,
             const std::string& probe_community, std::string* error,
             const std::vector<std::string>& extra_args = {});
  void stop();
  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  std::string log_path_;
};

// True when snmpsimd is on the PATH.
bool have_snmpsimd();

}  // namespace zeltest

#endif  // TESTING_SNMPSIM_AGENT_H_
