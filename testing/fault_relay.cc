#include "testing/fault_relay.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <queue>
#include <random>
#include <string_view>
#include <vector>

#include "testing/scripted_responder.h"

namespace zeltest {
namespace {

using Clock = std::chrono::steady_clock;

// The longest a poll waits, so that stop() is seen soon.
constexpr int kPollMs = 20;
constexpr int kExpireEveryMs = 200;
// At most this many datagrams are read from one socket per round, so that a
// flood on one side cannot starve the other.
constexpr int kReadsPerRound = 64;
constexpr size_t kDatagramMax = 65536;

enum Direction { kToAgent = 0, kToClient = 1 };

struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;

  bool same_as(const sockaddr_storage& other, socklen_t other_length) const {
    return length == other_length && std::memcmp(&address, &other, length) == 0;
  }
  std::string key() const {
    return std::string(reinterpret_cast<const char*>(&address), length);
  }
};

bool parse_endpoint(const std::string& text, uint16_t port, Endpoint* out,
                    std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(text.c_str(), service.c_str(), &hints, &list) != 0 || !list) {
    if (error) *error = "not an address: " + text;
    return false;
  }
  std::memcpy(&out->address, list->ai_addr, list->ai_addrlen);
  out->length = static_cast<socklen_t>(list->ai_addrlen);
  freeaddrinfo(list);
  return true;
}

uint16_t port_of(const sockaddr_storage& address) {
  return address.ss_family == AF_INET6
             ? ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port)
             : ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

bool is_wildcard(const Endpoint& e) {
  if (e.address.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(e.address);
    return IN6_IS_ADDR_UNSPECIFIED(&a.sin6_addr);
  }
  const auto& a = reinterpret_cast<const sockaddr_in&>(e.address);
  return a.sin_addr.s_addr == htonl(INADDR_ANY);
}

void set_port(Endpoint* e, uint16_t port) {
  if (e->address.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(e->address).sin6_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in&>(e->address).sin_port = htons(port);
  }
}

// A non-blocking datagram socket bound to `at`; -1 with *error.
int bind_socket(const Endpoint& at, uint16_t* bound, std::string* error) {
  const int fd = socket(at.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  if (at.address.ss_family == AF_INET6) {
    // "::" takes IPv6 only, so that a relay on 0.0.0.0 can sit beside it.
    const int on = 1;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  }
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at.address), at.length) !=
      0) {
    if (error) {
      char host[NI_MAXHOST] = "?";
      getnameinfo(reinterpret_cast<const sockaddr*>(&at.address), at.length,
                  host, sizeof host, nullptr, 0, NI_NUMERICHOST);
      *error = std::string("cannot bind ") + host + ":" +
               std::to_string(port_of(at.address)) + ": " +
               std::strerror(errno);
    }
    close(fd);
    return -1;
  }
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  if (bound) *bound = port_of(local);
  return fd;
}

// Uniform in [0, 1) from 53 random bits: the same on every standard library
// (uniform_real_distribution is not).
double unit(std::mt19937_64& rng) {
  return static_cast<double>(rng() >> 11) * 0x1.0p-53;
}

// What happens to one datagram. Every datagram takes the same number of
// draws whatever the outcome, so the N-th datagram of a direction meets the
// same fate under one seed whatever came before it.
struct Fate {
  bool lost = false;
  bool duplicated = false;
  bool held = false;
  bool garbage = false;
  int jitter_ms = 0;
  int copy_jitter_ms = 0;
};

Fate draw_fate(std::mt19937_64& rng, const FaultProfile& f, double loss,
               double garbage) {
  Fate fate;
  fate.lost = unit(rng) < loss;
  fate.duplicated = unit(rng) < f.duplicate;
  fate.held = unit(rng) < f.reorder;
  fate.garbage = unit(rng) < garbage;
  const uint64_t span = f.jitter_ms > 0 ? uint64_t(f.jitter_ms) + 1 : 1;
  fate.jitter_ms = static_cast<int>(rng() % span);
  fate.copy_jitter_ms = static_cast<int>(rng() % span);
  return fate;
}

