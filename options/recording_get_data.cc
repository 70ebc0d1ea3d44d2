#include "options/recording_get_data.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/owned.h"
#include "common/status.h"
#include "common/text.h"
#include "common/text_copy.h"
#include "snmp/packet.h"
#include "snmp/value.h"

namespace zeltest {

namespace {

RequestScript* g_script = nullptr;

bool parse_oid(const std::string& text, std::vector<uint32_t>* out) {
  out->clear();
  std::string s = text;
  if (!s.empty() && s[0] == '.') s.erase(0, 1);
  if (s.empty()) return false;
  std::stringstream ss(s);
  std::string part;
  while (std::getline(ss, part, '.')) {
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long long v = std::strtoull(part.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) return false;
    out->push_back(static_cast<uint32_t>(v));
  }
  return true;
}

bool is_under(const std::vector<uint32_t>& oid, const std::vector<uint32_t>& root) {
  return oid.size() > root.size() && std::equal(root.begin(), root.end(), oid.begin());
}

std::string hex_to_bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  }
  return out;
}

// The value a recorded object carries on the wire.
IKasSnmpValue* make_value(const Recording::Entry& e) {
  if (e.type == "2") {
    return kas_create_value_from_int(static_cast<int32_t>(std::strtol(e.value.c_str(), nullptr, 10)),
                                     kKasTagInteger);
  }
  if (e.type == "4" || e.type == "4x") {
    IKasSnmpValue* v = kas_create_value(kKasTagOctetString);
    if (!v) return nullptr;
    const std::string bytes = e.type == "4x" ? hex_to_bytes(e.value) : e.value;
    v->set_bytes(bytes.data(), bytes.size());
    return v;
  }
  if (e.type == "6") return kas_create_oid_from_text(e.value.c_str());
  if (e.type == "64") return kas_create_value_from_text(e.value.c_str(), kKasTagIpAddress);
  if (e.type == "70") return kas_create_value_from_text(e.value.c_str(), kKasTagCounter64);
  const int tag = e.type == "65" ? kKasTagCounter32 : e.type == "66" ? kKasTagGauge32
                                                                     : kKasTagTimeTicks;
  return kas_create_value_from_uint(
      static_cast<uint32_t>(std::strtoul(e.value.c_str(), nullptr, 10)), tag);
}

