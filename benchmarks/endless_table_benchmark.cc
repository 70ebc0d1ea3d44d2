// A device whose tables never end, read through the built plug-in (loaded
// with dlopen as a host loads it): time to the answer (wall and the host
// process's CPU), number of exchanges and the host process's peak resident
// memory. The walk limits (facade/walk_limits.h) must end the call with -12
// ("too much data") long before the host's memory is gone.
//
// A forked child serves the device on ADDRESS:161 with our scripted
// responder, so that its memory is not the host's: it answers the device
// open's model check, every Get with a short text, and every GetNext with
// the next row forever (the bare column gets row 1, any row its successor).
// Each binding of a row carries VALUE_OCTETS / bindings octets of text, or
// the INTEGER 1 when VALUE_OCTETS is 0 (rows as small as they come, so that
// the row limit ends the walk, not the octet limit).
//
//   endless_table_benchmark [--address=127.0.21.2] [--value-octets=60000]
//                           [--call=storage|refresh]
//
// --call=storage runs ZelGetNumberOfStorageInfo (4 columns per row),
// --call=refresh ZelRefreshOptions (its hrDevice walk, 3 columns, never
// ends). Exit status 0 when the call answered -12.
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/owned.h"
#include "plugin/zel_api.h"
#include "snmp/binding.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "testing/scripted_responder.h"

namespace {

#define ZEL_FUNCTIONS(X)                                                       \
  X(ZelInit) X(ZelUnInit) X(ZelCommandString) X(ZelInitDevice)                 \
  X(ZelRefreshOptions) X(ZelGetNumberOfStorageInfo)

struct Api {
#define ZEL_MEMBER(name) decltype(&::name) name = nullptr;
  ZEL_FUNCTIONS(ZEL_MEMBER)
#undef ZEL_MEMBER
  bool load(std::string* error) {
    void* const library = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      *error = dlerror();
      return false;
    }
#define ZEL_BIND(name)                                                 \
  name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (!name) {                                                       \
    *error = "missing " #name;                                       \
    return false;                                                    \
  }
    ZEL_FUNCTIONS(ZEL_BIND)
#undef ZEL_BIND
    return true;
  }
};

constexpr char kCommunity[] = "public";
constexpr char kSysObjectId[] = "1.3.6.1.2.1.1.2.0";
constexpr char kSupportedModel[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4.5.1";
// The bare columns of the tables walked have 11 sub-identifiers
// (1.3.6.1.2.1.25.2.3.1.2, 1.3.6.1.2.1.25.3.2.1.1).
constexpr size_t kColumnArcs = 11;
constexpr int kServeSeconds = 900;  // the child gives up by itself

size_t arcs(const std::string& oid) {
  size_t n = 1;
  for (char c : oid) n += c == '.';
  return n;
}

// The row after `name`: row 1 of a bare column, else the last sub-identifier
// plus one.
std::string next_row(const std::string& name) {
  if (arcs(name) <= kColumnArcs) return name + ".1";
  const size_t dot = name.rfind('.');
  return name.substr(0, dot + 1) + std::to_string(std::stoul(name.substr(dot + 1)) + 1);
}

std::vector<uint8_t> answer(const zeltest::ScriptedRequest& request, size_t value_octets,
                            std::atomic<uint64_t>* steps) {
  if (request.decode_status != 0 || request.oids.empty()) return {};
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  if (request.type == kKasPduGetNext) {
    ++*steps;
    const std::string text(value_octets / request.oids.size(), 'x');
    for (const std::string& name : request.oids) {
      pdu->append_pair(kas_create_oid_from_text(next_row(name).c_str()),
                       value_octets ? kas_create_value_from_text(text.c_str(), kKasTagOctetString)
                                    : kas_create_value_from_int(1, kKasTagInteger));
    }
  } else {
    for (const std::string& name : request.oids) {
      pdu->append_pair(kas_create_oid_from_text(name.c_str()),
                       name == kSysObjectId
                           ? kas_create_oid_from_text(kSupportedModel)
                           : kas_create_value_from_text("endless", kKasTagOctetString));
    }
  }
  return zeltest::response_with(request, pdu.get());
}

// The child: serves until the parent closes `done` (or dies); then prints
// the number of GetNext requests answered.
int serve(const std::string& address, size_t value_octets, int ready, int done) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  std::atomic<uint64_t> steps{0};
  zeltest::ScriptedResponder responder;
  std::string error;
  if (!responder.start(
          address, 161,
          [value_octets, &steps](const zeltest::ScriptedRequest& r) {
            return std::vector<zeltest::ScriptedReply>{{answer(r, value_octets, &steps)}};
          },
          &error)) {
    std::fprintf(stderr, "responder: %s\n", error.c_str());
    return 1;
  }
  const char byte = 1;
  if (write(ready, &byte, 1) != 1) return 1;
  close(ready);
  for (int i = 0; i < kServeSeconds * 10; ++i) {
    pollfd p{done, POLLIN, 0};
    if (poll(&p, 1, 100) != 0) break;  // closed by the parent
    responder.clear_requests();  // the responder keeps every request it saw
  }
  responder.stop();
  std::printf("responder: %llu GetNext requests answered\n",
              static_cast<unsigned long long>(steps.load()));
  std::fflush(stdout);  // the child leaves with _exit
  return 0;
}

