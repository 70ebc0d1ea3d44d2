// The diagnostic library libzelprinter-diag.so: it exports what the shipped
// library exports plus ZelLogToStderr and nothing else, and the switch really
// sends the lines of every module to standard error (and stops them again).
// The library runs in a child process whose standard error is a pipe, so the
// test reads exactly what a host's terminal would show.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "log/log.h"
#include "plugin/zel_api.h"

namespace {

constexpr char kLogSwitch[] = "ZelLogToStderr";
// Nothing listens here: a device open fails after one try.
constexpr char kSilentAddress[] = "127.0.13.1";
constexpr char kOffMarker[] = "--- log off ---";
constexpr char kEndMarker[] = "--- end ---";

// "<type> <mangled name>" of every defined dynamic symbol of `library`.
std::set<std::string> exported_symbols(const std::string& library) {
  std::set<std::string> out;
  const std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char line[4096];
  while (fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    const size_t first = text.find(' ');
    if (first == std::string::npos || first + 3 > text.size()) continue;
    out.insert(text.substr(first + 1));
  }
  EXPECT_EQ(0, pclose(pipe)) << command;
  return out;
}

TEST(DiagLibrary, ExportsTheShippedSetAndTheLogSwitch) {
  const std::set<std::string> shipped = exported_symbols(ZEL_LIBRARY_PATH);
  const std::set<std::string> diag = exported_symbols(ZEL_DIAG_LIBRARY_PATH);
  ASSERT_GE(shipped.size(), 38u);
  const std::string log_switch = std::string("T ") + kLogSwitch;
  EXPECT_EQ(0u, shipped.count(log_switch))
      << "the shipped library must not carry the log switch";
  std::set<std::string> expected = shipped;
  expected.insert(log_switch);
  for (const std::string& s : diag) {
    EXPECT_EQ(1u, expected.count(s))
        << "exported only by the diagnostic library: " << s;
  }
  for (const std::string& s : expected) {
    EXPECT_EQ(1u, diag.count(s))
        << "missing from the diagnostic library: " << s;
  }
}

// Exit codes of the child, so that a failure names its step.
enum ChildExit : int {
  kChildOk = 0,
  kChildNoLibrary = 10,
  kChildNoSymbol,
  kChildBadMaskAccepted,
  kChildSwitchFailed,
  kChildInitFailed,
  kChildOpenSucceeded,
  kChildSwitchOffFailed,
};

template <class F>
F symbol(void* handle, const char* name) {
  return reinterpret_cast<F>(dlsym(handle, name));
}

void say(const char* text) {
  const std::string line = std::string(text) + "\n";
  (void)!write(STDERR_FILENO, line.data(), line.size());
}

// In the child: every module logs a failing device open; after the switch is
// off, the same failure writes nothing.
[[noreturn]] void child_main() {
  void* lib = dlopen(ZEL_DIAG_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!lib) _exit(kChildNoLibrary);
  auto log_switch = symbol<int32_t (*)(uint32_t)>(lib, kLogSwitch);
  auto init = symbol<decltype(&ZelInit)>(lib, "ZelInit");
  auto uninit = symbol<decltype(&ZelUnInit)>(lib, "ZelUnInit");
  auto open = symbol<decltype(&ZelInitDevice)>(lib, "ZelInitDevice");
  if (!log_switch || !init || !uninit || !open) _exit(kChildNoSymbol);
  if (log_switch(kKalLogAll + 1) != -2) _exit(kChildBadMaskAccepted);
  if (log_switch(kKalLogAll) != 0) _exit(kChildSwitchFailed);
  ZelContext* ctx = nullptr;
  if (init(&ctx) != 0) _exit(kChildInitFailed);
  if (open(ctx, kSilentAddress, 1, 100, 0) == 0) _exit(kChildOpenSucceeded);
  if (log_switch(0) != 0) _exit(kChildSwitchOffFailed);
  say(kOffMarker);
  if (open(ctx, kSilentAddress, 1, 100, 0) == 0) _exit(kChildOpenSucceeded);
  // On again and off again: a second attachment must not double the lines.
  log_switch(kKalLogError);
  log_switch(0);
  uninit(ctx);
  say(kEndMarker);
  _exit(kChildOk);
}

struct ChildRun {
  int exit_code = -1;
  std::string err;
};

ChildRun run_child() {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    child_main();
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0)
    run.err.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exit_code = WEXITSTATUS(status);
  }
  return run;
}

// The module column of a log line: "<time>, <pid>, <tid>, <module>, ...",
// the module padded to 16 characters. Empty for any other line.
std::string module_of(const std::string& line) {
  size_t pos = 0;
  for (int field = 0; field < 3; ++field) {
    pos = line.find(", ", pos);
    if (pos == std::string::npos) return "";
    pos += 2;
  }
  if (pos + 16 > line.size()) return "";
  std::string module = line.substr(pos, 16);
  while (!module.empty() && module.back() == ' ') module.pop_back();
  return module;
}

TEST(DiagLibrary, LogSwitchWritesEveryModuleToStderrAndStops) {
  const ChildRun run = run_child();
  ASSERT_EQ(kChildOk, run.exit_code) << "child stderr:\n" << run.err;

  std::set<std::string> modules_on;
  std::vector<std::string> lines_off;
  bool off = false, ended = false;
  std::istringstream in(run.err);
  std::string line;
  while (std::getline(in, line)) {
    if (line == kOffMarker) {
      off = true;
      continue;
    }
    if (line == kEndMarker) {
      ended = true;
      continue;
    }
    if (off) {
      lines_off.push_back(line);
    } else {
      const std::string module = module_of(line);
      if (!module.empty()) modules_on.insert(module);
    }
  }
  ASSERT_TRUE(off && ended) << run.err;
  for (const char* m : {"Zel", "snmp", "socket"}) {
    EXPECT_EQ(1u, modules_on.count(m)) << "no line of module " << m << " in:\n"
                                       << run.err;
  }
  // The failing step is logged at level Error.
  EXPECT_NE(std::string::npos, run.err.find("Error, ")) << run.err;
  EXPECT_TRUE(lines_off.empty()) << "lines after the switch went off:\n"
                                 << lines_off.front();
}

}  // namespace