class RecordingGetData : public IKalGetData {
 public:
  RecordingGetData(RequestScript* script, size_t record) : script_(script), record_(record) {}
  void release() override { delete this; }
  void set_community(const char* community, size_t size) override {
    rec().community_set = true;
    rec().community = community ? std::string(community, strnlen(community, size)) : "";
  }
  int init(const char* address, IKalNetworkAddress::EProtocol protocol, uint16_t port,
           int32_t version, const KalUsmParams* usm, uint32_t timeout_ms, uint32_t retries,
           uint32_t max_message_size) override {
    RequestRecord& r = rec();
    r.initialised = true;
    r.address = address ? address : "";
    r.protocol = protocol;
    r.port = port;
    r.version = version;
    if (usm) {
      r.security_name = usm->security_name ? usm->security_name : "";
      r.security_level = usm->security_level;
      r.auth_protocol = usm->auth_protocol;
      r.priv_protocol = usm->priv_protocol;
      r.auth_pass_phrase = usm->auth_pass_phrase ? usm->auth_pass_phrase : "";
      r.priv_pass_phrase = usm->priv_pass_phrase ? usm->priv_pass_phrase : "";
      r.context_name = usm->context_name ? usm->context_name : "";
    }
    r.timeout_ms = timeout_ms;
    r.retries = retries;
    r.max_message_size = max_message_size;
    return script_->fail_init_rc;
  }
  int add_oid_string(const char* oid, bool instance0) override {
    std::vector<uint32_t> parsed;
    if (!oid || !parse_oid(oid, &parsed)) return kKalErrInvalidArg;
    rec().oids.push_back(std::string(oid) + (instance0 ? ".0" : ""));
    return kKalOk;
  }
  int add_oid_string(const char* oid, const char* suffix, int32_t) override {
    if (!oid || !suffix) return kKalErrInvalidArg;
    rec().oids.push_back(std::string(oid) + "." + suffix);
    return kKalOk;
  }
  int set_data() override {
    rec().exchange = "set";
    return exchange();
  }
  int get_data(IKasPduList* list, const char* root) override {
    rec().exchange = std::string("walk ") + (root ? root : "");
    std::vector<uint32_t> root_oid;
    if (!list || !root || !parse_oid(root, &root_oid)) return kKalErrInvalidArg;
    std::vector<std::string> columns = rec().oids;
    if (columns.empty()) return kKalErrNoData;
    // Every answer moves forward, so the walk ends within the recording.
    for (size_t step = 0; step <= script_->recording->size(); ++step) {
      const int rc = exchange();
      if (rc != kKalOk) return rc;
      const Recording::Entry* first = script_->recording->next_after(columns[0]);
      std::vector<uint32_t> first_oid;
      if (!first || !parse_oid(first->oid, &first_oid) || !is_under(first_oid, root_oid)) {
        return kKalOk;
      }
      KalOwned<IKasPdu> pdu(kas_create_pdu());
      if (!pdu) return kKalErrNoMemory;
      pdu->set_type(kKasPduResponse);
      for (std::string& column : columns) {
        const Recording::Entry* next = script_->recording->next_after(column);
        IKasSnmpValue* name = kas_create_oid_from_text(next ? next->oid.c_str() : column.c_str());
        IKasSnmpValue* value = next ? make_value(*next) : kas_create_value(kKasTagEndOfMibView);
        if (!name || !value || pdu->append_pair(name, value) != kKalOk) return kKalErrNoMemory;
        if (next) column = next->oid;
      }
      if (list->push_back(pdu.detach()) != kKalOk) return kKalErrNoMemory;
    }
    return kKalOk;
  }
  int get_data(char* out, size_t size) override {
    rec().exchange = "text";
    if (!out || size == 0) return kKalErrInvalidArg;
    const int rc = exchange();
    if (rc != kKalOk) return rc;
    if (rec().oids.empty()) return kKalErrNoData;
    const Recording::Entry* e = script_->recording->find(rec().oids[0]);
    if (!e) return kKalOk;  // noSuchName: the echoed binding has no text
    KalOwned<IKasSnmpValue> value(make_value(*e));
    if (!value) return kKalErrNoMemory;
    KalOwned<IKalText> text(value->to_text());
    if (text && text->length() > 0) {
      kal_copy_text(out, size, std::string_view(text->text(), text->length()));
    }
    return kKalOk;
  }
  int get_data(int32_t* out, int count) override {
    rec().exchange = "ints " + std::to_string(count);
    const int rc = exchange();
    if (rc != kKalOk) return rc;
    for (int i = 0; i < count; ++i) {
      if (static_cast<size_t>(i) >= rec().oids.size()) return kKalErrNoData;
      out[i] = int_of(rec().oids[i]);
    }
    return kKalOk;
  }
  int get_data(int32_t* out) override {
    rec().exchange = "int";
    const int rc = exchange();
    if (rc != kKalOk) return rc;
    if (rec().oids.empty()) return kKalErrNoData;
    *out = int_of(rec().oids[0]);
    return kKalOk;
  }
  int get_protocol(const char* address, IKalNetworkAddress::EProtocol* protocol) override {
    if (!address || !protocol) return kKalErrInvalidArg;
    const std::string a = address;
    if (a.find(':') != std::string::npos) {
      *protocol = (a.size() == 21 && a[8] == ':') ? IKalNetworkAddress::IPX
                                                  : IKalNetworkAddress::IPv6;
      return kKalOk;
    }
    if (!a.empty() && a.find_first_not_of("0123456789.") == std::string::npos) {
      *protocol = IKalNetworkAddress::IPv4;
      return kKalOk;
    }
    return kKalErrGeneral;  // a host name: the service resolves nothing
  }

