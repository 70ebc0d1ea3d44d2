// Test helpers for discovery through the built plug-in library: the exported
// functions bound with dlopen/dlsym as a host binds them, a context per test,
// the whole found-device list read in order, and recordings laid out for
// snmpsimd (one folder per agent, community = file name).
#ifndef PLUGIN_DISCOVERY_TEST_UTIL_H_
#define PLUGIN_DISCOVERY_TEST_UTIL_H_

#include <chrono>
#include <string>
#include <vector>

#include "plugin/library_api_test_util.h"
#include "plugin/zel_api.h"
#include "testing/snmpsim_agent.h"

namespace zeltest {

inline constexpr char kSupportedOid[] = "1.3.6.1.4.1.61802.1.11.93.1.37.22.4";
inline constexpr char kSupportedModel[] = "Ferrowyn M870";
// The community the device finder sends when the host sets none.
inline constexpr char kDefaultFindCommunity[] = "vorovo";

// The exports of the library at ZEL_LIBRARY_PATH, bound once and kept for
// the process, as a host keeps them; `error` says why binding failed.
struct ZelDiscoveryApi : LibraryApi {
  std::string error;

  static const ZelDiscoveryApi& get() {
    static const ZelDiscoveryApi api = [] {
      ZelDiscoveryApi a;
      a.load(ZEL_LIBRARY_PATH, &a.error);
      return a;
    }();
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
    if (api.ZelGetDeviceNext(context, address, model, &flag, oid) != 1) break;
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
