// The device object: what the table readers need to talk to one opened
// device (address, protocol, port, communities, SNMP settings) and the rows
// the last count call of each table read. Device open makes it and the
// context owns it. A reader call borrows the device's request object (made
// from these settings, emptied between calls, so that the calls on one
// device share one target, session and socket as a Net-SNMP session does)
// or makes a fresh one. No lock: one thread at a time, as the context.
#ifndef PLUGIN_DEVICE_OBJECT_H_
#define PLUGIN_DEVICE_OBJECT_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/status.h"
#include "facade/get_data.h"
#include "plugin/plugin_usm.h"
#include "plugin/zel_api.h"

// The write community a device object sends when the host set none.
inline constexpr char kZelDefaultWriteCommunity[] = "dazavud";
// The device address field, NUL included.
inline constexpr size_t kZelDeviceAddressSize = 64;
// SNMP ports: UDP over IPv4 and IPv6, and the IPX socket.
inline constexpr uint16_t kZelDevicePortIp = 161;
inline constexpr uint16_t kZelDevicePortIpx = 36879;

// Appends `record` to `rows`; kKalErrNoMemory instead of an exception.
template <class T>
int zel_append_row(std::vector<T>* rows, const T& record) noexcept {
  try {
    rows->push_back(record);
    return kKalOk;
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
}

class CZelDevice;

// A prepared request object for one exported call. When the holder's scope
// ends the object goes back to its device, which keeps it for the next call
// while the device's settings stay as they were, or is released.
class ZelRequest {
 public:
  ZelRequest() noexcept = default;
  ~ZelRequest() { reset(); }
  ZelRequest(const ZelRequest&) = delete;
  ZelRequest& operator=(const ZelRequest&) = delete;
  ZelRequest(ZelRequest&& other) noexcept { take(&other); }
  ZelRequest& operator=(ZelRequest&& other) noexcept {
    if (this != &other) {
      reset();
      take(&other);
    }
    return *this;
  }
  IKalGetData* get() const noexcept { return request_; }
  IKalGetData* operator->() const noexcept { return request_; }
  explicit operator bool() const noexcept { return request_ != nullptr; }
  void reset() noexcept;

 private:
  friend class CZelDevice;
  void take(ZelRequest* other) noexcept {
    device_ = other->device_;
    generation_ = other->generation_;
    request_ = std::exchange(other->request_, nullptr);
  }

  const CZelDevice* device_ = nullptr;  // null: released, never kept
  uint64_t generation_ = 0;             // the device settings it was made with
  IKalGetData* request_ = nullptr;
};

class CZelDevice {
 public:
  CZelDevice() noexcept;
  ~CZelDevice();
  CZelDevice(const CZelDevice&) = delete;
  CZelDevice& operator=(const CZelDevice&) = delete;
  void release() noexcept { delete this; }

  // Stores the address (cut to 63 characters), the protocol and its port,
  // the time-out, retry count and maximum message size, and COPIES the USM
  // provider's mode and settings: a later discovery or open that resets the
  // provider must not change what this device's requests send.
  // 0; kKalErrInvalidArg for a null address or a protocol other than IPv4,
  // IPX or IPv6 (the port is then left 0).
  int init(const char* address, int protocol, int32_t timeoutMs, int32_t retries,
           int32_t maxMessageSize, const IZelPluginUSM& usm) noexcept;

  // Copies the read community (cut to 255 characters) and marks it given:
  // only then do the requests carry it instead of their default.
  void set_read_community(const char* community) noexcept;
  // Copies the write community (cut to 255); "dazavud" until called.
  void set_write_community(const char* community) noexcept;

  // Request preparation: the request object the last call gave back,
  // emptied, when the settings have not changed since it was made; else a
  // new one from the factory, with the read community when one was given,
  // initialised for this device. On success *out holds it (until the end of
  // the call; the device outlives it). Failures are logged with the failing
  // step's name ("kal_create_get_data()", "pGetData->init()") and answered
  // unchanged.
  int prepare_request(ZelRequest* out) const noexcept;
  // A new request object with the write community, always (the cancel set);
  // it is released, not kept.
  int prepare_write_request(ZelRequest* out) const noexcept;
  // Initialises `request` with this device's settings (no community call,
  // no log line). Answers init's status.
  int init_request(IKalGetData* request) const noexcept;

  // Test seam: where request objects come from (null: kal_create_get_data).
  void set_get_data_factory(KalGetDataFactory factory) noexcept;

  const char* address() const noexcept { return m_szAddress; }
  int protocol() const noexcept { return m_protocol; }
  uint16_t port() const noexcept { return m_port; }
  int32_t timeout_ms() const noexcept { return m_timeoutMs; }
  int32_t retries() const noexcept { return m_retries; }
  int32_t snmp_mode() const noexcept { return m_mode; }
  bool read_community_given() const noexcept { return m_bReadCommunityGiven; }
  const char* read_community() const noexcept { return m_szReadCommunity; }
  const char* write_community() const noexcept { return m_szWriteCommunity; }
  // The copied USM parameter block (texts lent, live as long as the object).
  KalUsmParams usm_params() const noexcept;

  // Cached rows of the last count call of each table, and the scalar
  // readings. Readers fill them; the record getters copy from them.
  std::vector<ZelStorageInfo> storage;
  std::vector<ZelDeviceInfo> devices;
  int32_t printer_status = 0;
  int32_t detected_error_state = 0;
  std::vector<ZelInputTrayInfo> input_trays;
  std::vector<ZelInputTrayInfoEx> input_trays_ex;
  std::vector<ZelOutputTrayInfo> output_trays;
  std::vector<ZelTonerInfo> toners;
  std::vector<ZelAlertInfo> alerts;
  std::vector<ZelJobInfo> jobs;
  int32_t standard_char_set = 0;  // 0: not read yet
  int32_t vendor_char_set = 0;    // 0: not read yet

 private:
  friend class ZelRequest;
  IKalGetData* create_request(int* pStatus) const noexcept;
  int prepare(const char* community, size_t size, IKalGetData** out) const noexcept;
  // Takes back a request object made with the settings of `generation`.
  void keep(IKalGetData* request, uint64_t generation) const noexcept;

  // Every change of the settings a request is made from counts up, so that
  // a kept request made before it is not used again.
  uint64_t m_generation = 1;
  mutable KalOwned<IKalGetData> m_spare;
  mutable uint64_t m_spareGeneration = 0;

  int m_protocol = 0;
  char m_szAddress[kZelDeviceAddressSize];
  uint16_t m_port = 0;
  int32_t m_timeoutMs = 0;
  int32_t m_retries = 0;
  int32_t m_maxMessageSize = 0;
  char m_szReadCommunity[kKalCommunitySize];
  bool m_bReadCommunityGiven = false;
  char m_szWriteCommunity[kKalCommunitySize];
  int32_t m_mode = kZelUsmDefaultMode;
  char m_szSecurityName[kZelUsmNameSize];
  int32_t m_securityLevel = 0;
  int32_t m_authProtocol = 0;
  int32_t m_privProtocol = 0;
  char m_szAuthPassphrase[kZelUsmPassphraseSize];
  char m_szPrivPassphrase[kZelUsmPassphraseSize];
  char m_szContextName[kZelUsmContextNameSize];
  KalGetDataFactory m_pfnCreateGetData = nullptr;
};

// A new device object (empty tables, write community "dazavud"). The caller
// owns it (release()). *pStatus (optional): 0, kKalErrNoMemory.
CZelDevice* zel_create_device(int* pStatus = nullptr) noexcept;

#endif  // PLUGIN_DEVICE_OBJECT_H_
