// Encode and decode of one Response of 10 mixed bindings (three 20-octet
// strings, four integers, two object identifiers, one Counter32) with our
// codec and with Net-SNMP's snmp_build and snmp_parse, in one binary. Each
// side starts from its own PDU object and ends with octets (encode) or from
// octets to its own PDU object (decode). Our decode reuses one PDU, as the
// request session does; Net-SNMP's parse makes a new PDU each time, as its
// sessions do. Net-SNMP's parse gives identifiers as arrays of numbers; ours
// are dotted text, written from the received octets when first read
// (BM_OurDecodeAndReadNames counts that as well).
//
// Run (Release, a quiet machine gives steadier figures):
//   cmake -S . -B build/perf -DCMAKE_BUILD_TYPE=Release -DZEL_BENCHMARKS=ON
//   cmake --build build/perf --target codec_benchmark
//   build/perf/benchmarks/codec_benchmark --benchmark_repetitions=10
//       --benchmark_min_time=1 --benchmark_report_aggregates_only=true
//   (one command line)
// Instructions per call, which a loaded machine does not disturb: run one
// benchmark under callgrind collecting only inside the measured call, and
// divide the collected count by the calls of that function, e.g.
//   valgrind --tool=callgrind --toggle-collect='*CKasCodecService::encode*'
//       codec_benchmark --benchmark_filter='^BM_OurEncode$'
//   callgrind_annotate --inclusive=yes --tree=caller callgrind.out.<pid>
// (Net-SNMP's side: snmp_build; snmp_parse with snmp_free_pdu.)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "snmp/codec_netsnmp_util.h"

namespace {

using namespace codecbridge;  // NOLINT

void BM_OurEncode(benchmark::State& state) {
  const Message m = response_of_ten();
  KalOwned<IKasPdu> pdu(our_pdu(m));
  KalOwned<IKasSnmpTarget> target(codectest::make_target(m.version, m.community.c_str(), 1472));
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  IKasCodecService* codec = kas_codec_service();
  for (auto _ : state) {
    if (codec->encode(pdu.get(), target.get(), buffer.get()) != kKalOk) std::abort();
    benchmark::DoNotOptimize(buffer->data());
  }
}
BENCHMARK(BM_OurEncode);

void BM_NetSnmpBuild(benchmark::State& state) {
  netsnmp_bridge_init();
  const Message m = response_of_ten();
  Session session(m);
  netsnmp_pdu* pdu = netsnmp_pdu_of(m);
  size_t size = 1472;
  u_char* buf = static_cast<u_char*>(malloc(size));
  for (auto _ : state) {
    size_t offset = 0;
    if (snmp_build(&buf, &size, &offset, &session.s, pdu) != 0) std::abort();
    benchmark::DoNotOptimize(buf);
  }
  free(buf);
  snmp_free_pdu(pdu);
}
BENCHMARK(BM_NetSnmpBuild);

Bytes message_bytes() {
  const Message m = response_of_ten();
  KalOwned<IKasPdu> pdu(our_pdu(m));
  KalOwned<IKasSnmpTarget> target(our_target(m));
  return codectest::encode(pdu.get(), target.get());
}

void BM_OurDecode(benchmark::State& state) {
  const Bytes msg = message_bytes();
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  IKasCodecService* codec = kas_codec_service();
  CKasMessageView view(msg.data(), msg.size());
  // The first decode makes the bindings; later ones reuse them.
  if (codec->decode(&view, pdu.get(), target.get(), kKasTargetCommunity) != kKalOk) std::abort();
  const long before = kal_alloc_hook::g_calls.load();
  for (auto _ : state) {
    if (codec->decode(&view, pdu.get(), target.get(), kKasTargetCommunity) != kKalOk) {
      std::abort();
    }
    benchmark::DoNotOptimize(pdu.get());
  }
  state.counters["kal_new_per_decode"] =
      static_cast<double>(kal_alloc_hook::g_calls.load() - before) /
      static_cast<double>(state.iterations());
}
BENCHMARK(BM_OurDecode);

// The decode above leaves received identifiers as their BER octets until
// their text is first read. This one also reads every binding's name and
// identifier value as text, as a walk does, so that the conversion to text
// is counted too.
void BM_OurDecodeAndReadNames(benchmark::State& state) {
  const Bytes msg = message_bytes();
  KalOwned<IKasPdu> pdu(kas_create_pdu());
  KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
  IKasCodecService* codec = kas_codec_service();
  CKasMessageView view(msg.data(), msg.size());
  for (auto _ : state) {
    if (codec->decode(&view, pdu.get(), target.get(), kKasTargetCommunity) != kKalOk) {
      std::abort();
    }
    const IKasVarBindList* list = pdu->get_bindings();
    size_t total = 0;
    for (size_t i = 0; i < list->count(); ++total, ++i) {
      total += list->at(i)->get_oid()->text_length();
      if (const IKasOid* v = list->at(i)->get_value()->as_oid()) total += v->text_length();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_OurDecodeAndReadNames);

void BM_NetSnmpParse(benchmark::State& state) {
  netsnmp_bridge_init();
  const Message m = response_of_ten();
  Session session(m);
  Bytes msg = message_bytes();
  for (auto _ : state) {
    netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
    if (snmp_parse(nullptr, &session.s, pdu, msg.data(), msg.size()) != 0) std::abort();
    benchmark::DoNotOptimize(pdu);
    snmp_free_pdu(pdu);
  }
}
BENCHMARK(BM_NetSnmpParse);

}  // namespace

BENCHMARK_MAIN();
