// Serves one .snmprec recording to one community on address:161 for a
// benchmark: with Debian's snmpsimd, or with Net-SNMP's snmpd, which answers
// about twenty times faster per request. snmpd gets the recording as one
// "override" line per object and runs without its own MIB modules that
// register under the recording's tables (otherwise the machine's own storage
// and devices would be walked together with the recording's rows). The
// agent is stopped when the object goes.
#ifndef BENCHMARKS_RECORDING_AGENT_H_
#define BENCHMARKS_RECORDING_AGENT_H_

#include <sys/types.h>

#include <string>

#include "testing/snmpsim_agent.h"

class RecordingAgent {
 public:
  enum Kind { kSnmpsimd, kSnmpd };

  RecordingAgent() = default;
  ~RecordingAgent() { stop(); }
  RecordingAgent(const RecordingAgent&) = delete;
  RecordingAgent& operator=(const RecordingAgent&) = delete;

  // Starts the agent and waits until it answers `community`. False with the
  // reason in *error (the agent is then stopped).
  bool start(Kind kind, const std::string& address, const std::string& recording,
             const std::string& community, std::string* error);
  void stop();

 private:
  bool start_snmpd(const std::string& dir, const std::string& address,
                   const std::string& recording, const std::string& community,
                   std::string* error);

  zeltest::SnmpsimAgent snmpsim_;
  pid_t snmpd_ = -1;
};

// The snmpd.conf line that serves one recording line "OID|TYPE|VALUE"
// (types 2, 4, 4x, 6, 65, 66, 67); "" for anything else.
std::string snmpd_override_line(const std::string& line);

#endif  // BENCHMARKS_RECORDING_AGENT_H_
