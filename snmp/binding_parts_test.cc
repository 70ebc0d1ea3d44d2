// The codec reads bindings and values of this layer inline and others
// through their interfaces. Both roads must give the same octets and the
// same decoded content, and a binding of this layer must follow every
// change of its parts (set, set_name, set_value, detach, clone, a decode that
// replaces a value of another tag).
#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "snmp/binding.h"
#include "snmp/codec_test_util.h"
#include "snmp/value.h"

namespace {

using codectest::Bytes;

// A value made elsewhere: every operation goes to a value of this layer,
// but query() does not lend it, so the codec must use the visitor.
class ForeignValue final : public IKasSnmpValue {
 public:
  explicit ForeignValue(IKasSnmpValue* inner) : in_(inner) {}
  int accept(IKasValueVisitor* visitor) override {
    // The visitor sees this object, as it would a real foreign value.
    if (!visitor) return kKalErrInvalidArg;
    switch (in_->tag()) {
      case kKasTagOid: return visitor->visit_oid(this);
      case kKasTagOctetString:
      case kKasTagOpaque: return visitor->visit_octet_string(this);
      case kKasTagInteger: return visitor->visit_integer(this);
      case kKasTagNull: return visitor->visit_null(this);
      case kKasTagCounter32: return visitor->visit_counter32(this);
      case kKasTagGauge32: return visitor->visit_gauge32(this);
      case kKasTagTimeTicks: return visitor->visit_timeticks(this);
      case kKasTagCounter64: return visitor->visit_counter64(this);
      case kKasTagIpAddress: return visitor->visit_ip_address(this);
      default: return visitor->visit_exception(this);
    }
  }
  void release() override { delete this; }
  IKasSnmpValue* clone(int* pStatus) const override {
    IKasSnmpValue* c = in_->clone(pStatus);
    return c ? new ForeignValue(c) : nullptr;
  }
  int assign(const IKasSnmpValue* other) override { return in_->assign(other); }
  void clear() override { in_->clear(); }
  int tag() const override { return in_->tag(); }
  bool equals(const IKasSnmpValue* other) const override { return in_->equals(other); }
  IKasOid* as_oid() override { return in_->as_oid(); }
  const IKasOid* as_oid() const override { return in_->as_oid(); }
  int query(int, const void** pp) const override {
    if (pp) *pp = nullptr;
    return kKalErrInvalidArg;
  }
  bool is_valid() const override { return in_->is_valid(); }
  int32_t get_int(int* s) const override { return in_->get_int(s); }
  uint32_t get_uint(int* s) const override { return in_->get_uint(s); }
  IKalText* to_text(int* s) const override { return in_->to_text(s); }
  int to_text_into(IKalText* t) const override { return in_->to_text_into(t); }
  const uint8_t* get_bytes(size_t* n, int* s) const override { return in_->get_bytes(n, s); }
  IKalText* to_bytes(int* s) const override { return in_->to_bytes(s); }
  int to_bytes_into(IKalText* t) const override { return in_->to_bytes_into(t); }
  uint16_t get_port(int* s) const override { return in_->get_port(s); }
  uint32_t get_high(int* s) const override { return in_->get_high(s); }
  uint32_t get_low(int* s) const override { return in_->get_low(s); }
  int set_int(int32_t v) override { return in_->set_int(v); }
  int set_uint(uint32_t v) override { return in_->set_uint(v); }
  int set_text(const char* t) override { return in_->set_text(t); }
  int set_text_object(const IKalText* t) override { return in_->set_text_object(t); }
  int set_bytes(const void* d, size_t n) override { return in_->set_bytes(d, n); }
  int set_bytes_object(const IKalText* b) override { return in_->set_bytes_object(b); }
  int set_port(uint16_t p) override { return in_->set_port(p); }
  int set_high(uint32_t v) override { return in_->set_high(v); }
  int set_low(uint32_t v) override { return in_->set_low(v); }
  size_t size() const override { return in_->size(); }
  size_t index_length(bool i) const override { return in_->index_length(i); }
  uint32_t element_at(size_t i, int* s) const override { return in_->element_at(i, s); }
  int append_to_index(IKasOid* o, bool i) const override { return in_->append_to_index(o, i); }
  int set_oid_to_index(IKasOid* o, bool i) const override { return in_->set_oid_to_index(o, i); }
  int set_from_index(const IKasOid* o, bool i, size_t n) override {
    return in_->set_from_index(o, i, n);
  }

