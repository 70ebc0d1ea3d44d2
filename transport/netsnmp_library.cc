#include "transport/netsnmp_library.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmpusm.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "common/secret.h"
#include "common/status.h"
#include "common/text_copy.h"
#include "log/log.h"
#include "transport/socket_api.h"

// The MIB parser's table of textual conventions (parse.c). Debian's 5.9
// library allocates it anew in every set-up and never frees it: 4,800 bytes
// lost per SNMPv3 operation. Its type is private to the library; only the
// pointer is touched here.
extern "C" {
extern void* tclist;
}

namespace {

std::mutex& library_lock() {
  static std::mutex lock;
  return lock;
}

std::atomic<long> g_setups{0};

// The library's log messages (parse warnings and the like) belong in our
// log, never on the host's stderr.
int forward_library_log(int /*major*/, int /*minor*/, void* server_arg, void* /*client_arg*/) {
  const auto* message = static_cast<const snmp_log_message*>(server_arg);
  if (message && message->msg) {
    kal_log(kKalModuleSnmp, kKalLogDebug, "netsnmp: %.*s",
            static_cast<int>(strcspn(message->msg, "\n")), message->msg);
  }
  return 0;
}

// The library's default store is cleared by every shut-down, so these are
// set again before every set-up.
void configure_library() {
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  // The library would otherwise create <persistent dir>/cert_indexes on
  // set-up. No folder can be made below /dev/null, so nothing is written.
  netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, "/dev/null");
  // Identifiers are numeric: without MIB folders the set-up reads no MIB
  // files (with them it costs about 100 ms and writes MIB indexes).
  netsnmp_set_mib_directory("");
  netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
  snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, forward_library_log,
                         nullptr);
}

// The users that the sessions of this operation made (engine-ID discovery
// turns a session's keys into a user with keys localised to the agent) are
// freed by the shut-down; their keys are wiped first.
void wipe_user_keys() {
  for (usmUser* user = usm_get_userList(); user; user = user->next) {
    kal_wipe(user->authKey, user->authKeyLen);
    kal_wipe(user->authKeyKu, user->authKeyKuLen);
    kal_wipe(user->privKey, user->privKeyLen);
    kal_wipe(user->privKeyKu, user->privKeyKuLen);
  }
}

}  // namespace

NetSnmpLibraryScope::NetSnmpLibraryScope()
    : hold_(library_lock()), status_(NKalSocketAPI::bind_and_start_v22()) {
  if (status_ != kKalOk) return;
  g_setups.fetch_add(1, std::memory_order_relaxed);
  // init_snmp() switches LC_CTYPE to the environment's locale; the host's
  // locale is not ours to change.
  char saved_locale[256] = "";
  const char* current = setlocale(LC_CTYPE, nullptr);
  const bool restore = current && strlen(current) < sizeof saved_locale;
  if (restore) kal_copy_text(saved_locale, current);
  configure_library();
  init_snmp("");
  if (restore) setlocale(LC_CTYPE, saved_locale);
}

NetSnmpLibraryScope::~NetSnmpLibraryScope() {
  if (status_ != kKalOk) return;
  wipe_user_keys();
  snmp_shutdown("");
  // The shut-down emptied the table; the next set-up allocates a new one.
  free(tclist);
  tclist = nullptr;
  NKalSocketAPI::stop();
}

long NetSnmpLibraryScope::setups() { return g_setups.load(std::memory_order_relaxed); }

int kas_netsnmp_log_error(const char* call, snmp_session* session) {
  if (!session) return 0;
  int sys_errno = 0;
  int snmp_errno = 0;
  char* text = nullptr;
  snmp_error(session, &sys_errno, &snmp_errno, &text);
  if (text && *text) {
    kal_log(kKalModuleSnmp, kKalLogError, "%s(): ErrNo = %d, SnmpErrNo = %d, %s", call, sys_errno,
            snmp_errno, text);
  } else {
    kal_log(kKalModuleSnmp, kKalLogError, "%s(): unknown", call);
  }
  free(text);
  return snmp_errno;
}
