#include "benchmarks/recording_agent.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "testing/snmpd_agent.h"

namespace {

// snmpd's own modules under the system group, the interfaces table and the
// Host Resources MIB, and its SMUX port.
constexpr char kSnmpdLeftOut[] =
    "-system_mib,sysORTable,interfaces,ifTable,ifXTable,host,hr_system,hr_storage,hr_device,"
    "hr_other,hr_proc,hr_network,hr_print,hr_disk,hr_partition,hr_filesys,hr_swrun,hr_swinst,"
    "hrh_storage,hrh_filesys,hrSWRunTable,hrSWInstalledTable,smux";

std::string to_hex(const std::string& octets) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : octets) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

}  // namespace

std::string snmpd_override_line(const std::string& line) {
  const size_t a = line.find('|');
  const size_t b = a == std::string::npos ? a : line.find('|', a + 1);
  if (b == std::string::npos || a == 0) return "";
  const std::string oid = line.substr(0, a);
  const std::string type = line.substr(a + 1, b - a - 1);
  const std::string value = line.substr(b + 1);
  const std::string out = "override ." + oid + " ";
  if (type == "2") return out + "integer " + value;
  if (type == "65") return out + "counter " + value;
  if (type == "66") return out + "unsigned " + value;
  if (type == "67") return out + "timeticks " + value;
  if (type == "6") return out + "object_id ." + value;
  if (type == "4" || type == "4x") {
    // Hexadecimal for every text, so that quotes, spaces and control
    // octets in it need no escaping.
    const std::string hex = type == "4" ? to_hex(value) : value;
    return out + "octet_str " + (hex.empty() ? std::string("\"\"") : "0x" + hex);
  }
  return "";
}

bool RecordingAgent::start(Kind kind, const std::string& address, const std::string& recording,
                           const std::string& community, std::string* error) {
  stop();
  const std::string dir = zeltest::make_temp_dir("recording-agent");
  if (dir.empty()) {
    *error = "cannot make a temporary folder";
    return false;
  }
  if (kind == kSnmpd) {
    if (start_snmpd(dir, address, recording, community, error)) return true;
    stop();
    return false;
  }
  if (!zeltest::have_snmpsimd()) {
    *error = "snmpsimd is not installed";
    return false;
  }
  if (!zeltest::write_recording(recording, dir, community)) {
    *error = "cannot copy the recording " + recording;
    return false;
  }
  return snmpsim_.start(address, dir, community, error);
}

bool RecordingAgent::start_snmpd(const std::string& dir, const std::string& address,
                                 const std::string& recording, const std::string& community,
                                 std::string* error) {
  if (!zeltest::have_snmpd()) {
    *error = "snmpd is not installed";
    return false;
  }
  std::ifstream in(recording);
  if (!in) {
    *error = "cannot read the recording " + recording;
    return false;
  }
  std::string extra = "rocommunity " + community + " 127.0.0.0/8\n";
  std::string line;
  while (std::getline(in, line)) {
    const std::string served = snmpd_override_line(line);
    if (served.empty()) {
      *error = "snmpd cannot serve the recording line " + line;
      return false;
    }
    extra += served + "\n";
  }
  const std::string conf = zeltest::write_snmpd_conf(dir, {}, extra);
  if (conf.empty()) {
    *error = "cannot write the snmpd configuration in " + dir;
    return false;
  }
  std::vector<std::string> args = zeltest::snmpd_argv(conf, dir + "/snmpd.pid", address);
  args.insert(args.end() - 1, {"-I", kSnmpdLeftOut});  // before the endpoint
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string log_path = dir + "/snmpd.log";
  snmpd_ = fork();
  if (snmpd_ == 0) {
    FILE* f = std::fopen(log_path.c_str(), "w");
    if (f) {
      dup2(fileno(f), 1);
      dup2(fileno(f), 2);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (snmpd_ < 0 || !zeltest::wait_for_agent(address, community, 30000)) {
    *error = "snmpd on " + address + " did not answer; see " + log_path;
    return false;
  }
  return true;
}

void RecordingAgent::stop() {
  snmpsim_.stop();
  if (snmpd_ > 0) {
    kill(snmpd_, SIGTERM);
    int status = 0;
    waitpid(snmpd_, &status, 0);
  }
  snmpd_ = -1;
}
