// The session's steps one at a time, without sockets: encoding with the
// request-ID rule and the split count, the check of received datagrams,
// decoding into the request, splitting and merging.
#include "transport/request_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "log/capture_output.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/packet.h"
#include "transport/request_id.h"
#include "transport/request_session_test_util.h"

namespace {

using sessiontest::make_pdu;
using sessiontest::make_target;
using sessiontest::names_of;
using sessiontest::oid_of;
using ::testing::HasSubstr;

std::vector<uint8_t> encode_bytes(const IKasPdu* pdu, IKasSnmpTarget* target) {
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  if (kas_codec_service()->encode(pdu, target, buffer.get()) != kKalOk)
    return {};
  return std::vector<uint8_t>(buffer->data(), buffer->base() + buffer->size());
}

// A Response with the given ID and error fields and `n` bindings.
std::vector<uint8_t> response_bytes(int32_t id, int32_t error_status,
                                    int32_t error_index, size_t n) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduResponse, n));
  pdu->set_request_id(id);
  pdu->set_error_status(error_status);
  pdu->set_error_index(error_index);
  KalOwned<IKasSnmpTarget> target(make_target("127.0.0.1", 161, 10, 0));
  return encode_bytes(pdu.get(), target.get());
}

// ---- Split counts ----

struct FragmentsRow {
  const char* name;
  size_t n, k, length, max_size;
  int expected;
};

TEST(RequestSessionFragmentsFor, Table) {
  const FragmentsRow rows[] = {
      {"encoder wrote every binding: halve", 10, 10, 0, 1400, 2},
      {"encoder wrote 3 of 7: ceil(7/3)", 7, 3, 0, 1400, 3},
      {"encoder wrote 5 of 10: exactly 2", 10, 5, 0, 1400, 2},
      {"measured 3000 octets for 1400: 3", 30, 30, 3000, 1400, 3},
      {"measured 2800 octets for 1400: 2", 30, 30, 2800, 1400, 2},
      {"not even one binding fits: no split", 5, 0, 0, 1400, 0},
      {"no bindings: no split", 0, 0, 0, 1400, 0},
      {"no maximum message size: no split", 5, 5, 3000, 0, 0},
  };
  for (const FragmentsRow& row : rows) {
    EXPECT_EQ(
        RequestSession::fragments_for(row.n, row.k, row.length, row.max_size),
        row.expected)
        << row.name;
  }
}

// ---- Encoding ----

// `n` bindings whose values are OCTET STRINGs of `size` octets.
IKasPdu* bulky_pdu(size_t n, size_t size) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(kKasPduSet);
  const std::string text(size, 'x');
  for (size_t i = 0; i < n; ++i) {
    IKasSnmpValue* v = kas_create_value(kKasTagOctetString);
    v->set_bytes(text.data(), text.size());
    pdu->append_pair(kas_create_oid_from_text(oid_of(i).c_str()), v);
  }
  return pdu;
}

// Encodes PDU for a community target of VERSION and maximum message size MAX;
// the status, with the split count in *pFragments.
int encode(const IKasPdu* pdu, size_t max, int* pFragments, int version = kKasVersion2c,
           IKasMessageBuffer* buffer = nullptr) {
  KalOwned<IKasSnmpTarget> target(make_target("127.0.0.1", 161, 10, 0, version, "public", max));
  KalOwned<IKasMessageBuffer> own(kas_create_message_buffer());
  *pFragments = -1;
  const int rc = RequestSession::encode_request(const_cast<IKasPdu*>(pdu), target.get(),
                                                buffer ? buffer : own.get(), pFragments);
  // Measuring lifts the limit only for itself.
  EXPECT_EQ(target->get_max_message_size(), max);
  return rc;
}

TEST(RequestSessionEncode, DrawsANewRequestIdForEveryEncoding) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  KalOwned<IKasMessageBuffer> buffer(kas_create_message_buffer());
  int fragments = -1;
  ASSERT_EQ(encode(pdu.get(), 1472, &fragments, kKasVersion2c, buffer.get()), kKalOk);
  EXPECT_EQ(fragments, 0);
  const uint32_t first = static_cast<uint32_t>(pdu->get_request_id());
  ASSERT_EQ(encode(pdu.get(), 1472, &fragments, kKasVersion2c, buffer.get()), kKalOk);
  EXPECT_EQ(static_cast<uint32_t>(pdu->get_request_id()), first + 1);
  // The ID is in the octets that will be sent.
  int32_t status = -1, id = -1;
  ASSERT_EQ(kas_codec_service()->peek(buffer.get(), &status, &id, kKasTargetCommunity), kKalOk);
  EXPECT_EQ(id, pdu->get_request_id());
}

