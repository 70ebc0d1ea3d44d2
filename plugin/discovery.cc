// Device discovery: filters, the found-device list, and the discovery itself:
// one get of sysObjectID.0 through the device finder, answers kept by model
// and filter.
#include "plugin/discovery.h"

#include <cstring>
#include <string_view>

#include "common/secret.h"
#include "common/status.h"
#include "common/text.h"
#include "common/text_copy.h"
#include "log/log.h"
#include "plugin/plugin_usm.h"
#include "snmp/binding.h"
#include "snmp/list.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

CZelFoundDeviceList::~CZelFoundDeviceList() {
  while (m_pHead) {
    ZelFoundDevice* next = m_pHead->pNext;
    delete m_pHead;
    m_pHead = next;
  }
}

int CZelFoundDeviceList::add(const char* sysObjectID, const char* modelName,
                             const char* address) noexcept {
  ZelFoundDevice* node = kal_new<ZelFoundDevice>();
  if (!node) return kKalErrNoMemory;
  kal_copy_text(node->szSysObjectID, sysObjectID);
  kal_copy_text(node->szModelName, modelName);
  kal_copy_text(node->szAddress, address);
  node->pNext = m_pHead;
  m_pHead = node;
  ++m_count;
  return kKalOk;
}

bool CZelFoundDeviceList::get_next(char* address, char* modelName,
                                   uint8_t* pFlag, char* sysObjectID) noexcept {
  if (m_count <= 0 || m_position < 0 || m_position >= m_count) return false;
  const ZelFoundDevice* node = m_pHead;
  for (int32_t i = 0; i < m_position && node; ++i) node = node->pNext;
  if (!node) return false;
  // The host's buffers are ZEL_ADDRESS_SIZE bytes, as large as our fields.
  kal_copy_text(address, ZEL_ADDRESS_SIZE, node->szAddress);
  kal_copy_text(modelName, ZEL_MODEL_NAME_SIZE, node->szModelName);
  kal_copy_text(sysObjectID, ZEL_OID_TEXT_SIZE, node->szSysObjectID);
  *pFlag = 0;
  ++m_position;
  return true;
}

CZelDiscovery::CZelDiscovery() noexcept
    : m_createFinder(kal_create_find_device_snmp),
      m_modelTable(zel_model_table()) {
  clear_filters();
  m_szCommunity[0] = '\0';
}

CZelDiscovery::~CZelDiscovery() { kal_wipe(m_szCommunity, sizeof m_szCommunity); }

int CZelDiscovery::add_filter(const char* filter) noexcept {
  for (auto& slot : m_szFilters) {
    if (slot[0] == '\0') {
      kal_copy_text(slot, filter);
      return kKalOk;
    }
  }
  return kKalOk;  // all slots taken: dropped, as the host expects
}

void CZelDiscovery::clear_filters() noexcept {
  for (auto& slot : m_szFilters) slot[0] = '\0';
}

bool CZelDiscovery::passes_filters(const char* sysObjectID) const noexcept {
  if (m_szFilters[0][0] == '\0') return true;
  if (!sysObjectID) return false;
  for (const auto& slot : m_szFilters) {
    const size_t n = strlen(slot);
    if (n != 0 && strncmp(sysObjectID, slot, n) == 0) return true;
  }
  return false;
}

const char* CZelDiscovery::filter(int slot) const noexcept {
  if (slot < 0 || slot >= kZelFilterSlots) return nullptr;
  return m_szFilters[slot];
}

int CZelDiscovery::find(const char* address, int protocol, int32_t mode,
                        const ZelSnmpV3Settings& settings, int32_t timeoutMs,
                        int32_t retries, IZelPluginUSM& usm,
                        const char* community, int32_t* pCount) noexcept {
  const char* destination = address;
  switch (protocol) {
    case IKalNetworkAddress::IPv4:
    case IKalNetworkAddress::IPX:
      if (!destination) destination = kZelDefaultBroadcastIPv4;
      break;
    case IKalNetworkAddress::IPv6:
      if (!destination) destination = kZelDefaultMulticastIPv6;
      break;
    default:
      return kKalErrNotSupported;
  }
  if (!pCount) return kKalErrInvalidArg;

  usm.set(mode, settings);
  // An empty context field keeps the community of the last discovery.
  if (community && community[0] != '\0')
    kal_copy_secret(m_szCommunity, community);

  int rc = prepare_finder(destination, protocol, timeoutMs, retries, usm);
  if (rc != kKalOk) return rc;
  return collect(pCount);
}

