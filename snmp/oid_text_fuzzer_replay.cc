// The oid_text fuzz target under another name, so that the corpus replay test can
// link it next to the other targets.
#define LLVMFuzzerTestOneInput kas_oid_text_fuzz_one
#include "snmp/oid_text_fuzzer.cc"  // NOLINT(build/include)