// One client (address and port) and the socket its requests leave from, so
// that the agent's answers find their way back to it. Closed with the last
// reference: a datagram still held for it keeps it alive.
struct RelayClient {
  Endpoint address;
  int in_fd = -1;        // the relay socket the client spoke to
  int upstream_fd = -1;  // towards the agent
  Clock::time_point last_heard;
  // The client's previous request, to tell a retry (the same octets again)
  // from a new request.
  size_t last_request_hash = 0;
  size_t last_request_size = 0;
  ~RelayClient() {
    if (upstream_fd >= 0) close(upstream_fd);
  }
};

struct HeldDatagram {
  Clock::time_point due;
  uint64_t order = 0;  // ties keep arrival order
  Direction direction = kToAgent;
  uint64_t sequence = 0;  // arrival number within the direction
  bool garbage_first = false;
  std::shared_ptr<RelayClient> client;
  std::shared_ptr<std::vector<uint8_t>> bytes;
};

struct LaterFirst {
  bool operator()(const HeldDatagram& a, const HeldDatagram& b) const {
    if (a.due != b.due) return a.due > b.due;
    return a.order > b.order;
  }
};

}  // namespace

struct FaultRelay::State {
  FaultRelayConfig config;
  Endpoint agent;
  // The relay's own address (port 0) when it has a definite one of the
  // agent's family: requests then reach the agent from it. Empty otherwise.
  Endpoint upstream_from;
  int listen_fd = -1;
  int alternate_fd = -1;
  std::mt19937_64 rng[2];
  uint64_t arrivals[2] = {0, 0};
  uint64_t highest_sent[2] = {0, 0};
  uint64_t order = 0;
  std::map<std::string, std::shared_ptr<RelayClient>> clients;
  std::priority_queue<HeldDatagram, std::vector<HeldDatagram>, LaterFirst>
      queue;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kDatagramMax);

  ~State() {
    if (listen_fd >= 0) close(listen_fd);
    if (alternate_fd >= 0) close(alternate_fd);
  }
};

FaultRelay::FaultRelay() = default;

FaultRelay::~FaultRelay() { stop(); }

bool FaultRelay::start(const FaultRelayConfig& config, std::string* error) {
  stop();
  auto state = std::make_unique<State>();
  state->config = config;
  Endpoint listen;
  if (!parse_endpoint(config.listen, config.listen_port, &listen, error) ||
      !parse_endpoint(config.agent, config.agent_port, &state->agent, error)) {
    return false;
  }
  state->listen_fd = bind_socket(listen, &port_, error);
  if (state->listen_fd < 0) return false;
  if (listen.address.ss_family == state->agent.address.ss_family &&
      !is_wildcard(listen)) {
    state->upstream_from = listen;
    set_port(&state->upstream_from, 0);
  }
  if (!config.alternate.empty()) {
    Endpoint alternate;
    if (!parse_endpoint(config.alternate, 0, &alternate, error)) return false;
    state->alternate_fd = bind_socket(alternate, &alternate_port_, error);
    if (state->alternate_fd < 0) return false;
  }
  // Two streams, so that the answers' fates do not shift with the number of
  // requests and the other way round.
  state->rng[kToAgent].seed(config.faults.seed);
  state->rng[kToClient].seed(config.faults.seed ^ 0x9e3779b97f4a7c15ULL);
  {
    std::lock_guard<std::mutex> hold(lock_);
    counters_ = FaultCounters{};
  }
  state_ = std::move(state);
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void FaultRelay::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  state_.reset();
}

FaultCounters FaultRelay::counters() const {
  std::lock_guard<std::mutex> hold(lock_);
  return counters_;
}

bool FaultRelay::wait_for_requests(uint64_t n, int timeout_ms) const {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                           [&] { return counters_.requests >= n; });
}

namespace {

// Runs the relay's rounds. Kept apart from FaultRelay so that the class stays
// a handle; it reaches the counters through the two callbacks.
class RelayLoop {
 public:
  using Count = std::function<void(uint64_t FaultCounters::*, uint64_t)>;

  RelayLoop(FaultRelay::State* s, Count count) : s_(*s), count_(count) {}

