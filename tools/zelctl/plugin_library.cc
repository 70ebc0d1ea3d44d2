#include "tools/zelctl/plugin_library.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace zelctl {
namespace {

#ifndef ZELCTL_LIBRARY_SONAME
#define ZELCTL_LIBRARY_SONAME "libzelprinter.so.0"
#endif

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

const std::vector<std::string>& api_function_names() {
  static const std::vector<std::string> names = {
#define ZELCTL_API_FUNCTION(name) #name,
#include "tools/zelctl/api_functions.inc"
#undef ZELCTL_API_FUNCTION
  };
  return names;
}

std::vector<std::string> default_library_paths(const std::string& exe_dir,
                                               bool diagnostic) {
  const std::string so =
      diagnostic ? kDiagnosticLibraryName : ZELCTL_LIBRARY_SONAME;
  // The build tree, beside the program, the install's library folder (also a
  // multiarch one such as lib/x86_64-linux-gnu), then the loader's search.
  return {exe_dir + "/../../plugin/" + so, exe_dir + "/../plugin/" + so,
          exe_dir + "/" + so, exe_dir + "/../" ZELCTL_INSTALL_LIBDIR "/" + so,
          exe_dir + "/../lib/" + so, so};
}

PluginLibrary::~PluginLibrary() {
  // The library stays loaded until the process ends: a library that started
  // anything of its own must not lose its code under it.
  handle_ = nullptr;
}

std::string PluginLibrary::soname() const {
  if (!handle_) return "";
  link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_ld) return "";
  const char* strings = nullptr;
  const ElfW(Dyn)* name = nullptr;
  // The dynamic section ends with DT_NULL; the bound only guards a broken one.
  for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL && d - map->l_ld < 4096; ++d) {
    if (d->d_tag == DT_STRTAB) strings = reinterpret_cast<const char*>(d->d_un.d_ptr);
    if (d->d_tag == DT_SONAME) name = d;
  }
  if (!strings || !name) return "";
  // The loader relocates DT_STRTAB on most targets; where it does not, the
  // value is still relative to the load address.
  if (reinterpret_cast<ElfW(Addr)>(strings) < map->l_addr) strings += map->l_addr;
  return std::string(strings + name->d_un.d_val);
}

bool PluginLibrary::open(const std::string& path, std::string* error,
                         bool diagnostic) {
  std::string chosen = path;
  if (chosen.empty()) {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe_dir = ".";
    if (n > 0) {
      exe_dir.assign(buf, static_cast<size_t>(n));
      exe_dir = exe_dir.substr(0, exe_dir.find_last_of('/'));
    }
    const auto candidates = default_library_paths(exe_dir, diagnostic);
    chosen = candidates.back();
    for (const auto& c : candidates) {
      if (file_exists(c)) {
        chosen = c;
        break;
      }
    }
  }
  handle_ = dlopen(chosen.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    *error = "cannot load the plug-in " + chosen + ": " + (why ? why : "unknown reason");
    return false;
  }
  // A bare soname is found by the dynamic loader (an installed package keeps
  // the library in the system's library folder, not beside the program): ask
  // the loader which file it opened.
  std::string loaded = chosen;
  struct link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
      map->l_name[0] == '/') {
    loaded = map->l_name;
  }
  char resolved[4096];
  path_ = realpath(loaded.c_str(), resolved) ? std::string(resolved) : loaded;
  bool ok = true;
  std::string missing;
#define ZELCTL_API_FUNCTION(name)                                             \
  api_.name = reinterpret_cast<decltype(api_.name)>(dlsym(handle_, #name));   \
  if (!api_.name) {                                                           \
    ok = false;                                                               \
    missing += missing.empty() ? #name : ", " #name;                          \
  }
#include "tools/zelctl/api_functions.inc"
#undef ZELCTL_API_FUNCTION
  api_.log_to_stderr = reinterpret_cast<ZelLogToStderrFn>(dlsym(handle_, kLogSwitchSymbol));
  if (!ok) {
    *error = "the plug-in " + chosen + " does not export " + missing;
    return false;
  }
  return true;
}

}  // namespace zelctl