 private:
  ~ForeignValue() override { in_->release(); }
  IKasSnmpValue* in_;
};

// A binding made elsewhere, holding whatever it is given.
class ForeignBinding final : public IKasVarBind {
 public:
  void release() override { delete this; }
  IKasVarBind* clone(int*) const override { return nullptr; }
  bool equals(const IKasVarBind*) const override { return false; }
  int set(IKasSnmpValue* name, IKasSnmpValue* value) override {
    set_name(name);
    return set_value(value);
  }
  void detach(IKasSnmpValue** n, IKasSnmpValue** v) override {
    *n = name_;
    *v = value_;
    name_ = value_ = nullptr;
  }
  int set_name(IKasSnmpValue* name) override {
    if (name_) name_->release();
    name_ = name;
    return kKalOk;
  }
  int set_value(IKasSnmpValue* value) override {
    if (value_) value_->release();
    value_ = value;
    return kKalOk;
  }
  IKasSnmpValue* get_name() const override { return name_; }
  IKasSnmpValue* get_value() const override { return value_; }
  IKasOid* get_oid() const override { return name_ ? name_->as_oid() : nullptr; }
  int get_status() const override { return status_; }
  void set_status(int s) override { status_ = s; }
  void destroy() override { release(); }

 private:
  ~ForeignBinding() override {
    if (name_) name_->release();
    if (value_) value_->release();
  }
  IKasSnmpValue* name_ = nullptr;
  IKasSnmpValue* value_ = nullptr;
  int status_ = 0;
};

// One row per binding of the reference Response.
struct Row {
  const char* name;
  IKasSnmpValue* (*make)();
};
const Row kRows[] = {
    {"1.3.6.1.2.1.1.1.0", [] { return codectest::text("printer of the second floor"); }},
    {"1.3.6.1.2.1.1.2.0", [] { return codectest::oid("1.3.6.1.4.1.61801.1.2"); }},
    {"1.3.6.1.2.1.1.3.0", [] { return codectest::unsigned32(kKasTagTimeTicks, 4000000000u); }},
    {"1.3.6.1.2.1.25.3.2.1.5.1", [] { return codectest::integer(-129); }},
    {"1.3.6.1.2.1.4.20.1.1.127.0.0.1",
     [] { return codectest::octets(kKasTagIpAddress, Bytes{127, 0, 0, 1}); }},
    {"1.3.6.1.2.1.31.1.1.1.6.1", [] { return codectest::counter64(1, 0); }},
    {"1.3.6.1.2.1.43.11.1.1.9.1.1", [] { return codectest::unsigned32(kKasTagGauge32, 0); }},
    {"1.3.6.1.4.1.61801.2.1.0", [] { return codectest::marker(kKasTagNoSuchInstance); }},
    {"1.3.6.1.4.1.61802.9.0", [] { return codectest::marker(kKasTagNull); }},
};

enum class Mix { kOurs, kForeignBindings, kForeignValues, kForeignNames, kAlternate };

// The reference Response built from bindings and values of the given mix.
IKasPdu* response(Mix mix) {
  IKasPdu* pdu = kas_create_pdu();
  pdu->set_type(kKasPduResponse);
  pdu->set_request_id(0x1234567);
  size_t i = 0;
  for (const Row& row : kRows) {
    IKasSnmpValue* name = codectest::oid(row.name);
    IKasSnmpValue* value = row.make();
    const bool odd = (i++ % 2) != 0;
    if (mix == Mix::kForeignValues || (mix == Mix::kAlternate && odd)) {
      value = new ForeignValue(value);
    }
    if (mix == Mix::kForeignNames) name = new ForeignValue(name);
    IKasVarBind* b = nullptr;
    if (mix == Mix::kForeignBindings || (mix == Mix::kAlternate && !odd)) {
      b = new ForeignBinding;
    } else {
      b = kas_create_varbind();
    }
    b->set(name, value);
    pdu->append(b);
  }
  return pdu;
}

class BindingPartsTest : public ::testing::Test {
 protected:
  Bytes encode(const IKasPdu* pdu) { return codectest::encode(pdu, target_.get()); }
  KalOwned<IKasSnmpTarget> target_{codectest::make_target(kKasVersion2c, "public")};
};

TEST_F(BindingPartsTest, EveryMixEncodesTheSameOctets) {
  KalOwned<IKasPdu> ours(response(Mix::kOurs));
  const Bytes expected = encode(ours.get());
  ASSERT_FALSE(expected.empty());
  for (Mix mix : {Mix::kForeignBindings, Mix::kForeignValues, Mix::kForeignNames,
                  Mix::kAlternate}) {
    KalOwned<IKasPdu> pdu(response(mix));
    EXPECT_EQ(encode(pdu.get()), expected) << "mix " << static_cast<int>(mix);
  }
}

TEST_F(BindingPartsTest, EveryMixDecodesTheSameContentInPlace) {
  KalOwned<IKasPdu> ours(response(Mix::kOurs));
  const Bytes message = encode(ours.get());
  KalOwned<IKasPdu> fresh(kas_create_pdu());
  ASSERT_EQ(codectest::decode(message, fresh.get(), target_.get()), kKalOk);
  const std::string expected = codectest::dump(fresh.get());
  for (Mix mix : {Mix::kForeignBindings, Mix::kForeignValues, Mix::kForeignNames,
                  Mix::kAlternate}) {
    // Empty the parts first, so that only a decode can fill them again.
    KalOwned<IKasPdu> pdu(response(mix));
    IKasVarBindList* list = pdu->get_bindings();
    for (size_t i = 0; i < list->count(); ++i) {
      IKasVarBind* b = list->at(i);
      b->get_name()->clear();
      b->get_value()->clear();
    }
    ASSERT_EQ(codectest::decode(message, pdu.get(), target_.get()), kKalOk);
    EXPECT_EQ(codectest::dump(pdu.get()), expected) << "mix " << static_cast<int>(mix);
    // The parts given were filled in place, not replaced.
    EXPECT_EQ(list, pdu->get_bindings());
  }
}

TEST_F(BindingPartsTest, BindingFollowsEveryChangeOfItsParts) {
  KalOwned<IKasPdu> pdu(codectest::make_pdu(kKasPduGet, 7, {{"1.3.6.1.2.1.1.1.0",
                                                             codectest::text("abc")}}));
  ASSERT_FALSE(encode(pdu.get()).empty());  // the parts are read once
  IKasVarBind* b = pdu->get_bindings()->at(0);

  ASSERT_EQ(b->set_value(codectest::integer(300)), kKalOk);
  ASSERT_EQ(b->set_name(codectest::oid("1.3.6.1.2.1.1.5.0")), kKalOk);
  KalOwned<IKasPdu> want(codectest::make_pdu(kKasPduGet, 7, {{"1.3.6.1.2.1.1.5.0",
                                                              codectest::integer(300)}}));
  EXPECT_EQ(encode(pdu.get()), encode(want.get()));

  IKasSnmpValue* name = nullptr;
  IKasSnmpValue* value = nullptr;
  b->detach(&name, &value);
  name->release();
  value->release();
  int rc = kKalOk;
  codectest::encode(pdu.get(), target_.get(), &rc);
  EXPECT_EQ(rc, kKalErrInvalidArg);  // a binding without name or value

  ASSERT_EQ(b->set(codectest::oid("1.3.6.1.2.1.1.6.0"), nullptr), kKalOk);  // NULL value
  KalOwned<IKasPdu> want_null(codectest::make_pdu(
      kKasPduGet, 7, {{"1.3.6.1.2.1.1.6.0", codectest::marker(kKasTagNull)}}));
  EXPECT_EQ(encode(pdu.get()), encode(want_null.get()));

  // A clone reads its own parts: releasing the original leaves it whole.
  KalOwned<IKasPdu> copy(pdu->clone());
  pdu.reset();
  EXPECT_EQ(encode(copy.get()), encode(want_null.get()));
}

TEST_F(BindingPartsTest, DecodeReplacingValuesOfAnotherTagEncodesBack) {
  // Decode a message into a PDU whose values have other tags, then encode
  // the PDU again: the replaced values are the ones written.
  KalOwned<IKasPdu> ours(response(Mix::kOurs));
  const Bytes message = encode(ours.get());
  KalOwned<IKasPdu> pdu(response(Mix::kOurs));
  IKasVarBindList* list = pdu->get_bindings();
  for (size_t i = 0; i < list->count(); ++i) {
    list->at(i)->set_value(i % 2 ? codectest::integer(5) : codectest::text("x"));
    list->at(i)->set_name(codectest::oid("1.3"));
  }
  ASSERT_EQ(codectest::decode(message, pdu.get(), target_.get()), kKalOk);
  pdu->set_request_id(0x1234567);
  EXPECT_EQ(encode(pdu.get()), message);
}

// Every seed of the decoder corpora (and the reference Response) decoded
// into a PDU that already holds the result of another seed, whole or cut
// short by a failure: the reused bindings and values must end up exactly as
// a fresh decode leaves them, and encode to the same octets.
std::vector<Bytes> seeds() {
  std::vector<Bytes> out;
  for (const char* corpus : {"ber_decoder_fuzzer", "ber_peek_fuzzer"}) {
    const std::string dir = std::string(ZEL_SOURCE_DIR) + "/fuzz/corpus/" + corpus;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(dir + "/" + e->d_name, std::ios::binary);
        out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
      closedir(d);
    }
  }
  return out;
}

