// Test helpers for discovery through the built plug-in library: the exported
// functions bound with dlopen/dlsym as a host binds them, a context per test,
// the whole found-device list read in order, and recordings laid out for
// snmpsimd (one folder per agent, community = file name).
#ifndef PLUGIN_DISCOVERY_TEST_UTIL_H_
#define PLUGIN_DISCOVERY_TEST_UTIL_H_

#include <dlfcn.h>

#include <chrono>
#include <string>
#include <vector>

#include "plugin/zel_api.h"
#include "testing/snmpsim_agent.h"

namespace zeltest {

inline constexpr char kSupportedOid[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";
inline constexpr char kSupportedModel[] = "Ferrowyn M870";
// The community the device finder sends when the host sets none.
inline constexpr char kDefaultFindCommunity[] = "vorovo";

// The discovery functions of the library at ZEL_LIBRARY_PATH, loaded once
// and kept for the process, as a host keeps it.
struct ZelDiscoveryApi {
  decltype(&::ZelInit) Init = nullptr;
  decltype(&::ZelUnInit) UnInit = nullptr;
  decltype(&::ZelCommandString) CommandString = nullptr;
  decltype(&::ZelFindDeviceSNMP) FindDeviceSNMP = nullptr;
  decltype(&::ZelFindDeviceSNMPEx) FindDeviceSNMPEx = nullptr;
  decltype(&::ZelFindAddFilter) FindAddFilter = nullptr;
  decltype(&::ZelFindClearFilter) FindClearFilter = nullptr;
  decltype(&::ZelFindResetPosition) FindResetPosition = nullptr;
  decltype(&::ZelGetDeviceNext) GetDeviceNext = nullptr;
  std::string error;  // why loading failed, "" when every name was found

  static const ZelDiscoveryApi& get() {
    static const ZelDiscoveryApi api = load();
    return api;
  }

 private:
  template <class F>
  static void bind(void* library, const char* name, F* out,
                   std::string* error) {
    *out = reinterpret_cast<F>(dlsym(library, name));
    if (!*out) *error += std::string("missing export ") + name + "; ";
  }
  static ZelDiscoveryApi load() {
    ZelDiscoveryApi api;
    void* library = dlopen(ZEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      api.error = why ? why : "dlopen failed";
      return api;
    }
    bind(library, "ZelInit", &api.Init, &api.error);
    bind(library, "ZelUnInit", &api.UnInit, &api.error);
    bind(library, "ZelCommandString", &api.CommandString, &api.error);
    bind(library, "ZelFindDeviceSNMP", &api.FindDeviceSNMP, &api.error);
    bind(library, "ZelFindDeviceSNMPEx", &api.FindDeviceSNMPEx, &api.error);
    bind(library, "ZelFindAddFilter", &api.FindAddFilter, &api.error);
    bind(library, "ZelFindClearFilter", &api.FindClearFilter, &api.error);
    bind(library, "ZelFindResetPosition", &api.FindResetPosition, &api.error);
    bind(library, "ZelGetDeviceNext", &api.GetDeviceNext, &api.error);
    return api;
  }
};

// One device as ZelGetDeviceNext hands it out.
struct FoundDevice {
  std::string address;
  std::string model;
  std::string oid;
  int flag = -1;
};

// Reads with ZelGetDeviceNext until it answers 0 (at most `limit` devices,
// so that a list that never ends fails the test instead of hanging it).
inline std::vector<FoundDevice> read_found(ZelContext* context,
                                           size_t limit = 1000) {
  const ZelDiscoveryApi& api = ZelDiscoveryApi::get();
  std::vector<FoundDevice> out;
  while (out.size() < limit) {
    char address[ZEL_ADDRESS_SIZE], model[ZEL_MODEL_NAME_SIZE],
        oid[ZEL_OID_TEXT_SIZE];
    uint8_t flag = 0x5a;
    if (api.GetDeviceNext(context, address, model, &flag, oid) != 1) break;
    out.push_back({address, model, oid, flag});
  }
  return out;
}

// A folder for one agent holding `src` as COMMUNITY.snmprec, sysObjectID.0
// rewritten to `oid` unless it is empty. "" when the recording is missing.
inline std::string agent_folder(const std::string& tag, const std::string& src,
                                const std::string& community,
                                const std::string& oid) {
  if (src.empty()) return "";
  const std::string dir = make_temp_dir(tag);
  if (dir.empty() || !write_recording(src, dir, community, oid)) return "";
  return dir;
}

// Milliseconds the callable takes.
template <class F>
long elapsed_ms(F&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start)
          .count());
}

}  // namespace zeltest

#endif  // PLUGIN_DISCOVERY_TEST_UTIL_H_
