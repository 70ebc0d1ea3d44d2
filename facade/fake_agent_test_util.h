// Test support for the facade's unit tests: a session that answers from a
// small table held in memory (or from a script), in place of the network,
// and records every request and target it was handed. It is installed
// through the dispatcher's session factories (facade/request_testing.h).
// One fake at a time: tests run their cases one after another.
#ifndef FACADE_FAKE_AGENT_TEST_UTIL_H_
#define FACADE_FAKE_AGENT_TEST_UTIL_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/status.h"
#include "transport/session_dispatcher.h"

class IKasPdu;
class IKasSnmpTarget;
class IKasSnmpPacketList;

namespace zeltest {

// What one request looked like when it reached the session.
struct SeenRequest {
  int type = -1;
  std::vector<std::string> oids;
  std::vector<int> value_tags;
  std::vector<int32_t> int_values;
  int kind = -1;
  int32_t version = -2;
  std::string community;
  int32_t timeout = 0;
  int32_t retries = 0;
  size_t max_message_size = 0;
  std::string address;
  int protocol = 0;
  uint16_t port = 0;
  // SNMPv3 target fields.
  std::string security_name, auth_pass_phrase, priv_pass_phrase, context_name;
  int32_t security_level = -1, auth_protocol = -1, priv_protocol = -1;
};

// Answers a request in place (the PDU's bindings and error fields become the
// answer) and returns the session's status.
using FakeAnswer = std::function<int(IKasPdu* pdu, int call)>;

class FakeAgent {
 public:
  FakeAgent();
  ~FakeAgent();
  FakeAgent(const FakeAgent&) = delete;
  FakeAgent& operator=(const FakeAgent&) = delete;

  // The factories to hand kal_create_get_data_with / _find_device_snmp_with.
  static KasSessionFactories factories();

  // An INTEGER (type 'i') or OCTET STRING ('s') object of the table.
  void set_int(const std::string& oid, int32_t v) {
    table_[oid] = {'i', std::to_string(v)};
  }
  void set_text(const std::string& oid, const std::string& v) {
    table_[oid] = {'s', v};
  }
  // Replaces the table answer with a script.
  void set_answer(FakeAnswer answer) { answer_ = std::move(answer); }

  const std::vector<SeenRequest>& seen() const { return seen_; }
  int broadcasts() const { return broadcasts_; }

  // Called by the fake session.
  int serve(IKasPdu* pdu, IKasSnmpTarget* target);
  int serve_broadcast(IKasPdu* pdu, IKasSnmpTarget* target,
                      IKasSnmpPacketList** ppList);

 private:
  int answer_from_table(IKasPdu* pdu);

  struct Object {
    char type;
    std::string value;
  };
  // Numeric order of the identifiers, the order GetNext follows.
  struct NumericLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, Object, NumericLess> table_;
  FakeAnswer answer_;
  std::vector<SeenRequest> seen_;
  int broadcasts_ = 0;
};

}  // namespace zeltest

#endif  // FACADE_FAKE_AGENT_TEST_UTIL_H_
