// "--version": zelctl's own version, then the plug-in library's. The exported
// interface reports no version, so the library is named by its soname; a
// library that cannot be loaded is said so, and zelctl's version still shows.
#include <cstdio>

#include "tools/zelctl/commands.h"
#include "tools/zelctl/outcome.h"
#include "tools/zelctl/plugin_library.h"
#include "tools/zelctl/status_text.h"

#ifndef ZELCTL_VERSION
#define ZELCTL_VERSION "unknown"
#endif

namespace zelctl {

int run_version(const Options& o) {
  PluginLibrary library;
  std::string error;
  const bool loaded = library.open(o.library, &error, o.log);
  const std::string soname = loaded ? library.soname() : "";
  const int rc = loaded ? kExitOk : kExitLibrary;
  if (o.json) {
    Json doc = outcome_json(loaded ? 0 : kNoPluginStatus, rc, loaded ? "ok" : error);
    doc["zelctl_version"] = ZELCTL_VERSION;
    doc["library"] = loaded ? Json{{"path", library.path()},
                                   {"version", nullptr},
                                   {"soname", soname.empty() ? Json(nullptr) : Json(soname)}}
                            : Json(nullptr);
    std::fputs(dump_json(doc).c_str(), stdout);
  } else {
    std::printf("zelctl %s\n", ZELCTL_VERSION);
    if (loaded) {
      std::printf("plug-in library %s (%s; it reports no version of its own)\n",
                  library.path().c_str(),
                  soname.empty() ? "no soname" : ("soname " + soname).c_str());
    }
  }
  if (!loaded) std::fprintf(stderr, "zelctl: %s\n", error.c_str());
  return rc;
}

}  // namespace zelctl
