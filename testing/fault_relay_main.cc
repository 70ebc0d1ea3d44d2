// fault_relay: the fault relay as a program, for the lab. Listens on one
// address and port, forwards to one agent and spoils the traffic as the
// settings say; ends on SIGINT or SIGTERM, or by itself when its lifetime is
// over, and writes its counters as one line of JSON (to --stats FILE, kept
// current while it runs, and to standard output at the end).
//
//   fault_relay --listen 0.0.0.0:161 --agent 127.0.0.1:1161
//       loss=0.2 duplicate=0.1 reorder=0.1 delay_ms=200 seed=7 --lifetime 900
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "testing/fault_relay.h"

namespace {

constexpr char kUsage[] =
    "usage: fault_relay --listen ADDR:PORT --agent ADDR:PORT [--alternate "
    "ADDR]\n"
    "                   [--lifetime SECONDS] [--stats FILE] [KEY=VALUE...]\n"
    "       fault_relay --check [KEY=VALUE...]\n"
    "  ADDR is an IPv4 literal or [IPv6]; the lifetime defaults to 600 s.\n"
    "  KEY: loss, request_loss, answer_loss, duplicate, reorder, garbage\n"
    "       (probabilities 0..1), delay_ms, jitter_ms, reorder_ms, seed,\n"
    "       cut_after (drop every request after that many: a dead agent).\n"
    "  --check only checks the settings.\n";

// "1.2.3.4:161" or "[::1]:161".
bool split_endpoint(const std::string& text, std::string* host,
                    uint16_t* port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return false;
  *host = text.substr(0, colon);
  if (host->size() >= 2 && host->front() == '[' && host->back() == ']') {
    *host = host->substr(1, host->size() - 2);
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text.c_str() + colon + 1, &end, 10);
  if (*end || errno || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return !host->empty();
}

// Replaces `path` whole, so that a reader never sees half a line.
void write_stats(const std::string& path, const std::string& line) {
  if (path.empty()) return;
  const std::string temporary = path + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "w");
  if (!f) return;
  std::fprintf(f, "%s\n", line.c_str());
  if (std::fclose(f) == 0) std::rename(temporary.c_str(), path.c_str());
}

int usage_error(const std::string& why) {
  std::fprintf(stderr, "fault_relay: %s\n%s", why.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zeltest::FaultRelayConfig config;
  std::string stats_path;
  long lifetime_s = 600;
  bool have_listen = false, have_agent = false, check_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--check") {
      check_only = true;
    } else if (arg == "--listen" && has_value) {
      if (!split_endpoint(argv[++i], &config.listen, &config.listen_port))
        return usage_error(std::string("bad --listen ") + argv[i]);
      have_listen = true;
    } else if (arg == "--agent" && has_value) {
      if (!split_endpoint(argv[++i], &config.agent, &config.agent_port))
        return usage_error(std::string("bad --agent ") + argv[i]);
      have_agent = true;
    } else if (arg == "--alternate" && has_value) {
      config.alternate = argv[++i];
    } else if (arg == "--stats" && has_value) {
      stats_path = argv[++i];
    } else if (arg == "--lifetime" && has_value) {
      char* end = nullptr;
      lifetime_s = std::strtol(argv[++i], &end, 10);
      if (*end || lifetime_s < 1 || lifetime_s > 86400)
        return usage_error("--lifetime must be 1..86400 seconds");
    } else if (arg.find('=') != std::string::npos && arg[0] != '-') {
      std::string error;
      if (!zeltest::parse_fault_setting(arg, &config.faults, &error))
        return usage_error(error);
    } else {
      return usage_error("unexpected argument '" + arg + "'");
    }
  }
  if (check_only) return 0;
  if (!have_listen || !have_agent)
    return usage_error("--listen and --agent are needed");

  // The signals are taken synchronously below, so no handler runs inside
  // the relay's thread.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  zeltest::FaultRelay relay;
  std::string error;
  if (!relay.start(config, &error)) {
    std::fprintf(stderr, "fault_relay: %s\n", error.c_str());
    return 1;
  }
  std::string last;
  const time_t end = std::time(nullptr) + lifetime_s;
  while (std::time(nullptr) < end) {
    const timespec half_second{0, 500000000};
    if (sigtimedwait(&signals, nullptr, &half_second) > 0) break;
    const std::string line = zeltest::fault_counters_json(relay.counters());
    if (line != last) write_stats(stats_path, line);
    last = line;
  }
  relay.stop();
  const std::string line = zeltest::fault_counters_json(relay.counters());
  write_stats(stats_path, line);
  std::printf("%s\n", line.c_str());
  return 0;
}
