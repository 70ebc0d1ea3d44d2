// The get/set request object: one request PDU, one target, one exchange
// through a session dispatcher made for it.
#include "facade/get_data.h"

#include "common/address_service.h"
#include "common/owned.h"
#include "common/text.h"
#include "common/text_copy.h"
#include "facade/request_core.h"
#include "facade/request_testing.h"
#include "facade/walk_limits.h"
#include "facade/walk_step.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/value.h"
#include "transport/session_dispatcher.h"

namespace {

// The walk's root and the first identifier of the request about to be sent.
int walk_start(const char* root, const IKasPdu* pdu, KalOwned<IKasSnmpValue>* root_oid,
               const IKasOid** first) {
  int rc = kKalOk;
  root_oid->reset(kas_create_oid_from_text(root, &rc));
  if (!*root_oid) return rc;
  const IKasVarBindList* bindings = pdu->get_bindings();
  *first = bindings ? (bindings->at(0) ? bindings->at(0)->get_oid() : nullptr) : nullptr;
  return *first ? kKalOk : kKalErrNoData;
}

constexpr int kWalkEnded = 1;

// What one answer of a walk means: kKalOk for a row to take, kWalkEnded when
// the table has ended, or the status that ends the walk. An agent whose table
// never ends would fill the host's memory: the answer that would pass a limit
// ends the walk and is not taken. Both walks count what get_data keeps, so
// that they end alike.
int walk_answer(const IKasOid* root, const IKasOid* previous, const IKasPdu* answer,
                const KalWalkLimits& limits, size_t* rows, size_t* octets) {
  switch (kal_walk_step(root, previous, answer)) {
    case KalWalkStep::kNoBinding:
      return kKalErrNoData;
    case KalWalkStep::kEnd:
      return kWalkEnded;
    case KalWalkStep::kRow:
      break;
  }
  *octets += kal_walk_row_octets(answer);
  return ++*rows > limits.max_rows || *octets > limits.max_octets ? kKalErrTooMuchData
                                                                   : kKalOk;
}

class CKalGetData : public IKalGetData {
 public:
  CKalGetData(const KasSessionFactories* factories, const KalWalkLimits& limits)
      : limits_(limits) {
    if (factories) {
      factories_ = *factories;
      own_factories_ = true;
    }
  }

  void release() override { delete this; }

  void set_community(const char* community, size_t size) override {
    core_.set_community(community, size);
  }

  int init(const char* address, IKalNetworkAddress::EProtocol protocol,
           uint16_t port, int32_t version, const KalUsmParams* usm,
           uint32_t timeout_ms, uint32_t retries,
           uint32_t max_message_size) override {
    return core_.init(address, protocol, port, version, usm, timeout_ms,
                      retries, max_message_size);
  }

  int add_oid_string(const char* oid, bool instance0) override {
    return core_.add_binding(oid, instance0 ? "0" : nullptr, nullptr);
  }

  int add_oid_string(const char* oid, const char* suffix,
                     int32_t value) override {
    if (!suffix) return kKalErrInvalidArg;
    int rc = kKalOk;
    IKasSnmpValue* number =
        kas_create_value_from_int(value, kKasTagInteger, &rc);
    if (!number) return rc;
    return core_.add_binding(oid, suffix, number);
  }

  int set_data() override {
    const int rc = exchange(kKasPduSet);
    if (rc != kKalOk) return rc;
    const int32_t error = core_.pdu()->get_error_status();
    return (error == kKasSnmpNoSuchName || error == kKasSnmpNoAccess)
               ? kKalErrNoData
               : kKalOk;
  }

  int get_data(IKasPduList* list, const char* root) override;
  int walk_rows(const char* root, IKalWalkRowSink* sink) override;

  int get_data(char* out, size_t size) override {
    if (!out || size == 0) return kKalErrInvalidArg;
    KalOwned<IKasSnmpValue> value;
    int rc = get_first_value(&value);
    if (rc != kKalOk) return rc;
    // NULL and the exception values have no text: the buffer stays as it was.
    KalOwned<IKalText> text(value->to_text(&rc));
    if (text && text->length() != 0) {
      kal_copy_text(out, size, std::string_view(text->data(), text->length()));
    }
    return kKalOk;
  }