  void round(const std::atomic<bool>& stopping) {
    send_due();
    std::vector<pollfd> fds;
    fds.push_back({s_.listen_fd, POLLIN, 0});
    if (s_.alternate_fd >= 0) fds.push_back({s_.alternate_fd, POLLIN, 0});
    std::vector<std::shared_ptr<RelayClient>> polled;
    for (const auto& entry : s_.clients) {
      fds.push_back({entry.second->upstream_fd, POLLIN, 0});
      polled.push_back(entry.second);
    }
    if (poll(fds.data(), fds.size(), wait_ms()) <= 0) {
      expire();
      return;
    }
    size_t i = 0;
    for (const int fd : {s_.listen_fd, s_.alternate_fd}) {
      if (fd < 0) continue;
      if (fds[i++].revents & POLLIN) read_requests(fd, stopping);
    }
    for (const auto& client : polled) {
      if (fds[i++].revents & POLLIN) read_answers(client);
    }
    expire();
  }

 private:
  int wait_ms() const {
    if (s_.queue.empty()) return kPollMs;
    const auto left = s_.queue.top().due - Clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms <= 0 ? 0 : ms > kPollMs ? kPollMs : static_cast<int>(ms);
  }

  void read_requests(int fd, const std::atomic<bool>& stopping) {
    for (int n = 0; n < kReadsPerRound && !stopping; ++n) {
      Endpoint from;
      from.length = sizeof from.address;
      const ssize_t got =
          recvfrom(fd, s_.buffer.data(), s_.buffer.size(), 0,
                   reinterpret_cast<sockaddr*>(&from.address), &from.length);
      if (got < 0) return;
      const uint64_t index = s_.arrivals[kToAgent]++;
      if (fd == s_.alternate_fd) count_(&FaultCounters::alternate_requests, 1);
      const FaultProfile& f = s_.config.faults;
      const Fate fate = draw_fate(s_.rng[kToAgent], f, f.request_loss, 0);
      const uint64_t cut = s_.config.faults.cut_after;
      const bool allowed =
          (!s_.config.request_hook || s_.config.request_hook(index)) &&
          (cut == 0 || index < cut);
      std::shared_ptr<RelayClient> client = client_for(from, fd);
      if (client) note_repeat(client.get(), got);
      if (!client || !allowed || fate.lost) {
        count_(&FaultCounters::requests_dropped, 1);
      } else {
        hold(kToAgent, index + 1, fate, client, got);
      }
      // Counted last, so that a waiter on `requests` sees its fate too.
      count_(&FaultCounters::requests, 1);
    }
  }

  void note_repeat(RelayClient* client, ssize_t got) {
    const size_t size = static_cast<size_t>(got);
    const size_t hash = std::hash<std::string_view>()(std::string_view(
        reinterpret_cast<const char*>(s_.buffer.data()), size));
    if (size == client->last_request_size &&
        hash == client->last_request_hash) {
      count_(&FaultCounters::repeats, 1);
    }
    client->last_request_hash = hash;
    client->last_request_size = size;
  }

  void read_answers(const std::shared_ptr<RelayClient>& client) {
    for (int n = 0; n < kReadsPerRound; ++n) {
      sockaddr_storage from{};
      socklen_t length = sizeof from;
      const ssize_t got =
          recvfrom(client->upstream_fd, s_.buffer.data(), s_.buffer.size(), 0,
                   reinterpret_cast<sockaddr*>(&from), &length);
      if (got < 0) return;
      if (!s_.agent.same_as(from, length)) {
        count_(&FaultCounters::stray, 1);
        continue;
      }
      const uint64_t index = s_.arrivals[kToClient]++;
      count_(&FaultCounters::answers, 1);
      const FaultProfile& f = s_.config.faults;
      const Fate fate =
          draw_fate(s_.rng[kToClient], f, f.answer_loss, f.garbage);
      if (fate.lost) {
        count_(&FaultCounters::answers_dropped, 1);
        // The garbage still goes: the answer was turned into garbage.
        if (fate.garbage) hold(kToClient, index + 1, fate, client, 0);
        continue;
      }
      hold(kToClient, index + 1, fate, client, got);
    }
  }

