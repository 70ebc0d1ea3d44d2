// One run's connection to the plug-in: the loaded library, a context from
// ZelInit (freed with ZelUnInit), the communities and the log switch taken
// from the command line.
#ifndef TOOLS_ZELCTL_SESSION_H_
#define TOOLS_ZELCTL_SESSION_H_

#include <string>

#include "tools/zelctl/cli.h"
#include "tools/zelctl/plugin_library.h"

namespace zelctl {

class Session {
 public:
  Session() = default;
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the library and makes a context. Answers an exit code (0 on
  // success) and prints the reason of a failure on standard error and, with
  // --json, the outcome document on standard output.
  int start(const Options& options);

  const ZelApi& api() const { return library_.api(); }
  ZelContext* context() const { return context_; }
  const std::string& library_path() const { return library_.path(); }
  // Why start() failed, as printed, and the plug-in status of it (-1 when
  // the failure has none, such as a library that does not load).
  const std::string& failure() const { return failure_; }
  int32_t failure_status() const { return failure_status_; }
  // False when --log was given and the library exports no log switch.
  bool log_available() const { return log_available_; }

 private:
  PluginLibrary library_;
  ZelContext* context_ = nullptr;
  bool log_available_ = true;
  std::string failure_;
  int32_t failure_status_ = -1;
};

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_SESSION_H_