  int get_data(int32_t* out, int count) override {
    if (count < 0 || (!out && count > 0)) return kKalErrInvalidArg;
    const int rc = exchange(kKasPduGet);
    if (rc != kKalOk) return rc;
    for (int i = 0; i < count; ++i) {
      KalOwned<IKasSnmpValue> value;
      if (take_value(&value) != kKalOk) return kKalErrNoData;
      out[i] = value->get_int();
    }
    return kKalOk;
  }

  int get_data(int32_t* out) override {
    if (!out) return kKalErrInvalidArg;
    KalOwned<IKasSnmpValue> value;
    const int rc = get_first_value(&value);
    if (rc != kKalOk) return rc;
    *out = value->get_int();
    return kKalOk;
  }

  int clear_oids() override {
    IKasPdu* pdu = core_.pdu();
    if (!pdu) return kKalErrInvalidArg;
    if (IKasVarBindList* bindings = pdu->get_bindings()) bindings->truncate(0);
    pdu->set_error_status(0);
    pdu->set_error_index(0);
    return kKalOk;
  }

  int get_protocol(const char* address,
                   IKalNetworkAddress::EProtocol* protocol) override {
    if (!address || !protocol) return kKalErrInvalidArg;
    return kal_address_get_protocol(address, protocol);
  }

 private:
  SessionDispatcher* make_dispatcher(int* pStatus) const {
    return own_factories_ ? kas_create_session_dispatcher(factories_, pStatus)
                          : kas_create_session_dispatcher(pStatus);
  }

  // Sends the PDU as `type`; the answer replaces its bindings and error
  // fields. kKalErrInvalidArg before init.
  int exchange(int type) {
    IKasPdu* pdu = core_.pdu();
    if (!pdu) return kKalErrInvalidArg;
    pdu->set_type(type);
    int rc = kKalOk;
    SessionDispatcher* dispatcher = session(&rc);
    if (!dispatcher) return rc;
    return dispatcher->send_sync(pdu, core_.target());
  }

  // The dispatcher of every exchange of this object, made by the first: a
  // request object that is cleared and used again keeps its session and
  // socket (answers to an earlier request are told apart by request-ID).
  SessionDispatcher* session(int* pStatus) {
    if (!dispatcher_) dispatcher_.reset(make_dispatcher(pStatus));
    return dispatcher_.get();
  }

  // Takes the value of the first binding off the PDU; kKalErrNoData when
  // there is none.
  int take_value(KalOwned<IKasSnmpValue>* value) {
    IKasSnmpValue* taken = nullptr;
    if (core_.pdu()->pop_front_parts(nullptr, &taken) != kKalOk)
      return kKalErrNoData;
    value->reset(taken);
    return *value ? kKalOk : kKalErrNoData;
  }

  int get_first_value(KalOwned<IKasSnmpValue>* value) {
    const int rc = exchange(kKasPduGet);
    if (rc != kKalOk) return rc;
    return take_value(value);
  }

  // Makes the request PDU ask for the identifiers of `answer`, values
  // NULL (the next GetNext stays as small as the first one), reusing the
  // request's bindings, identifiers and NULL values.
  int ask_for_next(const IKasPdu* answer) {
    IKasPdu* pdu = core_.pdu();
    const IKasVarBindList* got = answer->get_bindings();
    const size_t n = got ? got->count() : 0;
    IKasVarBindList* asked = pdu->get_bindings();
    if (asked && asked->count() > n) asked->truncate(n);
    int rc = kKalOk;
    for (size_t i = 0; i < n; ++i) {
      const IKasOid* oid = got->at(i)->get_oid();
      if (!oid) return kKalErrNoData;
      asked = pdu->get_bindings();
      IKasVarBind* binding = asked ? asked->at(i) : nullptr;
      IKasSnmpValue* name = binding ? binding->get_name() : nullptr;
      const IKasSnmpValue* value = binding ? binding->get_value() : nullptr;
      if (name && value && value->tag() == kKasTagNull && name->as_oid() &&
          name->assign(got->at(i)->get_name()) == kKalOk) {
        continue;
      }
      // No binding of ours to reuse at this place: a new one.
      if (binding) asked->truncate(i);
      IKasSnmpValue* copy = oid->clone(&rc);
      if (!copy) return rc;
      rc = pdu->append_pair(copy, nullptr);
      if (rc != kKalOk) return rc;
    }
    return kKalOk;
  }

