// Device discovery: filters, the found-device list and the discovery entry.
#include "plugin/discovery.h"

#include <cstring>

#include "common/status.h"
#include "common/text_copy.h"
#include "plugin/plugin_usm.h"

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

CZelDiscovery::CZelDiscovery() noexcept {
  clear_filters();
  m_szCommunity[0] = '\0';
}

CZelDiscovery::~CZelDiscovery() = default;

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
  (void)address;
  (void)mode;
  (void)settings;
  (void)timeoutMs;
  (void)retries;
  (void)usm;
  (void)community;
  (void)pCount;
  if (protocol != 1 && protocol != 2 && protocol != 4)
    return kKalErrNotSupported;
  // TODO: the broadcast through the device finder (facade/find_device_snmp)
  // goes here once the facade layer provides kal_create_find_device_snmp. Until
  // then discovery stores nothing and answers "not supported".
  return kKalErrNotSupported;
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
