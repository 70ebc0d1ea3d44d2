// Test support: every exported function of a built plug-in library, bound
// with dlopen/dlsym by name as a host binds them. The members carry the
// exports' names, so a fixture that derives from LibraryApi calls them as a
// host's code does.
#ifndef PLUGIN_LIBRARY_API_TEST_UTIL_H_
#define PLUGIN_LIBRARY_API_TEST_UTIL_H_

#include <dlfcn.h>

#include <string>

#include "plugin/zel_api.h"

namespace zeltest {

// clang-format off
#define ZEL_EXPORTED_FUNCTIONS(X)                                                      \
  X(ZelInit) X(ZelUnInit) X(ZelCommandString) X(ZelCommandInteger)                     \
  X(ZelFindDeviceSNMP) X(ZelFindDeviceSNMPEx) X(ZelFindAddFilter) X(ZelFindClearFilter) \
  X(ZelFindResetPosition) X(ZelGetDeviceNext) X(ZelInitDevice) X(ZelInitDeviceEx)      \
  X(ZelIsSupportedOID) X(ZelRefreshOptions) X(ZelGetOptionValueBoolean)                \
  X(ZelGetOptionValueInteger) X(ZelGetOptionValueUInteger) X(ZelGetOptionValueString)  \
  X(ZelTransportAvailable) X(ZelGetNumberOfStorageInfo) X(ZelGetStorageInfo)           \
  X(ZelGetNumberOfDeviceInfo) X(ZelGetDeviceInfo) X(ZelGetPrinterInfo)                 \
  X(ZelGetNumberOfInputTrayInfo) X(ZelGetInputTrayInfo)                                \
  X(ZelGetNumberOfInputTrayInfoEx) X(ZelGetInputTrayInfoEx)                            \
  X(ZelGetNumberOfOutputTrayInfo) X(ZelGetOutputTrayInfo) X(ZelGetNumberOfTonerInfo)   \
  X(ZelGetTonerInfo) X(ZelGetNumberOfAlertInfo) X(ZelGetAlertInfo)                     \
  X(ZelGetNumberOfJobInfo) X(ZelGetJobInfo) X(ZelCancelJob) X(ZelGetCharSet)
// clang-format on

struct LibraryApi {
#define ZEL_MEMBER(name) decltype(&::name) name = nullptr;
  ZEL_EXPORTED_FUNCTIONS(ZEL_MEMBER)
#undef ZEL_MEMBER

  // Binds every export of the library at `path` (loaded once per path and
  // kept, as a host keeps it). False, with the reason, when the library or
  // a name is missing.
  bool load(const char* path, std::string* error) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* why = dlerror();
      *error = why ? why : "dlopen failed";
      return false;
    }
#define ZEL_BIND(name)                                               \
  name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (!name) {                                                       \
    *error = "missing export " #name;                                \
    return false;                                                    \
  }
    ZEL_EXPORTED_FUNCTIONS(ZEL_BIND)
#undef ZEL_BIND
    return true;
  }
};

}  // namespace zeltest

#endif  // PLUGIN_LIBRARY_API_TEST_UTIL_H_
