// The exported functions: each checks its arguments, maps the host's protocol
// code and forwards to the context, discovery, device or option object.
// Nothing here talks to the network, and no exception reaches the host.
#include <cstring>
#include <new>
#include <vector>

#include "common/secret.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "common/transport_available.h"
#include "options/dev_comm_option.h"
#include "plugin/alert_reader.h"
#include "plugin/charset_reader.h"
#include "plugin/device_object.h"
#include "plugin/device_reader.h"
#include "plugin/input_tray_reader.h"
#include "plugin/job_reader.h"
#include "plugin/output_tray_reader.h"
#include "plugin/plugin_context.h"
#include "plugin/printer_reader.h"
#include "plugin/storage_reader.h"
#include "plugin/toner_reader.h"
#include "plugin/protocol_code.h"
#include "plugin/zel_api.h"

namespace {

// The host header names every code and selector; its numbers are ours.
static_assert(ZEL_STATUS_OK == kKalOk && ZEL_STATUS_INIT_NO_CONTEXT == kZelInitNoContext &&
              ZEL_STATUS_GENERAL == kKalErrGeneral &&
              ZEL_STATUS_INVALID_ARGUMENT == kKalErrInvalidArg &&
              ZEL_STATUS_NO_MEMORY == kKalErrNoMemory &&
              ZEL_STATUS_NO_INTERFACE == kKalErrNoInterface &&
              ZEL_STATUS_NOT_SUPPORTED == kKalErrNotSupported &&
              ZEL_STATUS_NOT_FOUND == kKalErrNotFound && ZEL_STATUS_NO_DATA == kKalErrNoData &&
              ZEL_STATUS_NOT_READY == kKalErrNotReady &&
              ZEL_STATUS_PLATFORM == kKalErrPlatform &&
              ZEL_STATUS_INDEX_RANGE == kKalErrIndexRange &&
              ZEL_STATUS_TOO_MUCH_DATA == kKalErrTooMuchData);
static_assert(ZEL_STATUS_V3_UNMAPPED == kKasErrV3Unmapped &&
              ZEL_STATUS_SOCKET_OPEN == kKasErrSocketOpen && ZEL_STATUS_BIND == kKasErrBind &&
              ZEL_STATUS_TIMEOUT == kKasErrTimeout && ZEL_STATUS_RECEIVE == kKasErrReceive &&
              ZEL_STATUS_SEND == kKasErrSend && ZEL_STATUS_TOO_BIG == kKasErrTooBig &&
              ZEL_STATUS_TOO_LARGE == kKasErrTooLarge &&
              ZEL_STATUS_CANNOT_SPLIT == kKasErrCannotSplit &&
              ZEL_STATUS_V3_SECURITY == kKasErrV3Security &&
              ZEL_STATUS_UNDECODABLE == kKasErrUndecodable &&
              ZEL_STATUS_OTHER_REQUEST == kKasErrOtherRequest &&
              ZEL_STATUS_BAD_INDEX == kKasErrBadIndex);
static_assert(zel_map_protocol(ZEL_PROTOCOL_IPV4) == kZelProtocolIPv4 &&
              zel_map_protocol(ZEL_PROTOCOL_IPX) == kZelProtocolIPX &&
              zel_map_protocol(ZEL_PROTOCOL_NONE) == kZelProtocolNone &&
              zel_map_protocol(ZEL_PROTOCOL_IPV6) == kZelProtocolIPv6);
static_assert(ZEL_JOB_STATE_SPLIT == kZelJobStateSplit);

// An exception that escaped into the host would end the host's process. Our
// code does not throw, but standard containers can still throw
// std::bad_alloc, so every exported body runs through one of these guards.
template <class F>
int32_t zel_guard(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  } catch (...) {
    return kKalErrGeneral;
  }
}

// For the yes/no answers: a failure is "no".
template <class F>
int16_t zel_guard_bool(F&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return 0;
  }
}

