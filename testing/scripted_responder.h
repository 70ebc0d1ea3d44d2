// Test helper: a small SNMP responder on a loopback (or namespace) address
// that decodes each request with our own codec and answers from a script,
// for what real agents will not do on demand: answers with other request
// IDs, tooBig above a size, garbage, silence, late answers and answers from
// another source address. One thread serves the sockets until stop(); every
// wait in it is bounded, so it always ends.
//
//   zeltest::ScriptedResponder agent;
//   ASSERT_TRUE(agent.start("127.0.4.20", 0, [](const zeltest::ScriptedRequest&
//   r) {
//     return std::vector<zeltest::ScriptedReply>{{zeltest::echo_response(r)}};
//   }, &error));
//   ... send to 127.0.4.20:agent.port() ...
//   EXPECT_EQ(agent.request_count(), 1u);
#ifndef TESTING_SCRIPTED_RESPONDER_H_
#define TESTING_SCRIPTED_RESPONDER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class IKasPdu;

namespace zeltest {

// One request as the responder received it.
struct ScriptedRequest {
  std::vector<uint8_t> bytes;  // the datagram as received
  int index = 0;               // 0 for the first request this responder saw
  int decode_status = 0;       // our codec's result; the fields below need 0
  int version = -1;
  std::string community;
  int type = -1;
  int32_t request_id = 0;
  int32_t error_status = 0;
  int32_t error_index = 0;
  std::vector<std::string> oids;  // the bindings' names, in order
  std::shared_ptr<IKasPdu> pdu;   // the decoded PDU (null when it failed)
  std::string from;               // source address text and port
  uint16_t from_port = 0;
};

struct ScriptedReply {
  std::vector<uint8_t> bytes;
  int delay_ms = 0;             // waited before sending (bounded by stop())
  bool from_alternate = false;  // send from the second address
};

using ResponderScript =
    std::function<std::vector<ScriptedReply>(const ScriptedRequest&)>;

class ScriptedResponder {
 public:
  ScriptedResponder() = default;
  ~ScriptedResponder() { stop(); }
  ScriptedResponder(const ScriptedResponder&) = delete;
  ScriptedResponder& operator=(const ScriptedResponder&) = delete;

  // Binds a UDP socket on address:port (an IPv4 or IPv6 literal; port 0: a
  // free port) and, with a non-empty `alternate`, a second one on
  // alternate:0 that replies marked from_alternate leave from. Starts the
  // serving thread. False with the reason in *error.
  bool start(const std::string& address, uint16_t port, ResponderScript script,
             std::string* error, const std::string& alternate = "");
  void stop();
  uint16_t port() const { return port_; }
  uint16_t alternate_port() const { return alternate_port_; }

  std::vector<ScriptedRequest> requests() const;
  size_t request_count() const;
  // Forgets the requests seen so far; the next one gets index 0 again.
  void clear_requests();
  // Waits until at least n requests arrived, at most timeout_ms.
  bool wait_for_requests(size_t n, int timeout_ms) const;

 private:
  void serve();
  void handle(int fd);
  void reply(const ScriptedRequest& request, const ScriptedReply& answer,
             const void* to, uint32_t to_length);

  int fd_ = -1;
  int alternate_fd_ = -1;
  uint16_t port_ = 0;
  uint16_t alternate_port_ = 0;
  ResponderScript script_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex lock_;
  std::vector<ScriptedRequest> requests_;
};

// ---- Replies ----

// A Response to `request` (same version and community) with request ID
// request.request_id + id_delta, the given error fields, and every binding
// of the request answered with an OCTET STRING holding its own name's text,
// so that the order of merged answers can be checked.
std::vector<uint8_t> echo_response(const ScriptedRequest& request,
                                   int32_t id_delta = 0,
                                   int32_t error_status = 0,
                                   int32_t error_index = 0);
// The tooBig answer of RFC 3416 section 4.2.1: error-status tooBig,
// error-index 0 and no bindings, under the request's ID.
std::vector<uint8_t> too_big_response(const ScriptedRequest& request);
// A Response carrying `pdu`'s bindings (lent) under the request's ID.
std::vector<uint8_t> response_with(const ScriptedRequest& request,
                                   const IKasPdu* pdu);
// Octets that are no SNMP message.
std::vector<uint8_t> garbage_datagram();
// A Response with the request's ID whose header reads but whose last value
// carries an unknown tag, so that decoding it fails.
std::vector<uint8_t> undecodable_response(const ScriptedRequest& request);

}  // namespace zeltest

#endif  // TESTING_SCRIPTED_RESPONDER_H_