 private:
  RequestRecord& rec() { return script_->requests[record_]; }
  int exchange() {
    const int n = script_->exchanges++;
    if (script_->silent_after >= 0 && n >= script_->silent_after) return script_->timeout_rc;
    if (script_->silent_from_request >= 0 &&
        record_ >= static_cast<size_t>(script_->silent_from_request)) {
      return script_->timeout_rc;
    }
    return kKalOk;
  }
  // SNMPv1 answers a missing object with its NULL binding echoed, whose
  // integer reads as -1.
  int32_t int_of(const std::string& oid) {
    const Recording::Entry* e = script_->recording->find(oid);
    if (!e) return -1;
    KalOwned<IKasSnmpValue> value(make_value(*e));
    return value ? value->get_int() : -1;
  }

  RequestScript* script_;
  size_t record_;
};

}  // namespace

bool Recording::load(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (line.empty() || line[0] == '#') continue;
    const size_t a = line.find('|');
    const size_t b = a == std::string::npos ? a : line.find('|', a + 1);
    std::vector<uint32_t> oid;
    if (b == std::string::npos || !parse_oid(line.substr(0, a), &oid)) {
      if (error) *error = path + ":" + std::to_string(n) + ": malformed line";
      return false;
    }
    set(line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1));
  }
  return true;
}

void Recording::set(const std::string& oid, const std::string& type, const std::string& value) {
  std::vector<uint32_t> key;
  if (parse_oid(oid, &key)) objects_[key] = Entry{oid, type, value};
}

void Recording::erase(const std::string& oid) {
  std::vector<uint32_t> key;
  if (parse_oid(oid, &key)) objects_.erase(key);
}

void Recording::erase_subtree(const std::string& root) {
  std::vector<uint32_t> key;
  if (!parse_oid(root, &key)) return;
  for (auto it = objects_.lower_bound(key); it != objects_.end();) {
    if (it->first != key && !is_under(it->first, key)) break;
    it = objects_.erase(it);
  }
}

const Recording::Entry* Recording::find(const std::string& oid) const {
  std::vector<uint32_t> key;
  if (!parse_oid(oid, &key)) return nullptr;
  const auto it = objects_.find(key);
  return it == objects_.end() ? nullptr : &it->second;
}

const Recording::Entry* Recording::next_after(const std::string& oid) const {
  std::vector<uint32_t> key;
  if (!parse_oid(oid, &key)) return nullptr;
  const auto it = objects_.upper_bound(key);
  return it == objects_.end() ? nullptr : &it->second;
}

bool Recording::file_is_sorted(const std::string& path, std::string* error) {
  std::ifstream in(path);
  std::string line;
  std::vector<uint32_t> previous;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::vector<uint32_t> oid;
    if (!parse_oid(line.substr(0, line.find('|')), &oid)) {
      if (error) *error = "line " + std::to_string(n) + " malformed";
      return false;
    }
    if (n > 1 && !(previous < oid)) {
      if (error) *error = "line " + std::to_string(n) + " out of order: " + line;
      return false;
    }
    previous = oid;
  }
  return n > 0;
}

void set_request_script(RequestScript* script) { g_script = script; }

IKalGetData* create_recording_get_data(int* pStatus) {
  RequestScript* s = g_script;
  if (!s || !s->recording) return kal_fail<IKalGetData>(pStatus, kKalErrNotSupported);
  const int n = s->creations++;
  if (n == s->fail_create_at) return kal_fail<IKalGetData>(pStatus, s->fail_status);
  s->requests.emplace_back();
  kal_set_status(pStatus, kKalOk);
  return new RecordingGetData(s, s->requests.size() - 1);
}

}  // namespace zeltest
