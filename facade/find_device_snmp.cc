// The broadcast device finder: one GetRequest to a broadcast destination
// through a session dispatcher made for the exchange.
#include "facade/find_device_snmp.h"

#include "common/address_service.h"
#include "common/owned.h"
#include "facade/request_core.h"
#include "facade/request_testing.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "transport/session_dispatcher.h"

namespace {

class CKalFindDeviceSnmp : public IKalFindDeviceSnmp {
 public:
  explicit CKalFindDeviceSnmp(const KasSessionFactories* factories) {
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

  int add_oid_string(const char* oid) override {
    return core_.add_binding(oid, "0", nullptr);
  }

  int send_broad_cast(IKasSnmpPacketList** ppList) override {
    IKasPdu* pdu = core_.pdu();
    if (!ppList || !pdu) return kKalErrInvalidArg;
    pdu->set_type(kKasPduGet);
    int rc = kKalOk;
    KalOwned<SessionDispatcher> dispatcher(
        own_factories_ ? kas_create_session_dispatcher(factories_, &rc)
                       : kas_create_session_dispatcher(&rc));
    if (!dispatcher) return rc;
    IKasSnmpPacketList* list = nullptr;
    rc = dispatcher->send_broad_cast_sync(pdu, core_.target(), &list);
    if (rc != kKalOk) {
      if (list) list->release();
      return rc;
    }
    *ppList = list;
    return kKalOk;
  }

  int get_protocol(const char* address,
                   IKalNetworkAddress::EProtocol* protocol) override {
    if (!address || !protocol) return kKalErrInvalidArg;
    return kal_address_get_protocol(address, protocol);
  }

 private:
  KalRequestCore core_;
  KasSessionFactories factories_{};
  bool own_factories_ = false;
};

IKalFindDeviceSnmp* create(const KasSessionFactories* factories, int* pStatus) {
  CKalFindDeviceSnmp* obj = kal_new<CKalFindDeviceSnmp>(factories);
  if (!obj) return kal_fail<IKalFindDeviceSnmp>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return obj;
}

}  // namespace

IKalFindDeviceSnmp* kal_create_find_device_snmp(int* pStatus) {
  return create(nullptr, pStatus);
}

IKalFindDeviceSnmp* kal_create_find_device_snmp_with(
    const KasSessionFactories& factories, int* pStatus) {
  return create(&factories, pStatus);
}