int CZelDiscovery::prepare_finder(const char* destination, int protocol,
                                  int32_t timeoutMs, int32_t retries,
                                  const IZelPluginUSM& usm) noexcept {
  m_pFindDeviceSnmp.reset();
  m_pList.reset();

  int rc = kKalOk;
  m_pFindDeviceSnmp.reset(m_createFinder(&rc));
  if (!m_pFindDeviceSnmp) {
    if (rc == kKalOk) rc = kKalErrNoMemory;
    zel_log(kKalLogError, "%s: %d", "kal_create_find_device_snmp()", rc);
    return rc;
  }

  IKalNetworkAddress::EProtocol found = IKalNetworkAddress::Unknown;
  rc = m_pFindDeviceSnmp->get_protocol(destination, &found);
  if (rc != kKalOk) return rc;
  // IPX without an address ends here: the default text is an IPv4 text.
  if (found != protocol) return kKalErrInvalidArg;

  const KalUsmParams params{
      usm.get_security_name(),   usm.get_security_level(),
      usm.get_auth_protocol(),   usm.get_priv_protocol(),
      usm.get_auth_passphrase(), usm.get_priv_passphrase(),
      usm.get_context_name()};
  const uint16_t port =
      protocol == IKalNetworkAddress::IPX ? kZelSnmpPortIpx : kZelSnmpPortUdp;
  if (m_szCommunity[0] != '\0') m_pFindDeviceSnmp->set_community(m_szCommunity);
  // A negative time-out would read as weeks once made unsigned; 0 makes
  // each window a single look at what has already arrived.
  const uint32_t timeout = timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0;
  // The retry count goes through as it is: -1 sends nothing at all.
  rc = m_pFindDeviceSnmp->init(
      destination, static_cast<IKalNetworkAddress::EProtocol>(protocol), port,
      usm.get_mode(), &params, timeout, static_cast<uint32_t>(retries), 0);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "m_pFindDeviceSnmp->init()", rc);
    return rc;
  }

  m_pList.reset(kal_new<CZelFoundDeviceList>());
  return m_pList ? kKalOk : kKalErrNoMemory;
}

int CZelDiscovery::collect(int32_t* pCount) noexcept {
  *pCount = 0;
  int rc = m_pFindDeviceSnmp->add_oid_string(kZelSysObjectIdOid);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "m_pFindDeviceSnmp->add_oid_string()", rc);
    return rc;
  }
  IKasSnmpPacketList* raw = nullptr;
  rc = m_pFindDeviceSnmp->send_broad_cast(&raw);
  if (rc != kKalOk) {
    zel_log(kKalLogError, "%s: %d", "m_pFindDeviceSnmp->send_broad_cast()", rc);
    return rc;
  }
  KalOwned<IKasSnmpPacketList> responses(raw);
  if (!responses) return kKalOk;  // nothing collected

  KalOwned<IKasListCursor> cursor(responses->new_cursor(&rc));
  if (!cursor) return rc;
  for (const IKasSnmpPacket* packet = responses->current(cursor.get()); packet;
       responses->next(cursor.get()),
                             packet = responses->current(cursor.get())) {
    rc = take_response(*packet);
    if (rc != kKalOk) break;  // out of memory: keep what the list holds
  }
  *pCount = m_pList->count();
  return rc;
}

int CZelDiscovery::take_response(const IKasSnmpPacket& packet) noexcept {
  const IKasSnmpTarget* target = packet.get_target();
  const IKalNetworkAddress* source = target ? target->get_address() : nullptr;
  const char* address = source ? source->text() : nullptr;
  const IKasPdu* pdu = packet.get_pdu();
  const IKasVarBindList* bindings = pdu ? pdu->get_bindings() : nullptr;
  const IKasVarBind* first = bindings ? bindings->at(0) : nullptr;
  const IKasSnmpValue* value = first ? first->get_value() : nullptr;
  if (!address || !value) return kKalOk;  // no usable sysObjectID: dropped

  int rc = kKalOk;
  KalOwned<IKalText> text(value->to_text(&rc));
  if (!text) return rc == kKalErrNoMemory ? rc : kKalOk;
  const std::string_view sysObjectID(text->data(), text->length());
  // A value with a NUL inside is no identifier text; the filters and the
  // node see C texts, which would end there.
  if (sysObjectID.find('\0') != std::string_view::npos) return kKalOk;
  const char* model = zel_match_model(m_modelTable, sysObjectID);
  if (!model) return kKalOk;
  const char* oid = text->text();  // non-empty: a NUL-terminated text
  if (!oid || !passes_filters(oid)) return kKalOk;
  return m_pList->add(oid, model, address);
}

void CZelDiscovery::set_finder_factory(ZelFindDeviceFactory factory) noexcept {
  m_createFinder = factory ? factory : kal_create_find_device_snmp;
}

bool CZelDiscovery::get_next(char* address, char* modelName, uint8_t* pFlag,
                             char* sysObjectID) noexcept {
  return m_pList && m_pList->get_next(address, modelName, pFlag, sysObjectID);
}

void CZelDiscovery::reset_position() noexcept {
  if (m_pList) m_pList->reset_position();
}

CZelDiscovery* zel_create_discovery(int* pStatus) noexcept {
  CZelDiscovery* discovery = kal_new<CZelDiscovery>();
  if (!discovery) return kal_fail<CZelDiscovery>(pStatus, kKalErrNoMemory);
  kal_set_status(pStatus, kKalOk);
  return discovery;
}