TEST(RequestSessionEncode, FailuresAndTheirSplitCounts) {
  KalOwned<IKasPdu> bulky(bulky_pdu(30, 80));
  KalOwned<IKasSnmpTarget> unlimited(
      make_target("127.0.0.1", 161, 10, 0, kKasVersion2c, "public", kKasLargestDatagram));
  const size_t length = encode_bytes(bulky.get(), unlimited.get()).size();
  ASSERT_GT(length, 2800u);
  ASSERT_LE(length, 4200u);
  KalOwned<IKasPdu> empty(make_pdu(kKasPduGet, 0));
  KalOwned<IKasPdu> four(make_pdu(kKasPduGet, 4));
  const struct {
    const char* name;
    const IKasPdu* pdu;
    size_t max;
    int version, rc, fragments;
  } rows[] = {
      {"3000 octets for 1400 split into three", bulky.get(), 1400, kKasVersion2c,
       kKasErrTooLarge, 3},
      // No bindings, and a limit below the empty message's length.
      {"nothing fits and nothing to split", empty.get(), 8, kKasVersion2c, kKasErrTooLarge, 0},
      {"no maximum message size set", four.get(), 0, kKasVersion2c, kKasErrTooLarge, 0},
      {"other failures are not split", four.get(), 1472, kKasVersion3, kKalErrInvalidArg, 0},
  };
  for (const auto& row : rows) {
    int fragments = -1;
    EXPECT_EQ(encode(row.pdu, row.max, &fragments, row.version), row.rc) << row.name;
    EXPECT_EQ(fragments, row.fragments) << row.name;
  }
}

// IDs stay in 1..2^31-1: the first one from any random value, and the
// counter wraps from the top back to 1.
TEST(RequestId, StaysInsideOneToTwoToTheThirtyOneMinusOne) {
  const struct {
    uint32_t random;
    uint32_t first;
  } seeds[] = {{0, 1}, {1, 2}, {0x7ffffffeu, 0x7fffffffu}, {0x7fffffffu, 1},
               {0x80000000u, 2}, {0xffffffffu, 2}};
  for (const auto& s : seeds) EXPECT_EQ(kas_request_id_from_random(s.random), s.first) << s.random;
  const struct {
    uint32_t next;
    std::vector<uint32_t> drawn;
  } rows[] = {
      {kKasRequestIdMax - 1, {kKasRequestIdMax - 1, kKasRequestIdMax, 1, 2}},
      {0, {1, 2}},
      {0x80000000u, {1}},
      {0xffffffffu, {1}},
  };
  for (const auto& row : rows) {
    kas_set_next_request_id_for_testing(row.next);
    std::vector<uint32_t> drawn;
    for (size_t i = 0; i < row.drawn.size(); ++i) drawn.push_back(kas_draw_request_id());
    EXPECT_EQ(drawn, row.drawn) << row.next;
  }
}

TEST(RequestId, EightThreadsNeverShareAnId) {
  constexpr int kThreads = 8;
  constexpr int kPerThread = 20000;
  // Far from the wrap, so that each thread's IDs rise.
  kas_set_next_request_id_for_testing(1000);
  std::vector<std::vector<uint32_t>> drawn(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&drawn, t] {
      drawn[t].reserve(kPerThread);
      for (int i = 0; i < kPerThread; ++i)
        drawn[t].push_back(kas_draw_request_id());
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<uint32_t> all;
  for (const auto& ids : drawn) {
    EXPECT_TRUE(
        std::is_sorted(ids.begin(), ids.end()));  // each thread sees them rise
    all.insert(ids.begin(), ids.end());
  }
  EXPECT_EQ(all.size(), size_t{kThreads} * kPerThread);
}

// ---- Checking and decoding received datagrams ----

TEST(RequestSessionCheck, MatchingIdTooBigAndOtherIds) {
  KalScopedLogCapture log;
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  pdu->set_request_id(5);
  auto check = [&](const std::vector<uint8_t>& bytes) {
    CKasMessageView view(bytes.data(), bytes.size());
    return RequestSession::check_received_raw_packet(pdu.get(), &view);
  };
  EXPECT_EQ(check(response_bytes(5, 0, 0, 1)), kKalOk);
  EXPECT_EQ(check(response_bytes(5, kKasSnmpNoSuchName, 1, 1)), kKalOk);
  EXPECT_EQ(check(response_bytes(5, kKasSnmpTooBig, 0, 1)), kKasErrTooBig);
  EXPECT_EQ(check(response_bytes(6, 0, 0, 1)), kKasErrOtherRequest);
  EXPECT_TRUE(log.has(
      "[RequestSession::check_received_raw_packet] request id not match. "
      "sended packet[5d]:received packet[6d]."));
  // An ID that only differs by sign when read as signed still differs.
  EXPECT_EQ(check(response_bytes(-5, 0, 0, 1)), kKasErrOtherRequest);
  const std::vector<uint8_t> garbage = {0xde, 0xad, 0xbe, 0xef};
  EXPECT_EQ(check(garbage), kKasErrUndecodable);
  // IDs above 2^31 match after wrapping.
  pdu->set_request_id(static_cast<int32_t>(0x80000001u));
  EXPECT_EQ(check(response_bytes(static_cast<int32_t>(0x80000001u), 0, 0, 1)), kKalOk);
}

TEST(RequestSessionDecode, ResponseReplacesHeaderAndBindings) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  pdu->set_request_id(9);
  const std::vector<uint8_t> bytes =
      response_bytes(9, kKasSnmpNoSuchName, 2, 3);
  CKasMessageView view(bytes.data(), bytes.size());
  ASSERT_EQ(RequestSession::decode_response(&view, pdu.get()), kKalOk);
  EXPECT_EQ(pdu->get_type(), kKasPduResponse);
  EXPECT_EQ(pdu->get_error_status(), kKasSnmpNoSuchName);
  EXPECT_EQ(pdu->get_error_index(), 2);
  EXPECT_EQ(pdu->binding_count(), 3u);
  EXPECT_EQ(pdu->get_bindings()->at(1)->get_status(), kKasSnmpNoSuchName);
}

