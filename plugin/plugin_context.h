// The plug-in context: the object behind the host's handle. It owns the three
// community strings, the USM provider and the discovery object, and (once a
// device has been opened) the option object and the device object. The host
// owns the context from ZelInit to ZelUnInit. The context has no lock: the
// host must not use one context from two threads at once.
#ifndef PLUGIN_PLUGIN_CONTEXT_H_
#define PLUGIN_PLUGIN_CONTEXT_H_

#include <cstdint>

#include "common/owned.h"
#include "facade/get_data.h"
#include "plugin/device_object.h"
#include "plugin/discovery.h"
#include "plugin/plugin_usm.h"
#include "plugin/zel_api.h"

// The three commands of ZelCommandString.
inline constexpr char kZelCmdCommunityGetOption[] = "CmdSetCommunityGetOption";
inline constexpr char kZelCmdCommunityFind[] = "CmdSetCommunityFind";
inline constexpr char kZelCmdCommunityWrite[] = "CmdSetCommunityWrite";

class CZelDevCommOption;

class CZelPluginContext {
 public:
  // Three empty communities and no parts; init() makes the parts.
  CZelPluginContext() noexcept;
  ~CZelPluginContext();
  CZelPluginContext(const CZelPluginContext&) = delete;
  CZelPluginContext& operator=(const CZelPluginContext&) = delete;
  void release() noexcept { delete this; }

  // Makes the discovery object and the USM provider. 0; kKalErrNoMemory
  // (whatever was made stays owned and goes with the context).
  int init() noexcept;

  // Stores `value` (cut to 255 characters) into the community the command
  // names, compared byte for byte. 0; kKalErrInvalidArg for a null argument;
  // kKalErrNotSupported for any other command.
  int command_string(const char* command, const char* value) noexcept;

  // The communities; "" when not set. Lent for the context's life; a later
  // command of the same name overwrites the text.
  const char* read_community() const noexcept { return m_szReadCommunity; }
  const char* find_community() const noexcept { return m_szFindCommunity; }
  const char* write_community() const noexcept { return m_szWriteCommunity; }
  // A community counts as set when its first character is not NUL.
  static bool is_set(const char* community) noexcept {
    return community && community[0] != '\0';
  }

  // Lent parts, valid for the context's life (null only before init()).
  IZelPluginUSM* usm() const noexcept { return m_pUSM.get(); }
  CZelDiscovery* discovery() const noexcept { return m_pDiscovery.get(); }

  // Discovery with the context's USM provider and discovery community
  // (internal protocol, see plugin/protocol_code.h). Codes of
  // CZelDiscovery::find.
  int find_devices(const char* address, int protocol, int32_t mode,
                   const ZelSnmpV3Settings& settings, int32_t timeoutMs,
                   int32_t retries, int32_t* pCount) noexcept;

  // The option object: made by device open and kept even when its Init fails
  // (option queries then reach it); nullptr before the first open. Lent.
  CZelDevCommOption* option() const noexcept { return m_pOption.get(); }
  // Takes over `option` (freed with its destroy()); an earlier option object
  // is destroyed.
  void set_option(CZelDevCommOption* option) noexcept;

  // Device open (internal protocol): a new CZelSorrel5Option becomes the
  // option object at once (the one it replaces is destroyed), the USM
  // provider takes `mode` and `settings`, the option object's Init checks
  // the address and the model. Only when that passes is a new device object
  // made, with the communities set so far, replacing (and freeing) the one
  // of an earlier open. 0; kKalErrNoMemory; Init's status (the earlier
  // device object then stays in place); kKalErrInvalidArg.
  int open_device(const char* address, int protocol, int32_t mode,
                  const ZelSnmpV3Settings& settings, int32_t timeoutMs,
                  int32_t retries) noexcept;

  // The device object of the last successful open; nullptr before. Lent.
  CZelDevice* device() const noexcept { return m_pDevice.get(); }

  // Test seam: the request-object factory handed to the option and device
  // objects that later opens make (null: kal_create_get_data).
  void set_get_data_factory(KalGetDataFactory factory) noexcept {
    m_pfnCreateGetData = factory;
  }

 private:
  KalOwned<CZelDiscovery> m_pDiscovery;
  char m_szFindCommunity[kZelCommunitySize];
  char m_szReadCommunity[kZelCommunitySize];
  char m_szWriteCommunity[kZelCommunitySize];
  KalOwned<IZelPluginUSM> m_pUSM;
  KalOwned<CZelDevCommOption, KalCallDestroy> m_pOption;
  KalOwned<CZelDevice> m_pDevice;
  KalGetDataFactory m_pfnCreateGetData = nullptr;
};

// ZelInit's work: a new, initialised context in *ppContext (set only on
// success). 0; kZelInitNoContext when the context itself cannot be allocated;
// kKalErrNoMemory when a part cannot (nothing is left allocated);
// kKalErrInvalidArg for a null ppContext.
int zel_create_plugin_context(CZelPluginContext** ppContext) noexcept;

#endif  // PLUGIN_PLUGIN_CONTEXT_H_