template <class F>
void zel_guard_void(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

CZelPluginContext* context_of(ZelContext* handle) noexcept {
  return reinterpret_cast<CZelPluginContext*>(handle);
}

// The non-Ex functions apply this: community-based SNMP, every SNMPv3
// setting at its default.
constexpr int32_t kNonExMode = 0;
const ZelSnmpV3Settings kNoSnmpV3Settings{};

// Device and option queries before the first (successful) device open.
constexpr int32_t kNoDeviceObject = kKalErrNotReady;
constexpr int32_t kNoOptionObject = kKalErrNotReady;

int32_t find_device(ZelContext* handle, const char* address, int32_t protocol,
                    int32_t snmpMode, const ZelSnmpV3Settings* settings,
                    int32_t timeoutMs, int32_t retries, int32_t* pCount) {
  if (!handle || !pCount || !settings) return kKalErrInvalidArg;
  const int internal = zel_map_protocol(protocol);
  if (internal < 0) return internal;
  ZelSnmpV3Settings copy = *settings;  // taken on entry, as documented
  const KalWipeOnExit wipe(&copy, sizeof copy);  // it holds the pass phrases
  return context_of(handle)->find_devices(address, internal, snmpMode, copy,
                                          timeoutMs, retries, pCount);
}

int32_t init_device(ZelContext* handle, const char* address, int32_t protocol,
                    int32_t snmpMode, const ZelSnmpV3Settings* settings,
                    int32_t timeoutMs, int32_t retries) {
  if (!handle || !address || !settings) return kKalErrInvalidArg;
  const int internal = zel_map_protocol(protocol);
  if (internal < 0) return internal;
  ZelSnmpV3Settings copy = *settings;
  const KalWipeOnExit wipe(&copy, sizeof copy);
  return context_of(handle)->open_device(address, internal, snmpMode, copy,
                                         timeoutMs, retries);
}

// A count call: empties the table's rows, runs its reader and, on success
// only, answers the number of rows.
template <class Record, class Reader>
int32_t table_count(ZelContext* handle, int32_t* pCount,
                    std::vector<Record> CZelDevice::*rows, Reader read) {
  if (!handle || !pCount) return kKalErrInvalidArg;
  CZelDevice* device = context_of(handle)->device();
  if (!device) return kNoDeviceObject;
  (device->*rows).clear();
  const int status = read(*device);
  if (status != kKalOk) return status;
  *pCount = static_cast<int32_t>((device->*rows).size());
  return kKalOk;
}

// A record call: copies one cached row; no network traffic.
template <class Record>
int32_t table_record(ZelContext* handle, uint32_t index, Record* pInfo,
                     std::vector<Record> CZelDevice::*rows) {
  if (!handle || !pInfo) return kKalErrInvalidArg;
  CZelDevice* device = context_of(handle)->device();
  if (!device) return kNoDeviceObject;
  const std::vector<Record>& cached = device->*rows;
  if (index >= cached.size()) return kKalErrIndexRange;
  *pInfo = cached[index];
  return kKalOk;
}

// Asks the option object through its get_option form for `Raw` and, on
// success only, hands the answer to `store` for the host's out value.
template <class Raw, class Out, class Store>
int32_t option_value(ZelContext* handle, const char* key, uint16_t index,
                     Out* pValue, Store store) {
  if (!handle || !key || !pValue) return kKalErrInvalidArg;
  CZelDevCommOption* option = context_of(handle)->option();
  if (!option) return kNoOptionObject;
  Raw raw{};
  const int status = option->get_option(key, &raw, index);
  if (status == kKalOk) store(raw, pValue);
  return status;
}

}  // namespace

extern "C" {

ZEL_EXPORT int32_t ZelInit(ZelContext** pHandle) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!pHandle) return kKalErrInvalidArg;
    CZelPluginContext* context = nullptr;
    const int status = zel_create_plugin_context(&context);
    if (status != kKalOk) return status;
    *pHandle = reinterpret_cast<ZelContext*>(context);
    return kKalOk;
  });
}

ZEL_EXPORT void ZelUnInit(ZelContext* handle) noexcept {
  zel_guard_void([&] {
    if (handle) context_of(handle)->release();
  });
}

ZEL_EXPORT int32_t ZelCommandString(ZelContext* handle, const char* command,
                                    const char* value) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle || !command || !value) return kKalErrInvalidArg;
    return context_of(handle)->command_string(command, value);
  });
}

ZEL_EXPORT int32_t ZelCommandInteger(ZelContext* handle, const char* command,
                                     int32_t* pValue) noexcept {
  return zel_guard([&]() -> int32_t {
    (void)command;  // no integer command exists, so the name is not examined
    if (!handle || !pValue) return kKalErrInvalidArg;
    return kKalErrNotSupported;
  });
}

ZEL_EXPORT int32_t ZelFindDeviceSNMP(ZelContext* handle, const char* address,
                                     int32_t protocol, int32_t timeoutMs,
                                     int32_t retries,
                                     int32_t* pCount) noexcept {
  return zel_guard([&] {
    return find_device(handle, address, protocol, kNonExMode,
                       &kNoSnmpV3Settings, timeoutMs, retries, pCount);
  });
}

ZEL_EXPORT int32_t ZelFindDeviceSNMPEx(ZelContext* handle, const char* address,
                                       int32_t protocol, int32_t snmpMode,
                                       const ZelSnmpV3Settings* settings,
                                       int32_t timeoutMs, int32_t retries,
                                       int32_t* pCount) noexcept {
  return zel_guard([&] {
    return find_device(handle, address, protocol, snmpMode, settings, timeoutMs,
                       retries, pCount);
  });
}