TEST(RequestSessionDecode, FailedDecodeLeavesTheRequestAsItWas) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 2));
  pdu->set_request_id(9);
  std::vector<uint8_t> bytes = response_bytes(9, 0, 0, 2);
  bytes[bytes.size() - 2] = 0x47;  // the last value's tag: no SNMP type
  CKasMessageView view(bytes.data(), bytes.size());
  EXPECT_EQ(RequestSession::decode_response(&view, pdu.get()),
            kKasErrUndecodable);
  EXPECT_EQ(pdu->get_type(), kKasPduGet);
  EXPECT_EQ(names_of(pdu.get()),
            (std::vector<std::string>{oid_of(0), oid_of(1)}));
}

// ---- Splitting and merging ----

std::vector<size_t> piece_sizes(IKasPduList* pieces) {
  std::vector<size_t> sizes;
  KalOwned<IKasListCursor> cursor(pieces->new_cursor());
  for (IKasPdu* p = pieces->current(cursor.get()); p;
       pieces->next(cursor.get()), p = pieces->current(cursor.get())) {
    sizes.push_back(p->binding_count());
  }
  return sizes;
}

TEST(RequestSessionFragmentPdu, SevenIntoThreeGivesThreeTwoTwoInOrder) {
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGetNext, 7));
  pdu->set_request_id(77);
  IKasPduList* raw = nullptr;
  ASSERT_EQ(RequestSession::fragment_pdu(pdu.get(), 3, &raw), kKalOk);
  KalOwned<IKasPduList, KalCallDestroy> pieces(raw);
  EXPECT_EQ(piece_sizes(pieces.get()), (std::vector<size_t>{3, 2, 2}));
  std::vector<std::string> names;
  KalOwned<IKasListCursor> cursor(pieces->new_cursor());
  for (IKasPdu* p = pieces->current(cursor.get()); p;
       pieces->next(cursor.get()), p = pieces->current(cursor.get())) {
    EXPECT_EQ(p->get_type(), kKasPduGetNext);
    EXPECT_EQ(p->get_request_id(), 77);
    for (const std::string& n : names_of(p)) names.push_back(n);
  }
  EXPECT_EQ(names, sessiontest::expected_names(7));
  ASSERT_NE(pdu->get_bindings(), nullptr);  // the parent keeps an empty list
  EXPECT_EQ(pdu->binding_count(), 0u);
}

TEST(RequestSessionFragmentPdu, FewerBindingsThanPiecesCannotBeSplit) {
  KalScopedLogCapture log;
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  pdu->set_request_id(12);
  IKasPduList* raw = nullptr;
  EXPECT_EQ(RequestSession::fragment_pdu(pdu.get(), 2, &raw),
            kKasErrCannotSplit);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(pdu->binding_count(), 1u);  // nothing was moved
  EXPECT_TRUE(
      log.has("[RequestSession::fragment_pdu] can't fragment the packet[12] "
              "any more."));
  EXPECT_EQ(RequestSession::fragment_pdu(pdu.get(), 0, &raw),
            kKalErrInvalidArg);
  EXPECT_EQ(RequestSession::fragment_pdu(nullptr, 2, &raw), kKalErrInvalidArg);
}

