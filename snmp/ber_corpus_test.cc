// Replays every seed of the decoder and peek fuzzers through the decoder in
// every build, so the corpora stay a regression suite without libFuzzer.
// Each file must give a documented status; decoded ones must survive a
// round trip.
#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "snmp/codec_test_util.h"

namespace {

using codectest::Bytes;

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') out.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
  }
  return out;
}

class CorpusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusTest, EverySeedDecodesSafely) {
  const auto files = files_in(std::string(ZEL_SOURCE_DIR) + "/fuzz/corpus/" + GetParam());
  ASSERT_FALSE(files.empty());
  int decoded = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f);
    std::ifstream in(f, std::ios::binary);
    const Bytes msg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    const int rc = codectest::decode(msg, pdu.get(), target.get());
    EXPECT_TRUE(rc == kKalOk || rc == kKalErrInvalidArg || rc == kKalErrNotSupported ||
                rc == kKasErrUndecodable)
        << rc;
    int32_t es = 0, rid = 0;
    CKasMessageView view(msg.data(), msg.size());
    const int peek = kas_codec_service()->peek(&view, &es, &rid, kKasTargetCommunity);
    if (rc != kKalOk) continue;
    ++decoded;
    EXPECT_EQ(peek, kKalOk);
    target->set_max_message_size(65536);
    int enc = -99;
    const Bytes again = codectest::encode(pdu.get(), target.get(), &enc);
    ASSERT_EQ(enc, kKalOk);
    KalOwned<IKasPdu> pdu2(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target2(kas_create_target(kKasTargetCommunity));
    ASSERT_EQ(codectest::decode(again, pdu2.get(), target2.get()), kKalOk);
    EXPECT_EQ(codectest::dump(pdu2.get(), target2.get()), codectest::dump(pdu.get(), target.get()));
  }
  EXPECT_GT(decoded, 0);
}

INSTANTIATE_TEST_SUITE_P(Codec, CorpusTest,
                         ::testing::Values("ber_decoder_fuzzer", "ber_peek_fuzzer"));

}  // namespace