long resident_kib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

long peak_kib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// User and system CPU time of this process so far, in seconds.
double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string flag(int argc, char** argv, const char* name, const char* fallback) {
  const std::string prefix = std::string("--") + name + "=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string address = flag(argc, argv, "address", "127.0.21.2");
  const size_t value_octets = std::strtoul(flag(argc, argv, "value-octets", "60000").c_str(),
                                           nullptr, 10);
  const std::string call = flag(argc, argv, "call", "storage");
  if (call != "storage" && call != "refresh") {
    std::fprintf(stderr, "--call is storage or refresh\n");
    return 2;
  }
  int ready[2], done[2];
  if (pipe(ready) != 0 || pipe(done) != 0) return 1;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    close(ready[0]);
    close(done[1]);
    _exit(serve(address, value_octets, ready[1], done[0]));
  }
  close(ready[1]);
  close(done[0]);
  char byte = 0;
  if (read(ready[0], &byte, 1) != 1) {
    waitpid(child, nullptr, 0);
    return 1;
  }

  Api api;
  std::string error;
  if (!api.load(&error)) {
    std::fprintf(stderr, "cannot load the library: %s\n", error.c_str());
    return 1;
  }
  ZelContext* context = nullptr;
  if (api.ZelInit(&context) != 0) return 1;
  api.ZelCommandString(context, "CmdSetCommunityGetOption", kCommunity);
  const int open = api.ZelInitDevice(context, address.c_str(), 1, 2000, 1);
  if (open != 0) {
    std::fprintf(stderr, "device open answered %d\n", open);
    return 1;
  }
  const long peak_before = peak_kib();
  const long resident_before = resident_kib();
  const double cpu_before = cpu_seconds();
  const auto start = std::chrono::steady_clock::now();
  int32_t count = -99;
  const int status = call == "storage" ? api.ZelGetNumberOfStorageInfo(context, &count)
                                       : api.ZelRefreshOptions(context);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = cpu_seconds() - cpu_before;
  const long peak_after = peak_kib();
  const long resident_after = resident_kib();
  api.ZelUnInit(context);
  close(done[1]);
  waitpid(child, nullptr, 0);
  std::printf("call %s, value octets per row %zu: status %d after %.2f s (host CPU %.2f s)\n",
              call.c_str(), value_octets, status, seconds, cpu);
  std::printf("host peak RSS: %ld KiB before the call, %ld KiB after (VmRSS %ld -> %ld KiB)\n",
              peak_before, peak_after, resident_before, resident_after);
  return status == -12 ? 0 : 1;
}
