// The value_text fuzz target under another name, so that the corpus replay test can
// link it next to the other targets.
#define LLVMFuzzerTestOneInput kas_value_text_fuzz_one
#include "snmp/value_text_fuzzer.cc"  // NOLINT(build/include)