  // Queues the `got` octets in the buffer (none: the garbage alone).
  void hold(Direction direction, uint64_t sequence, const Fate& fate,
            const std::shared_ptr<RelayClient>& client, ssize_t got) {
    const FaultProfile& f = s_.config.faults;
    auto bytes = std::make_shared<std::vector<uint8_t>>(
        s_.buffer.begin(), s_.buffer.begin() + got);
    const int hold_back =
        f.reorder_ms > 0 ? f.reorder_ms : f.delay_ms + f.jitter_ms + 10;
    const Clock::time_point now = Clock::now();
    HeldDatagram d;
    d.direction = direction;
    d.sequence = sequence;
    d.client = client;
    d.bytes = bytes;
    d.garbage_first = fate.garbage;
    d.due = now + std::chrono::milliseconds(f.delay_ms + fate.jitter_ms +
                                            (fate.held ? hold_back : 0));
    d.order = s_.order++;
    if (fate.held) count_(&FaultCounters::held, 1);
    s_.queue.push(d);
    if (fate.duplicated && got > 0) {
      count_(&FaultCounters::duplicated, 1);
      d.garbage_first = false;
      d.due = now + std::chrono::milliseconds(f.delay_ms + fate.copy_jitter_ms);
      d.order = s_.order++;
      s_.queue.push(d);
    }
  }

  void send_due() {
    const Clock::time_point now = Clock::now();
    while (!s_.queue.empty() && s_.queue.top().due <= now) {
      HeldDatagram d = s_.queue.top();
      s_.queue.pop();
      send(d);
    }
  }

  // Counts before sending, so that whoever receives a datagram already sees
  // it counted.
  void send(const HeldDatagram& d) {
    uint64_t& highest = s_.highest_sent[d.direction];
    if (d.sequence < highest) count_(&FaultCounters::overtaken, 1);
    if (d.sequence > highest) highest = d.sequence;
    ssize_t sent;
    if (d.direction == kToAgent) {
      count_(&FaultCounters::requests_sent, 1);
      sent = sendto(d.client->upstream_fd, d.bytes->data(), d.bytes->size(), 0,
                    reinterpret_cast<const sockaddr*>(&s_.agent.address),
                    s_.agent.length);
    } else {
      const int fd = s_.alternate_fd >= 0 ? s_.alternate_fd : d.client->in_fd;
      const sockaddr* to =
          reinterpret_cast<const sockaddr*>(&d.client->address.address);
      if (d.garbage_first) {
        const std::vector<uint8_t> junk = garbage_datagram();
        count_(&FaultCounters::garbage, 1);
        if (sendto(fd, junk.data(), junk.size(), 0, to,
                   d.client->address.length) < 0) {
          count_(&FaultCounters::send_errors, 1);
        }
      }
      if (d.bytes->empty()) return;
      count_(&FaultCounters::answers_sent, 1);
      sent = sendto(fd, d.bytes->data(), d.bytes->size(), 0, to,
                    d.client->address.length);
    }
    if (sent < 0) count_(&FaultCounters::send_errors, 1);
  }

