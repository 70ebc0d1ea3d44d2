// Test helper: a user-space UDP relay that stands between SNMP clients and one
// agent and spoils the traffic on purpose (this kernel has no netem). Each
// datagram from a client is forwarded to the agent from a socket kept for that
// client, and each answer goes back to the client from the relay's own
// address, after seeded random loss (per direction), duplication, hold-back
// (so that later datagrams overtake) and a fixed or jittered delay. The same
// seed gives the same decision for the N-th datagram of each direction. One
// thread serves the sockets until stop() or the end of the lifetime; every
// wait in it is bounded, so it always ends.
//
//   zeltest::FaultRelayConfig config;
//   config.listen = "127.0.16.2";  config.listen_port = 161;
//   config.agent = "127.0.16.3";   config.agent_port = 161;
//   config.faults.request_loss = config.faults.answer_loss = 0.2;
//   zeltest::FaultRelay relay;
//   ASSERT_TRUE(relay.start(config, &error)) << error;
//   ... read the device at 127.0.16.2 ...
//   relay.counters().requests_dropped;
//
// Thread safety: start, stop and the destructor from one thread; the queries
// from any thread.
#ifndef TESTING_FAULT_RELAY_H_
#define TESTING_FAULT_RELAY_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zeltest {

// What the relay does to the traffic. Probabilities are 0..1 and drawn
// independently per datagram.
struct FaultProfile {
  double request_loss = 0;  // a client's datagram is not forwarded
  double answer_loss = 0;   // an agent's datagram is not passed back
  double duplicate = 0;     // a second copy follows (either direction)
  double reorder = 0;       // held back reorder_ms longer (either direction)
  int delay_ms = 0;         // added to every datagram, each direction
  int jitter_ms = 0;        // plus a uniform 0..jitter_ms
  int reorder_ms = 0;       // the hold-back; 0: delay_ms + jitter_ms + 10
  // Octets that are no SNMP message precede an answer, or stand in for an
  // answer that is lost.
  double garbage = 0;
  uint64_t seed = 1;
  // Above 0: after this many requests every further one is dropped, as if
  // the agent had died (0: never).
  uint64_t cut_after = 0;
};

struct FaultCounters {
  uint64_t requests = 0;          // datagrams received from clients
  uint64_t answers = 0;           // datagrams received from the agent
  uint64_t requests_dropped = 0;  // by request_loss or the request hook
  uint64_t answers_dropped = 0;
  uint64_t requests_sent = 0;  // to the agent, copies included
  uint64_t answers_sent = 0;   // to clients, copies included
  uint64_t duplicated = 0;     // extra copies, both directions
  uint64_t held = 0;           // datagrams held back for reordering
  uint64_t overtaken = 0;      // datagrams sent after a later one
  uint64_t garbage = 0;        // garbage datagrams sent to clients
  // Requests equal to the client's previous one: the client's retries.
  uint64_t repeats = 0;
  uint64_t alternate_requests = 0;  // requests that came in on the alternate
  uint64_t stray = 0;               // datagrams from neither side, dropped
  uint64_t send_errors = 0;  // failed sendto (a dead agent, a gone client)
  uint64_t clients = 0;      // client address and port pairs seen
};

// Called on the relay's thread for every datagram from a client, before any
// fault is drawn, with its index (0 for the first). Answering false drops it.
// The hook may block (to stop an agent, say); the relay waits.
using FaultRequestHook = std::function<bool(uint64_t index)>;

struct FaultRelayConfig {
  std::string listen;        // IPv4 or IPv6 literal ("0.0.0.0", "::" too)
  uint16_t listen_port = 0;  // 0: a free port (see FaultRelay::port())
  std::string agent;         // IPv4 or IPv6 literal
  uint16_t agent_port = 161;
  // Non-empty: a second socket on alternate:0 that takes requests as the
  // first does and from which every answer leaves (an agent that answers
  // from another address).
  std::string alternate;
  FaultProfile faults;
  FaultRequestHook request_hook;
  // A client (address and port) unheard of for this long loses its socket.
  int client_idle_ms = 10000;
  // Above this many clients, the longest idle one loses its socket.
  int max_clients = 512;
};

class FaultRelay {
 public:
  FaultRelay();
  ~FaultRelay();
  FaultRelay(const FaultRelay&) = delete;
  FaultRelay& operator=(const FaultRelay&) = delete;

  // Binds the sockets and starts the thread. False with the reason in
  // *error (optional).
  bool start(const FaultRelayConfig& config, std::string* error);
  // Stops the thread (datagrams still held are dropped) and closes every
  // socket. Safe to call twice.
  void stop();
  bool running() const { return thread_.joinable(); }

  uint16_t port() const { return port_; }
  uint16_t alternate_port() const { return alternate_port_; }
  FaultCounters counters() const;
  // Waits until at least n requests arrived from clients, at most
  // timeout_ms. False on time-out.
  bool wait_for_requests(uint64_t n, int timeout_ms) const;

  struct State;  // sockets, clients and held datagrams; the thread's alone

 private:
  void serve();

  std::unique_ptr<State> state_;
  uint16_t port_ = 0;
  uint16_t alternate_port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  FaultCounters counters_;
};

// Reads "KEY=VALUE" settings (request_loss, answer_loss, loss (both),
// duplicate, reorder, delay_ms, jitter_ms, reorder_ms, garbage, seed,
// cut_after) into
// *profile. False with the reason in *error for an unknown key or a value
// out of range.
bool parse_fault_setting(const std::string& setting, FaultProfile* profile,
                         std::string* error);

// One line of JSON with every counter, for scripts.
std::string fault_counters_json(const FaultCounters& counters);

}  // namespace zeltest

#endif  // TESTING_FAULT_RELAY_H_