ZEL_EXPORT int32_t ZelFindAddFilter(ZelContext* handle,
                                    const char* filter) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle || !filter) return kKalErrInvalidArg;
    CZelDiscovery* discovery = context_of(handle)->discovery();
    if (!discovery) return kKalErrNotReady;
    return discovery->add_filter(filter);
  });
}

ZEL_EXPORT void ZelFindClearFilter(ZelContext* handle) noexcept {
  zel_guard_void([&] {
    if (!handle) return;
    if (CZelDiscovery* discovery = context_of(handle)->discovery())
      discovery->clear_filters();
  });
}

ZEL_EXPORT void ZelFindResetPosition(ZelContext* handle) noexcept {
  zel_guard_void([&] {
    if (!handle) return;
    if (CZelDiscovery* discovery = context_of(handle)->discovery())
      discovery->reset_position();
  });
}

ZEL_EXPORT int16_t ZelGetDeviceNext(ZelContext* handle, char* address,
                                    char* modelName, uint8_t* pFlag,
                                    char* sysObjectId) noexcept {
  return zel_guard_bool([&]() -> int16_t {
    if (!handle || !address || !modelName || !pFlag || !sysObjectId) return 0;
    CZelDiscovery* discovery = context_of(handle)->discovery();
    return discovery &&
                   discovery->get_next(address, modelName, pFlag, sysObjectId)
               ? 1
               : 0;
  });
}

ZEL_EXPORT int32_t ZelInitDevice(ZelContext* handle, const char* address,
                                 int32_t protocol, int32_t timeoutMs,
                                 int32_t retries) noexcept {
  return zel_guard([&] {
    return init_device(handle, address, protocol, kNonExMode,
                       &kNoSnmpV3Settings, timeoutMs, retries);
  });
}

ZEL_EXPORT int32_t ZelInitDeviceEx(ZelContext* handle, const char* address,
                                   int32_t protocol, int32_t snmpMode,
                                   const ZelSnmpV3Settings* settings,
                                   int32_t timeoutMs,
                                   int32_t retries) noexcept {
  return zel_guard([&] {
    return init_device(handle, address, protocol, snmpMode, settings, timeoutMs,
                       retries);
  });
}

ZEL_EXPORT int16_t ZelIsSupportedOID(ZelContext* handle,
                                     const char* oid) noexcept {
  return zel_guard_bool([&]() -> int16_t {
    if (!handle) return kKalErrInvalidArg;
    CZelDevCommOption* option = context_of(handle)->option();
    if (!option) return 0;  // no device open was attempted
    if (!oid || oid[0] == '\0') return 1;
    return option->is_supported_OID(oid) ? 1 : 0;
  });
}

ZEL_EXPORT int32_t ZelRefreshOptions(ZelContext* handle) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle) return kKalErrInvalidArg;
    CZelDevCommOption* option = context_of(handle)->option();
    if (!option) return kNoOptionObject;
    return option->refresh_options();
  });
}

ZEL_EXPORT int32_t ZelGetOptionValueBoolean(ZelContext* handle, const char* key,
                                            uint16_t index,
                                            int16_t* pValue) noexcept {
  return zel_guard([&] {
    return option_value<bool>(handle, key, index, pValue,
                              [](bool v, int16_t* out) { *out = v ? 1 : 0; });
  });
}

ZEL_EXPORT int32_t ZelGetOptionValueInteger(ZelContext* handle, const char* key,
                                            uint16_t index,
                                            int32_t* pValue) noexcept {
  return zel_guard([&] {
    return option_value<long>(
        handle, key, index, pValue,
        [](long v, int32_t* out) { *out = static_cast<int32_t>(v); });
  });
}

ZEL_EXPORT int32_t ZelGetOptionValueUInteger(ZelContext* handle,
                                             const char* key, uint16_t index,
                                             uint32_t* pValue) noexcept {
  return zel_guard([&] {
    return option_value<unsigned long>(handle, key, index, pValue,
                                       [](unsigned long v, uint32_t* out) {
                                         *out = static_cast<uint32_t>(v);
                                       });
  });
}

ZEL_EXPORT int32_t ZelGetOptionValueString(ZelContext* handle, const char* key,
                                           uint16_t index,
                                           char* buffer) noexcept {
  return zel_guard([&] {
    // The host's buffer holds the longest option text and its NUL.
    return option_value<const char*>(
        handle, key, index, buffer, [](const char* text, char* out) {
          kal_copy_text(out, ZEL_OPTION_TEXT_SIZE, text);
        });
  });
}

