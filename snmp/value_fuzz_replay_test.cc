// Replays the seed corpora of the value fuzz targets in every build, so the
// fuzzers' invariants stay checked without libFuzzer (a broken invariant
// aborts the test).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int kas_oid_text_fuzz_one(const uint8_t* data, size_t size);
extern "C" int kas_value_text_fuzz_one(const uint8_t* data, size_t size);
extern "C" int kas_value_index_fuzz_one(const uint8_t* data, size_t size);

namespace {

size_t replay(const char* name, int (*one)(const uint8_t*, size_t)) {
  const std::filesystem::path dir = std::filesystem::path(ZEL_SOURCE_DIR) / "fuzz/corpus" / name;
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(one(bytes.data(), bytes.size()), 0);
    ++files;
  }
  return files;
}

TEST(ValueFuzzCorpus, OidText) { EXPECT_GT(replay("oid_text_fuzzer", kas_oid_text_fuzz_one), 0u); }
TEST(ValueFuzzCorpus, ValueText) {
  EXPECT_GT(replay("value_text_fuzzer", kas_value_text_fuzz_one), 0u);
}
TEST(ValueFuzzCorpus, ValueIndex) {
  EXPECT_GT(replay("value_index_fuzzer", kas_value_index_fuzz_one), 0u);
}

}  // namespace