// Answered pieces of `sizes` bindings, named consecutively.
IKasPduList* answered_pieces(const std::vector<size_t>& sizes) {
  IKasPduList* list = kas_create_pdu_list();
  size_t next = 0;
  for (size_t size : sizes) {
    IKasPdu* piece = kas_create_pdu();
    piece->set_type(kKasPduResponse);
    for (size_t i = 0; i < size; ++i, ++next) {
      piece->append_pair(kas_create_oid_from_text(oid_of(next).c_str()),
                         nullptr);
    }
    list->push_back(piece);
  }
  return list;
}

IKasPdu* piece_at(IKasPduList* list, size_t index) {
  KalOwned<IKasListCursor> cursor(list->new_cursor());
  for (size_t i = 0; i < index; ++i) list->next(cursor.get());
  return list->current(cursor.get());
}

// The first failing piece keeps its error; its index is offset by the
// bindings of the pieces before it.
TEST(RequestSessionMerge, FirstFailingPieceKeepsItsErrorAtTheOffsetIndex) {
  const struct {
    std::vector<size_t> sizes;
    std::vector<std::array<int, 3>> errors;  // piece, status, index
    int status, index;
  } rows[] = {
      {{4, 3}, {{1, kKasSnmpNoSuchName, 1}}, kKasSnmpNoSuchName, 5},
      {{2, 2, 2}, {{1, kKasSnmpGenErr, 2}, {2, kKasSnmpNoSuchName, 1}}, kKasSnmpGenErr, 4},
      // The agent picks the index: one that names none of its piece's
      // bindings is dropped, never wrapped or moved onto another piece's.
      {{4, 3}, {{1, kKasSnmpNoSuchName, 2147483647}}, kKasSnmpNoSuchName, 0},
      {{4, 3}, {{1, kKasSnmpNoSuchName, -1}}, kKasSnmpNoSuchName, 0},
      {{4, 3}, {{0, kKasSnmpGenErr, -2147483647 - 1}}, kKasSnmpGenErr, 0},
      {{4, 3}, {{1, kKasSnmpNoSuchName, 4}}, kKasSnmpNoSuchName, 0},
      {{4, 3}, {{1, kKasSnmpGenErr, 0}}, kKasSnmpGenErr, 0},
      {{4, 3}, {{1, kKasSnmpNoSuchName, 3}}, kKasSnmpNoSuchName, 7},
  };
  for (const auto& row : rows) {
    KalOwned<IKasPduList, KalCallDestroy> pieces(answered_pieces(row.sizes));
    for (const auto& e : row.errors) {
      piece_at(pieces.get(), e[0])->set_error_status(e[1]);
      piece_at(pieces.get(), e[0])->set_error_index(e[2]);
    }
    KalOwned<IKasPdu> parent(make_pdu(kKasPduGet, 0));
    parent->set_error_status(7);
    ASSERT_EQ(RequestSession::merge_pieces(parent.get(), pieces.get()), kKalOk);
    EXPECT_EQ(parent->get_type(), kKasPduResponse);
    EXPECT_EQ(parent->get_error_status(), row.status);
    EXPECT_EQ(parent->get_error_index(), row.index);
    size_t total = 0;
    for (size_t n : row.sizes) total += n;
    EXPECT_EQ(names_of(parent.get()), sessiontest::expected_names(total));
  }
}

TEST(RequestSession, MissingArgumentsAndUnsupportedSlot) {
  KalOwned<RequestSession> session(kas_create_request_session());
  KalOwned<IKasPdu> pdu(make_pdu(kKasPduGet, 1));
  KalOwned<IKasSnmpTarget> no_address(kas_create_community_target());
  KalOwned<IKasSnmpTarget> target(make_target("127.0.0.1", 161, 10, 0));
  EXPECT_EQ(session->send_sync(nullptr, target.get()), kKalErrInvalidArg);
  EXPECT_EQ(session->send_sync(pdu.get(), nullptr), kKalErrInvalidArg);
  EXPECT_EQ(session->send_sync(pdu.get(), no_address.get()), kKalErrInvalidArg);
  EXPECT_EQ(session->send_sync(static_cast<IKasSnmpPacket*>(nullptr)),
            kKalErrInvalidArg);
  int fragments = -1;
  EXPECT_EQ(session->_send_and_receive(pdu.get(), target.get(), &fragments),
            kKalErrInvalidArg)
      << "no socket is open yet";
  EXPECT_EQ(session->not_supported(), kKalErrNotSupported);
}

}  // namespace
