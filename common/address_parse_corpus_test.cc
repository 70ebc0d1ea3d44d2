// Replays the address fuzzer's seed corpus in every build, so the seeds stay
// a regression suite without libFuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(AddressParseCorpus, EverySeedKeepsTheInvariants) {
  const std::filesystem::path dir =
      std::filesystem::path(ZEL_SOURCE_DIR) / "fuzz/corpus/address_parse_fuzzer";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
    ++seeds;
  }
  EXPECT_GT(seeds, 5);
}
