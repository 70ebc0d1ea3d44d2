#include "testing/snmpd_agent.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/snmpsim_agent.h"

namespace zeltest {

std::string write_snmpd_conf(const std::string& dir, const std::vector<SnmpdUser>& users,
                             const std::string& extra) {
  const std::string persist = dir + "/persist";
  mkdir(persist.c_str(), 0700);
  const std::string path = dir + "/snmpd.conf";
  std::ofstream conf(path);
  conf << "[snmp] persistentDir " << persist << "\n";
  conf << "rocommunity " << kSnmpdProbeCommunity << "\n";
  for (const SnmpdUser& u : users) {
    conf << "createUser " << u.name;
    if (!u.auth.empty()) conf << " " << u.auth << " " << u.auth_pass;
    if (!u.auth.empty() && !u.priv.empty()) conf << " " << u.priv << " " << u.priv_pass;
    conf << "\n";
    const char* level = u.auth.empty() ? "noauth" : (u.priv.empty() ? "auth" : "priv");
    conf << (u.writable ? "rwuser " : "rouser ") << u.name << " " << level << "\n";
  }
  conf << extra;
  return conf ? path : std::string();
}

std::vector<std::string> snmpd_argv(const std::string& conf, const std::string& pid_file,
                                    const std::string& address) {
  const bool v6 = address.find(':') != std::string::npos;
  const std::string endpoint = v6 ? "udp6:[" + address + "]:161" : "udp:" + address + ":161";
  // MIBS= keeps the agent from loading MIB modules it does not need; snmpd
  // lives in /usr/sbin, which a test's PATH may lack.
  return {"env", "PATH=/usr/sbin:/usr/bin:/sbin:/bin", "MIBS=", "snmpd", "-f", "-Lo", "-C",
          "-c", conf, "-p", pid_file, endpoint};
}

bool have_snmpd() {
  return std::system("command -v snmpd >/dev/null 2>&1 || test -x /usr/sbin/snmpd") == 0;
}

bool SnmpdAgent::start(const std::string& address, const std::vector<SnmpdUser>& users,
                       std::string* error, const std::string& extra) {
  stop();
  dir_ = make_temp_dir("snmpd");
  const std::string conf = write_snmpd_conf(dir_, users, extra);
  if (conf.empty()) {
    if (error) *error = "cannot write the snmpd configuration in " + dir_;
    return false;
  }
  const std::vector<std::string> args = snmpd_argv(conf, dir_ + "/snmpd.pid", address);
  const std::string log_path = dir_ + "/snmpd.log";
  pid_ = fork();
  if (pid_ == 0) {
    FILE* f = std::fopen(log_path.c_str(), "w");
    if (f) {
      dup2(fileno(f), 1);
      dup2(fileno(f), 2);
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ < 0) {
    if (error) *error = "fork failed";
    return false;
  }
  if (!wait_for_agent(address, kSnmpdProbeCommunity, 20000)) {
    std::ifstream log(log_path);
    std::stringstream ss;
    ss << log.rdbuf();
    if (error) *error = "snmpd on " + address + " did not answer: " + ss.str();
    stop();
    return false;
  }
  return true;
}

void SnmpdAgent::stop() {
  if (pid_ <= 0) {
    remove_dir();
    return;
  }
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      remove_dir();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  remove_dir();
}

void SnmpdAgent::remove_dir() {
  if (dir_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
  dir_.clear();
}

}  // namespace zeltest