  KalRequestCore core_;
  // The answers of walk_rows, decoded into the same objects every time.
  KalOwned<IKasPdu> answer_;
  KalOwned<SessionDispatcher> dispatcher_;
  KalWalkLimits limits_;
  KasSessionFactories factories_{};
  bool own_factories_ = false;
};

int CKalGetData::get_data(IKasPduList* list, const char* root) {
  if (!list) return kKalErrInvalidArg;
  // The walk of walk_rows, each row it hands over cloned into the list.
  struct Keep final : IKalWalkRowSink {
    explicit Keep(IKasPduList* l) : list(l) {}
    int row(const IKasPdu* answer) override {
      int rc = kKalOk;
      IKasPdu* copy = answer->clone(&rc);
      return copy ? list->push_back(copy) : rc;
    }
    IKasPduList* list;
  } keep(list);
  return walk_rows(root, &keep);
}

int CKalGetData::walk_rows(const char* root, IKalWalkRowSink* sink) {
  if (!sink || !root || !core_.pdu()) return kKalErrInvalidArg;
  IKasPdu* pdu = core_.pdu();
  KalOwned<IKasSnmpValue> root_oid;
  const IKasOid* first = nullptr;
  int rc = walk_start(root, pdu, &root_oid, &first);
  if (rc != kKalOk) return rc;
  if (!answer_) {
    answer_.reset(kas_create_pdu(&rc));
    if (!answer_) return rc;
  }
  SessionDispatcher* dispatcher = session(&rc);
  if (!dispatcher) return rc;
  size_t rows = 0;
  size_t octets = 0;
  for (;;) {
    pdu->set_type(kKasPduGetNext);
    rc = dispatcher->send_sync_into(pdu, core_.target(), answer_.get());
    if (rc != kKalOk) return rc;
    // The request still holds what it asked for: its first identifier is
    // the one the answer must pass.
    const IKasOid* previous = pdu->get_bindings()->at(0)->get_oid();
    rc = walk_answer(root_oid->as_oid(), previous, answer_.get(), limits_, &rows, &octets);
    if (rc != kKalOk) return rc == kWalkEnded ? kKalOk : rc;
    rc = sink->row(answer_.get());
    if (rc != kKalOk) return rc;
    rc = ask_for_next(answer_.get());
    if (rc != kKalOk) return rc;
  }
}

IKalGetData* create(const KasSessionFactories* factories,
                    const KalWalkLimits& limits, int* pStatus) {
  CKalGetData* obj = kal_new<CKalGetData>(factories, limits);
  if (!obj) return kal_fail<IKalGetData>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return obj;
}

}  // namespace

int IKalGetData::walk_rows(const char* root, IKalWalkRowSink* sink) {
  if (!sink) return kKalErrInvalidArg;
  int rc = kKalOk;
  KalOwned<IKasPduList> list(kas_create_pdu_list(&rc));
  if (!list) return rc;
  rc = get_data(list.get(), root);
  if (rc != kKalOk) return rc;
  while (KalOwned<IKasPdu> row{list->take_front()}) {
    rc = sink->row(row.get());
    if (rc != kKalOk) return rc;
  }
  return kKalOk;
}

int IKalGetData::clear_oids() { return kKalErrNotSupported; }

IKalGetData* kal_create_get_data(int* pStatus) {
  return create(nullptr, KalWalkLimits{}, pStatus);
}

IKalGetData* kal_create_get_data_with(const KasSessionFactories& factories,
                                      int* pStatus) {
  return create(&factories, KalWalkLimits{}, pStatus);
}

IKalGetData* kal_create_get_data_with(const KasSessionFactories& factories,
                                      const KalWalkLimits& limits,
                                      int* pStatus) {
  return create(&factories, limits, pStatus);
}
