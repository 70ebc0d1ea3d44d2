#include "testing/snmpsim_agent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "common/secret.h"

namespace zeltest {
namespace {

constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";

// A v2c GetRequest for sysObjectID.0 with the given community, built by hand
// so that this helper does not depend on the codec it helps to test.
std::vector<unsigned char> probe_request(const std::string& community) {
  const unsigned char tail[] = {
      0xa0, 0x19,                          // GetRequest
      0x02, 0x01, 0x2a,                    // request-id 42
      0x02, 0x01, 0x00, 0x02, 0x01, 0x00,  // error-status, error-index
      0x30, 0x0e, 0x30, 0x0c,              // bindings, one binding
      0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00,
      0x05, 0x00};
  std::vector<unsigned char> body = {0x02, 0x01, 0x01, 0x04,
                                     static_cast<unsigned char>(community.size())};
  body.insert(body.end(), community.begin(), community.end());
  body.insert(body.end(), std::begin(tail), std::end(tail));
  std::vector<unsigned char> msg = {0x30, static_cast<unsigned char>(body.size())};
  msg.insert(msg.end(), body.begin(), body.end());
  return msg;
}

}  // namespace

std::string shared_recording(const std::string& name) {
  std::string path = std::string(ZEL_SHARED_TESTDATA) + "/printers/" + name;
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? path : std::string();
}

std::string repo_file(const std::string& relative) {
  return std::string(ZEL_SOURCE_DIR) + "/" + relative;
}

std::string make_temp_dir(const std::string& tag) {
  std::string tmpl = "/tmp/zeltest-" + tag + "-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const char* dir = mkdtemp(buf.data());
  if (!dir) return std::string();
  // snmpsimd drops to nobody when started as root: it must still read here.
  chmod(dir, 0755);
  return std::string(dir);
}

bool write_recording(const std::string& src, const std::string& dir,
                     const std::string& community,
                     const std::string& sys_object_id) {
  std::ifstream in(src);
  if (!in) return false;
  std::ofstream out(dir + "/" + community + ".snmprec");
  std::string line;
  bool rewritten = false;
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    if (!sys_object_id.empty() && line.rfind(std::string(kSysObjectId) + "|", 0) == 0) {
      line = std::string(kSysObjectId) + "|6|" + sys_object_id;
      rewritten = true;
    }
    lines.push_back(line);
  }
  if (!sys_object_id.empty() && !rewritten) {
    // snmpsimd needs the lines in OID order; sysObjectID sorts right after
    // sysDescr, so insert it before the first line that sorts after it.
    std::string entry = std::string(kSysObjectId) + "|6|" + sys_object_id;
    size_t at = 0;
    while (at < lines.size() && lines[at].rfind("1.3.6.1.2.1.1.1.", 0) == 0) ++at;
    lines.insert(lines.begin() + static_cast<long>(at), entry);
  }
  for (const auto& l : lines) out << l << "\n";
  return static_cast<bool>(out);
}

bool wait_for_agent(const std::string& address, const std::string& community,
                    int timeout_ms) {
  sockaddr_storage ss{};
  socklen_t len = 0;
  int family = AF_INET;
  if (address.find(':') != std::string::npos) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(161);
    if (inet_pton(AF_INET6, address.c_str(), &a6->sin6_addr) != 1) return false;
    len = sizeof(sockaddr_in6);
    family = AF_INET6;
  } else {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&ss);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(161);
    if (inet_pton(AF_INET, address.c_str(), &a4->sin_addr) != 1) return false;
    len = sizeof(sockaddr_in);
  }
  int fd = socket(family, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  const auto msg = probe_request(community);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool ok = false;
  while (!ok && std::chrono::steady_clock::now() < deadline) {
    sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&ss), len);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) == 1) {
      unsigned char buf[2048];
      ok = recv(fd, buf, sizeof buf, 0) > 0;
    }
  }
  close(fd);
  return ok;
}

bool have_snmpsimd() { return std::system("command -v snmpsimd >/dev/null 2>&1") == 0; }

bool SnmpsimAgent::start(const std::string& address, const std::string& data_dir,
                         const std::string& probe_community, std::string* error,
                         const std::vector<std::string>& extra_args) {
  stop();
  const bool v6 = address.find(':') != std::string::npos;
  std::string endpoint = v6 ? "--agent-udpv6-endpoint=[" + address + "]:161"
                            : "--agent-udpv4-endpoint=" + address + ":161";
  std::string data = "--data-dir=" + data_dir;
  log_path_ = data_dir + "/snmpsimd.log";
  std::string cache_dir = data_dir + "/.cache";
  mkdir(cache_dir.c_str(), 0777);
  chmod(cache_dir.c_str(), 0777);
  std::string cache = "--cache-dir=" + cache_dir;
  const bool root = geteuid() == 0;
  // The command line is built before the fork: the child only execs.
  std::vector<std::string> args = {"snmpsimd", data, endpoint, cache};
  if (root) {
    args.push_back("--process-user=nobody");
    args.push_back("--process-group=nogroup");
  }
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    FILE* f = std::fopen(log_path_.c_str(), "w");
    if (f) {
      dup2(fileno(f), 1);
      dup2(fileno(f), 2);
    }
    execvp("snmpsimd", argv.data());
    _exit(127);
  }
  // The users' pass phrases travel on the command line: no copy of them
  // stays in this process's freed memory.
  for (std::string& a : args) kal_wipe(&a);
  if (pid_ < 0) {
    if (error) *error = "fork failed";
    return false;
  }
  if (!wait_for_agent(address, probe_community, 30000)) {
    std::ifstream log(log_path_);
    std::stringstream ss;
    ss << log.rdbuf();
    if (error) *error = "snmpsimd on " + address + " did not answer: " + ss.str();
    stop();
    return false;
  }
  return true;
}

void SnmpsimAgent::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

}  // namespace zeltest
