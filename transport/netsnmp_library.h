// Net-SNMP's library set-up and shut-down around one SNMPv3 operation, and
// the error logger for failed library calls.
//
// Debian's build keeps the library's global state (its session list, users,
// transports, default store) per process, not per thread, and
// snmp_shutdown() closes every session of the process. So every SNMPv3
// operation holds one process-wide lock from its set-up, through its
// exchanges, to its shut-down: two operations never overlap, whatever thread
// they run on.
//
// The set-up is kept cheap and side-effect free: no configuration files, no
// MIB files, no persistent state read or written, library log messages sent
// to our log (module "snmp", Debug) instead of stderr, and the host's
// LC_CTYPE locale restored after the library's own setlocale().
#ifndef TRANSPORT_NETSNMP_LIBRARY_H_
#define TRANSPORT_NETSNMP_LIBRARY_H_

#include <mutex>

struct snmp_session;

// Holds the process-wide lock and a fresh library state for its scope.
//
//   NetSnmpLibraryScope library;
//   if (library.status() != kKalOk) return library.status();
//   ... snmp_open, snmp_synch_response, snmp_close ...
class NetSnmpLibraryScope {
 public:
  NetSnmpLibraryScope();
  ~NetSnmpLibraryScope();
  NetSnmpLibraryScope(const NetSnmpLibraryScope&) = delete;
  NetSnmpLibraryScope& operator=(const NetSnmpLibraryScope&) = delete;

  // 0, or the socket library's start-up failure (then the library was not
  // set up and nothing may be called in it).
  int status() const { return status_; }

  // Set-ups so far in this process (tests check the bracket).
  static long setups();

 private:
  std::unique_lock<std::mutex> hold_;
  int status_;
};

// Logs the session's last library error after a failed call `call`:
// "%s(): ErrNo = %d, SnmpErrNo = %d, %s" at Error, or "%s(): unknown" when
// the library has no text. Answers the library error number (0 when the
// session is null). Must run inside a NetSnmpLibraryScope.
int kas_netsnmp_log_error(const char* call, snmp_session* session);

#endif  // TRANSPORT_NETSNMP_LIBRARY_H_
