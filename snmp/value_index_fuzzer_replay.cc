// The value_index fuzz target under another name, so that the corpus replay test can
// link it next to the other targets.
#define LLVMFuzzerTestOneInput kas_value_index_fuzz_one
#include "snmp/value_index_fuzzer.cc"  // NOLINT(build/include)