ZEL_EXPORT int16_t ZelTransportAvailable(int32_t protocol) noexcept {
  return zel_guard_bool([&]() -> int16_t {
    const int internal = zel_map_protocol(protocol);
    if (internal != kZelProtocolIPv4 && internal != kZelProtocolIPX &&
        internal != kZelProtocolIPv6) {
      return 0;
    }
    int status = kKalOk;
    const bool available = kal_transport_available(internal, &status);
    return status == kKalOk && available ? 1 : 0;
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfStorageInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::storage,
                       [](CZelDevice& device) { return zel_read_storage(device); });
  });
}

ZEL_EXPORT int32_t ZelGetStorageInfo(ZelContext* handle, uint32_t index,
    ZelStorageInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::storage);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfDeviceInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::devices,
                       [](CZelDevice& device) { return zel_read_devices(device); });
  });
}

ZEL_EXPORT int32_t ZelGetDeviceInfo(ZelContext* handle, uint32_t index,
    ZelDeviceInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::devices);
  });
}

ZEL_EXPORT int32_t ZelGetPrinterInfo(ZelContext* handle,
                                     ZelPrinterInfo* pInfo) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle || !pInfo) return kKalErrInvalidArg;
    CZelDevice* device = context_of(handle)->device();
    if (!device) return kNoDeviceObject;
    return zel_read_printer(*device, pInfo);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfInputTrayInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::input_trays,
                       [](CZelDevice& device) { return zel_read_input_trays(device); });
  });
}

ZEL_EXPORT int32_t ZelGetInputTrayInfo(ZelContext* handle, uint32_t index,
    ZelInputTrayInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::input_trays);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfInputTrayInfoEx(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::input_trays_ex,
                       [](CZelDevice& device) { return zel_read_input_trays_ex(device); });
  });
}

ZEL_EXPORT int32_t ZelGetInputTrayInfoEx(ZelContext* handle, uint32_t index,
    ZelInputTrayInfoEx* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::input_trays_ex);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfOutputTrayInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::output_trays,
                       [](CZelDevice& device) { return zel_read_output_trays(device); });
  });
}

ZEL_EXPORT int32_t ZelGetOutputTrayInfo(ZelContext* handle, uint32_t index,
    ZelOutputTrayInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::output_trays);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfTonerInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::toners,
                       [](CZelDevice& device) { return zel_read_toners(device); });
  });
}

ZEL_EXPORT int32_t ZelGetTonerInfo(ZelContext* handle, uint32_t index,
    ZelTonerInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::toners);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfAlertInfo(ZelContext* handle,
    int32_t* pCount) noexcept {
  return zel_guard([&] {
    return table_count(handle, pCount, &CZelDevice::alerts,
                       [](CZelDevice& device) { return zel_read_alerts(device); });
  });
}

ZEL_EXPORT int32_t ZelGetAlertInfo(ZelContext* handle, uint32_t index,
    ZelAlertInfo* pInfo) noexcept {
  return zel_guard([&] {
    return table_record(handle, index, pInfo, &CZelDevice::alerts);
  });
}

ZEL_EXPORT int32_t ZelGetNumberOfJobInfo(ZelContext* handle, uint32_t selector,
                                         int32_t* pCount) noexcept {
  return zel_guard([&]() -> int32_t {
    if (selector > 2) return kKalErrInvalidArg;
    return table_count(handle, pCount, &CZelDevice::jobs,
                       [&](CZelDevice& device) { return zel_read_jobs(device, selector); });
  });
}

ZEL_EXPORT int32_t ZelGetJobInfo(ZelContext* handle, uint32_t index,
                                 ZelJobInfo* pInfo) noexcept {
  return zel_guard([&] { return table_record(handle, index, pInfo, &CZelDevice::jobs); });
}

ZEL_EXPORT int32_t ZelCancelJob(ZelContext* handle,
                                const char* jobId) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle || !jobId) return kKalErrInvalidArg;
    CZelDevice* device = context_of(handle)->device();
    if (!device) return kNoDeviceObject;
    return zel_cancel_job(*device, jobId);
  });
}

ZEL_EXPORT int32_t ZelGetCharSet(ZelContext* handle, uint32_t selector,
                                 int32_t* pCharSet) noexcept {
  return zel_guard([&]() -> int32_t {
    if (!handle || !pCharSet || selector > 1) return kKalErrInvalidArg;
    CZelDevice* device = context_of(handle)->device();
    if (!device) return kNoDeviceObject;
    return zel_get_char_set(*device, selector, pCharSet);
  });
}

}  // extern "C"
