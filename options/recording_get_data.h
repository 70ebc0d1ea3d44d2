// Test support: a request object (IKalGetData) that answers from a device
// recording in snmpsim's .snmprec form instead of the network, and a
// factory the option objects can be given. Gets answer the exact object (a
// missing one as an SNMPv1 agent would: an echoed binding without value);
// walks advance every added column together in SNMP's numeric order and end
// when the first column leaves the root. A script can make creation, init or
// every exchange after the N-th fail, and records what each request object
// was asked. One script at a time (tests run their cases one after another).
#ifndef OPTIONS_RECORDING_GET_DATA_H_
#define OPTIONS_RECORDING_GET_DATA_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "facade/get_data.h"

namespace zeltest {

// The objects of one agent: numeric OID -> (type, value text) as in
// .snmprec ("2", "4", "4x", "6", "64", "65", "66", "67", "70").
class Recording {
 public:
  struct Entry {
    std::string oid;
    std::string type;
    std::string value;
  };
  // Reads a .snmprec file; false when it cannot be read or a line is
  // malformed (`error` says which).
  bool load(const std::string& path, std::string* error = nullptr);
  void set(const std::string& oid, const std::string& type, const std::string& value);
  void erase(const std::string& oid);
  // Removes every object under `root` (and the root itself).
  void erase_subtree(const std::string& root);
  const Entry* find(const std::string& oid) const;
  // The first object after `oid` in numeric order, or null.
  const Entry* next_after(const std::string& oid) const;
  size_t size() const { return objects_.size(); }
  // Whether the lines of a file are in strictly increasing numeric order.
  static bool file_is_sorted(const std::string& path, std::string* error);

 private:
  std::map<std::vector<uint32_t>, Entry> objects_;
};

// What one request object was asked.
struct RequestRecord {
  bool community_set = false;
  std::string community;
  bool initialised = false;
  std::string address;
  int protocol = 0;
  uint16_t port = 0;
  int32_t version = 0;
  std::string security_name, auth_pass_phrase, priv_pass_phrase, context_name;
  int32_t security_level = 0, auth_protocol = 0, priv_protocol = 0;
  uint32_t timeout_ms = 0, retries = 0, max_message_size = 0;
  std::vector<std::string> oids;  // as requested, instance 0 appended
  std::string exchange;           // "walk ROOT", "text", "ints N", "int", "set", ""
};

struct RequestScript {
  const Recording* recording = nullptr;
  int fail_create_at = -1;     // this creation (0-based) fails with fail_status
  int fail_init_rc = 0;        // init answers this when non-zero
  int silent_after = -1;       // exchanges after this many answer timeout_rc
  int silent_from_request = -1;  // request objects from this one (0-based) on
                                 // answer timeout_rc to every exchange
  int timeout_rc = -203;
  int fail_status = -3;
  int creations = 0;
  int exchanges = 0;
  std::vector<RequestRecord> requests;
};

// Installs the script the factory serves (null: none; creation then fails).
void set_request_script(RequestScript* script);
// The factory to give an option object: a new request over the script.
IKalGetData* create_recording_get_data(int* pStatus);

}  // namespace zeltest

#endif  // OPTIONS_RECORDING_GET_DATA_H_