  std::shared_ptr<RelayClient> client_for(const Endpoint& from, int in_fd) {
    const std::string key = from.key();
    auto found = s_.clients.find(key);
    if (found != s_.clients.end()) {
      found->second->last_heard = Clock::now();
      return found->second;
    }
    if (s_.clients.size() >= static_cast<size_t>(s_.config.max_clients)) {
      drop_longest_idle();
    }
    auto client = std::make_shared<RelayClient>();
    client->address = from;
    client->in_fd = in_fd;
    client->last_heard = Clock::now();
    client->upstream_fd =
        s_.upstream_from.length > 0
            ? bind_socket(s_.upstream_from, nullptr, nullptr)
            : socket(s_.agent.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (client->upstream_fd < 0) {
      count_(&FaultCounters::send_errors, 1);
      return nullptr;
    }
    s_.clients.emplace(key, client);
    count_(&FaultCounters::clients, 1);
    return client;
  }

  void drop_longest_idle() {
    auto oldest = s_.clients.begin();
    for (auto it = s_.clients.begin(); it != s_.clients.end(); ++it) {
      if (it->second->last_heard < oldest->second->last_heard) oldest = it;
    }
    if (oldest != s_.clients.end()) s_.clients.erase(oldest);
  }

  void expire() {
    const Clock::time_point now = Clock::now();
    if (now - last_expiry_ < std::chrono::milliseconds(kExpireEveryMs)) return;
    last_expiry_ = now;
    const auto idle = std::chrono::milliseconds(s_.config.client_idle_ms);
    for (auto it = s_.clients.begin(); it != s_.clients.end();) {
      it = now - it->second->last_heard > idle ? s_.clients.erase(it)
                                               : std::next(it);
    }
  }

  FaultRelay::State& s_;
  Count count_;
  Clock::time_point last_expiry_ = Clock::now();
};

}  // namespace

void FaultRelay::serve() {
  RelayLoop loop(state_.get(),
                 [this](uint64_t FaultCounters::*field, uint64_t n) {
                   {
                     std::lock_guard<std::mutex> hold(lock_);
                     counters_.*field += n;
                   }
                   changed_.notify_all();
                 });
  while (!stopping_) loop.round(stopping_);
}

bool parse_fault_setting(const std::string& setting, FaultProfile* profile,
                         std::string* error) {
  const size_t eq = setting.find('=');
  const std::string key = setting.substr(0, eq);
  const std::string text =
      eq == std::string::npos ? "" : setting.substr(eq + 1);
  auto fail = [&](const std::string& why) {
    if (error) *error = "'" + setting + "': " + why;
    return false;
  };
  if (text.empty()) return fail("expected KEY=VALUE");
  char* end = nullptr;
  errno = 0;
  if (key == "seed" || key == "cut_after") {
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (*end || errno || text[0] == '-') return fail("not a number");
    (key == "seed" ? profile->seed : profile->cut_after) = v;
    return true;
  }
  const double v = std::strtod(text.c_str(), &end);
  if (*end || errno || !std::isfinite(v)) return fail("not a number");
  const bool probability = v >= 0 && v <= 1;
  const bool milliseconds = v >= 0 && v <= 60000 && v == std::floor(v);
  struct Rate {
    const char* name;
    double FaultProfile::*field;
  };
  for (const Rate& r : {Rate{"request_loss", &FaultProfile::request_loss},
                        Rate{"answer_loss", &FaultProfile::answer_loss},
                        Rate{"loss", &FaultProfile::request_loss},
                        Rate{"duplicate", &FaultProfile::duplicate},
                        Rate{"reorder", &FaultProfile::reorder},
                        Rate{"garbage", &FaultProfile::garbage}}) {
    if (key != r.name) continue;
    if (!probability) return fail("a probability from 0 to 1");
    profile->*r.field = v;
    if (key == "loss") profile->answer_loss = v;
    return true;
  }
  struct Time {
    const char* name;
    int FaultProfile::*field;
  };
  for (const Time& t : {Time{"delay_ms", &FaultProfile::delay_ms},
                        Time{"jitter_ms", &FaultProfile::jitter_ms},
                        Time{"reorder_ms", &FaultProfile::reorder_ms}}) {
    if (key != t.name) continue;
    if (!milliseconds) return fail("whole milliseconds from 0 to 60000");
    profile->*t.field = static_cast<int>(v);
    return true;
  }
  return fail("unknown setting");
}

std::string fault_counters_json(const FaultCounters& c) {
  std::string out = "{";
  auto add = [&](const char* name, uint64_t v) {
    if (out.size() > 1) out += ", ";
    out += std::string("\"") + name + "\": " + std::to_string(v);
  };
  add("requests", c.requests);
  add("answers", c.answers);
  add("requests_dropped", c.requests_dropped);
  add("answers_dropped", c.answers_dropped);
  add("requests_sent", c.requests_sent);
  add("answers_sent", c.answers_sent);
  add("duplicated", c.duplicated);
  add("held", c.held);
  add("overtaken", c.overtaken);
  add("garbage", c.garbage);
  add("repeats", c.repeats);
  add("alternate_requests", c.alternate_requests);
  add("stray", c.stray);
  add("send_errors", c.send_errors);
  add("clients", c.clients);
  return out + "}";
}

}  // namespace zeltest
