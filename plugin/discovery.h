// The discovery object: the host's sysObjectID filters, the discovery
// community, and the list of devices the last discovery found, which the host
// reads one at a time. The plug-in context owns one for its whole life.
// Not thread-safe: the host uses one context from one thread at a time.
#ifndef PLUGIN_DISCOVERY_H_
#define PLUGIN_DISCOVERY_H_

#include <cstddef>
#include <cstdint>

#include "common/owned.h"
#include "facade/find_device_snmp.h"
#include "plugin/model_table.h"
#include "plugin/zel_api.h"

class IKasSnmpPacket;
class IZelPluginUSM;

// The shape of kal_create_find_device_snmp: tests hand the discovery object a
// scripted finder through one of these.
using ZelFindDeviceFactory = IKalFindDeviceSnmp* (*)(int* pStatus);

// Where a discovery goes when the host gives no address.
inline constexpr char kZelDefaultBroadcastIPv4[] = "255.255.255.255";
inline constexpr char kZelDefaultMulticastIPv6[] = "ff02::1";
// The agent ports: SNMP over UDP, and the SNMP socket over IPX.
inline constexpr uint16_t kZelSnmpPortUdp = 161;
inline constexpr uint16_t kZelSnmpPortIpx = 36879;
// sysObjectID; the finder appends the instance 0.
inline constexpr char kZelSysObjectIdOid[] = "1.3.6.1.2.1.1.2";

inline constexpr int kZelFilterSlots = 50;
inline constexpr size_t kZelFilterSize = 64;
inline constexpr size_t kZelFoundTextSize = 64;
inline constexpr size_t kZelCommunitySize = 256;

// One found device. New nodes go to the head of the chain.
struct ZelFoundDevice {
  char szSysObjectID[kZelFoundTextSize];
  char szModelName[kZelFoundTextSize];
  char szAddress[kZelFoundTextSize];
  ZelFoundDevice* pNext;
};

// The devices of one discovery and the host's read position.
class CZelFoundDeviceList {
 public:
  CZelFoundDeviceList() noexcept = default;
  ~CZelFoundDeviceList();
  CZelFoundDeviceList(const CZelFoundDeviceList&) = delete;
  CZelFoundDeviceList& operator=(const CZelFoundDeviceList&) = delete;
  void release() noexcept { delete this; }

  // Puts a node at the head (texts cut to 63 characters); count + 1.
  // 0; kKalErrNoMemory (the list is unchanged).
  int add(const char* sysObjectID, const char* modelName,
          const char* address) noexcept;
  // Copies the node at the read position into the host's 64-byte buffers,
  // sets *pFlag to 0 and advances. False when the list is exhausted.
  bool get_next(char* address, char* modelName, uint8_t* pFlag,
                char* sysObjectID) noexcept;
  void reset_position() noexcept { m_position = 0; }
  int32_t count() const noexcept { return m_count; }

 private:
  int32_t m_count = 0;
  int32_t m_position = 0;
  ZelFoundDevice* m_pHead = nullptr;
};

class CZelDiscovery {
 public:
  CZelDiscovery() noexcept;
  ~CZelDiscovery();
  CZelDiscovery(const CZelDiscovery&) = delete;
  CZelDiscovery& operator=(const CZelDiscovery&) = delete;
  void release() noexcept { delete this; }

  // Copies `filter` (cut to 63 characters) into the first empty slot; when all
  // 50 are taken the filter is dropped. Always 0.
  int add_filter(const char* filter) noexcept;
  void clear_filters() noexcept;
  // True when the first slot is empty, or some non-empty slot is a plain
  // character prefix of `sysObjectID`.
  bool passes_filters(const char* sysObjectID) const noexcept;
  // Lends slot `slot` (0..49), "" when empty; nullptr for another slot.
  const char* filter(int slot) const noexcept;

  // Finds devices (internal protocol 1 IPv4, 2 IPX, 4 IPv6) and replaces the
  // finder and the found-device list. `address` is the destination (one
  // device, or a broadcast or multicast address); null sends to
  // 255.255.255.255 (IPv4, IPX) or ff02::1 (IPv6). `community` is the
  // context's discovery community ("" when not set: the last one taken over
  // stays); `usm` gets `mode` and `settings` first and then rules the
  // request's SNMP version and USM settings. The call lasts the whole budget,
  // (retries + 1) x time-out; a negative time-out counts as 0 (one look at
  // what has arrived). Keeps every answer whose sysObjectID belongs to a
  // model of the table and passes the filters, newest first.
  // *pCount: the devices kept (0 from the start of the exchange on).
  // Returns 0; kKalErrNotSupported for a protocol discovery does not serve
  // (nothing else happens); kKalErrInvalidArg for a null pCount or a
  // destination of another protocol; kKalErrNoMemory; the finder's status
  // (create, get_protocol, init, add_oid_string, send_broad_cast). A failure
  // at or before the finder's init leaves no list.
  int find(const char* address, int protocol, int32_t mode,
           const ZelSnmpV3Settings& settings, int32_t timeoutMs,
           int32_t retries, IZelPluginUSM& usm, const char* community,
           int32_t* pCount) noexcept;

  // False without a list or when it is exhausted.
  bool get_next(char* address, char* modelName, uint8_t* pFlag,
                char* sysObjectID) noexcept;
  // No effect without a list.
  void reset_position() noexcept;

  // The discovery community last taken over from the context ("" when none).
  const char* community() const noexcept { return m_szCommunity; }
  // Lends the found-device list, nullptr when there is none.
  CZelFoundDeviceList* found_devices() const noexcept { return m_pList.get(); }
  // Lends the finder of the last discovery, nullptr when there is none.
  IKalFindDeviceSnmp* finder() const noexcept {
    return m_pFindDeviceSnmp.get();
  }

  // Tests: makes later finders with `factory` (null: the real one).
  void set_finder_factory(ZelFindDeviceFactory factory) noexcept;
  // Tests: matches against `table` instead of the plug-in's own.
  void set_model_table(ZelModelTable table) noexcept { m_modelTable = table; }

 private:
  int prepare_finder(const char* destination, int protocol, int32_t timeoutMs,
                     int32_t retries, const IZelPluginUSM& usm) noexcept;
  int collect(int32_t* pCount) noexcept;
  int take_response(const IKasSnmpPacket& packet) noexcept;

  ZelFindDeviceFactory m_createFinder;
  ZelModelTable m_modelTable;
  KalOwned<IKalFindDeviceSnmp> m_pFindDeviceSnmp;
  KalOwned<CZelFoundDeviceList> m_pList;
  char m_szFilters[kZelFilterSlots][kZelFilterSize];
  char m_szCommunity[kZelCommunitySize];
};

// Makes a discovery object with 50 empty filters, no list and an empty
// community. The caller owns it (release()). *pStatus: 0, kKalErrNoMemory.
CZelDiscovery* zel_create_discovery(int* pStatus = nullptr) noexcept;

#endif  // PLUGIN_DISCOVERY_H_
