// The plug-in as a host sees it: the shared library opened with dlopen and
// every exported function the command-line host uses, looked up by name.
// Nothing here links against the library; the records and function types come
// from the public header only.
#ifndef TOOLS_ZELCTL_PLUGIN_LIBRARY_H_
#define TOOLS_ZELCTL_PLUGIN_LIBRARY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/zel_api.h"

namespace zelctl {

// The exported name of the optional log switch: int32_t (uint32_t mask) that
// sends the library's log lines of the levels in `mask` to standard error
// (0 turns them off). Builds that export no such function run without it.
inline constexpr char kLogSwitchSymbol[] = "ZelLogToStderr";
using ZelLogToStderrFn = int32_t (*)(uint32_t mask);

// Function pointers of the exported interface, filled by PluginLibrary::open.
struct ZelApi {
#define ZELCTL_API_FUNCTION(name) decltype(&::name) name = nullptr;
#include "tools/zelctl/api_functions.inc"
#undef ZELCTL_API_FUNCTION
  ZelLogToStderrFn log_to_stderr = nullptr;  // optional
};

// Names of the functions in ZelApi, in declaration order.
const std::vector<std::string>& api_function_names();

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Opens `path` (or, when empty, the first of default_library_paths() that
  // exists; with `diagnostic`, of the diagnostic library that carries the log
  // switch) and resolves every function. On failure answers false and a
  // one-line reason in *error.
  bool open(const std::string& path, std::string* error,
            bool diagnostic = false);
  const ZelApi& api() const { return api_; }
  const std::string& path() const { return path_; }
  // The loaded library's soname (DT_SONAME), or "" when it has none or
  // nothing is loaded.
  std::string soname() const;

 private:
  void* handle_ = nullptr;
  ZelApi api_;
  std::string path_;
};

// Where the library is looked for when --library is not given, relative to
// the folder of the running program: the build tree (../plugin), the same
// folder, an installed tree (../lib); last the bare soname for the dynamic
// loader's own search. With `diagnostic` (zelctl --log) the same places hold
// libzelprinter-diag.so instead.
inline constexpr char kDiagnosticLibraryName[] = "libzelprinter-diag.so";
std::vector<std::string> default_library_paths(const std::string& exe_dir,
                                               bool diagnostic = false);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_PLUGIN_LIBRARY_H_