TEST_F(BindingPartsTest, AReusedPduDecodesEverySeedAsAFreshOne) {
  std::vector<Bytes> all = seeds();
  ASSERT_FALSE(all.empty());
  KalOwned<IKasPdu> reference(response(Mix::kOurs));
  all.push_back(encode(reference.get()));

  // What a fresh PDU and target make of each seed.
  struct Fresh {
    int rc;
    std::string dump;
    Bytes encoded;
  };
  std::vector<Fresh> fresh;
  for (const Bytes& msg : all) {
    KalOwned<IKasPdu> pdu(kas_create_pdu());
    KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
    Fresh f{codectest::decode(msg, pdu.get(), target.get()), "", {}};
    if (f.rc == kKalOk) {
      f.dump = codectest::dump(pdu.get(), target.get());
      target->set_max_message_size(65536);
      f.encoded = codectest::encode(pdu.get(), target.get());
    }
    fresh.push_back(f);
  }

  int compared = 0;
  for (size_t a = 0; a < all.size(); ++a) {
    for (size_t b = 0; b < all.size(); ++b) {
      if (fresh[b].rc != kKalOk) continue;
      SCOPED_TRACE("seed " + std::to_string(a) + " then " + std::to_string(b));
      KalOwned<IKasPdu> pdu(kas_create_pdu());
      KalOwned<IKasSnmpTarget> target(kas_create_target(kKasTargetCommunity));
      EXPECT_EQ(codectest::decode(all[a], pdu.get(), target.get()), fresh[a].rc);
      ASSERT_EQ(codectest::decode(all[b], pdu.get(), target.get()), kKalOk);
      EXPECT_EQ(codectest::dump(pdu.get(), target.get()), fresh[b].dump);
      target->set_max_message_size(65536);
      EXPECT_EQ(codectest::encode(pdu.get(), target.get()), fresh[b].encoded);
      ++compared;
    }
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
