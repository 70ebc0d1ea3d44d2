// Latency of one SNMPv3 get (authPriv, HMAC-SHA1 + AES) against Net-SNMP's
// own agent on 127.0.8.20:161:
//   - through our SNMPv3 session (library set-up, key localisation,
//     engine discovery, exchange and shut-down, all per operation);
//   - Net-SNMP's `snmpget -v3` as a whole process on the same agent;
//   - the library set-up and shut-down alone, and the two key derivations
//     (generate_Ku) alone, to show where the time goes.
// Build with -DZEL_BENCHMARKS=ON; snmpd and snmpget must be installed.
#include <benchmark/benchmark.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/network_address.h"
#include "common/owned.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"
#include "testing/snmpd_agent.h"
#include "transport/netsnmp_library.h"
#include "transport/request_session_base.h"

namespace {

constexpr char kAgent[] = "127.0.8.20";
constexpr char kSysDescr[] = "1.3.6.1.2.1.1.1.0";
constexpr char kUser[] = "benchuser";
constexpr char kAuthPass[] = "benchauthpass";
constexpr char kPrivPass[] = "benchprivpass";

IKasUsmTarget* make_target() {
  IKasUsmTarget* target = kas_create_usm_target();
  target->set_version(kKasVersion3);
  target->set_timeout(1000);
  target->set_retries(1);
  KalOwned<IKalNetworkAddress> a(kal_create_network_address(kAgent, IKalNetworkAddress::IPv4, 161));
  target->set_address(a.get());
  target->set_security_name(kUser);
  target->set_security_level(2);
  target->set_auth_protocol(2);
  target->set_priv_protocol(2);
  target->set_auth_passphrase(kAuthPass);
  target->set_priv_passphrase(kPrivPass);
  return target;
}

void BM_V3GetThroughSession(benchmark::State& state) {
  KalOwned<IKasRequestSession> session(kas_create_v3_request_session());
  KalOwned<IKasUsmTarget> target(make_target());
  for (auto _ : state) {
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    pdu->set_type(0);
    pdu->append_pair(kas_create_oid_from_text(kSysDescr), nullptr);
    if (session->send_sync(pdu.get(), target.get()) != kKalOk) {
      state.SkipWithError("SNMPv3 get failed");
      break;
    }
  }
}
BENCHMARK(BM_V3GetThroughSession)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_V3GetSnmpgetProcess(benchmark::State& state) {
  const std::vector<std::string> args = {
      "snmpget", "-v3",    "-l", "authPriv", "-u",    kUser,         "-a",     "SHA",
      "-A",      kAuthPass, "-x", "AES",     "-X",    kPrivPass,     "-r",     "1",
      "-t",      "1",      "-Oqv", kAgent,    kSysDescr};
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto _ : state) {
    const pid_t pid = fork();
    if (pid == 0) {
      freopen("/dev/null", "w", stdout);
      execvp("snmpget", argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("snmpget failed");
      break;
    }
  }
}
BENCHMARK(BM_V3GetSnmpgetProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_V3LibrarySetUpAndShutDown(benchmark::State& state) {
  for (auto _ : state) {
    NetSnmpLibraryScope library;
    benchmark::DoNotOptimize(library.status());
  }
}
BENCHMARK(BM_V3LibrarySetUpAndShutDown)->Unit(benchmark::kMicrosecond);

void BM_V3KeyDerivationsSha(benchmark::State& state) {
  NetSnmpLibraryScope library;
  u_char key[USM_AUTH_KU_LEN];
  for (auto _ : state) {
    for (const char* pass : {kAuthPass, kPrivPass}) {
      size_t length = sizeof key;
      generate_Ku(usmHMACSHA1AuthProtocol, OID_LENGTH(usmHMACSHA1AuthProtocol),
                  reinterpret_cast<const u_char*>(pass), strlen(pass), key, &length);
      benchmark::DoNotOptimize(key);
    }
  }
}
BENCHMARK(BM_V3KeyDerivationsSha)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  zeltest::SnmpdAgent agent;
  std::string error;
  if (!agent.start(kAgent, {{kUser, "SHA", kAuthPass, "AES", kPrivPass, false}}, &error)) {
    fprintf(stderr, "cannot start snmpd: %s\n", error.c_str());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
