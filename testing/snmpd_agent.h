// Test helper: runs Net-SNMP's own agent (snmpd) in the foreground on one
// address, port 161, with a temporary configuration that the test writes:
// SNMPv3 users (createUser + rouser/rwuser) and a read community for the
// start-up check. Its persistent folder is a temporary one, so the
// machine's /var/lib/snmp is never touched. Each test uses an address of its
// own. The agent is stopped when the object goes.
#ifndef TESTING_SNMPD_AGENT_H_
#define TESTING_SNMPD_AGENT_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace zeltest {

// One SNMPv3 user of the agent. Empty auth: noAuthNoPriv; empty priv:
// authNoPriv.
struct SnmpdUser {
  std::string name;
  std::string auth;       // "MD5", "SHA" or ""
  std::string auth_pass;
  std::string priv;       // "DES", "AES" or ""
  std::string priv_pass;
  bool writable = false;  // rwuser instead of rouser
};

// The community that the start-up check reads with (SNMPv2c).
inline constexpr char kSnmpdProbeCommunity[] = "zelprobe";

// Writes dir/snmpd.conf for the users (persistent folder dir/persist).
// Lines in `extra` are appended. Answers the configuration's path, or ""
// when it cannot be written.
std::string write_snmpd_conf(const std::string& dir, const std::vector<SnmpdUser>& users,
                             const std::string& extra = "");

// The command line that runs snmpd in the foreground on address:161 (an
// IPv4 or IPv6 literal) with that configuration, MIB loading off, log to
// stdout. For NetNsNode::spawn.
std::vector<std::string> snmpd_argv(const std::string& conf, const std::string& pid_file,
                                    const std::string& address);

// True when snmpd is installed.
bool have_snmpd();

class SnmpdAgent {
 public:
  SnmpdAgent() = default;
  ~SnmpdAgent() { stop(); }
  SnmpdAgent(const SnmpdAgent&) = delete;
  SnmpdAgent& operator=(const SnmpdAgent&) = delete;

  // Starts snmpd on address:161 with the users and waits until it answers.
  // On failure the reason (with the agent's log) goes to *error.
  bool start(const std::string& address, const std::vector<SnmpdUser>& users,
             std::string* error, const std::string& extra = "");
  // Stops the agent and removes its temporary folder.
  void stop();
  bool running() const { return pid_ > 0; }
  const std::string& dir() const { return dir_; }

 private:
  void remove_dir();

  pid_t pid_ = -1;
  std::string dir_;
};

}  // namespace zeltest

#endif  // TESTING_SNMPD_AGENT_H_
