// Every allocation of every creation and copy fails once: the call must
// answer kKalErrNoMemory, and under AddressSanitizer nothing may leak.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/network_address.h"
#include "common/owned.h"
#include "common/text.h"
#include "snmp/binding.h"
#include "snmp/packet.h"
#include "snmp/pdu.h"
#include "snmp/target.h"
#include "snmp/value.h"

namespace {

// Holds whatever a scenario's set-up made, released after each run.
struct Fixture {
  KalOwned<IKasPdu> pdu;
  KalOwned<IKasSnmpValue> value;
  KalOwned<IKasSnmpTarget> target;
  KalOwned<IKasSnmpPacket> packet;
  KalOwned<IKasSnmpPacketList> packets;
};

using PrepareStep = std::function<void(Fixture*)>;
using Step = std::function<int(Fixture*)>;

// Runs `step` once to count its allocations, then once per allocation with
// that one failing.
void fail_each_allocation(const char* name, const PrepareStep& setup, const Step& step) {
  SCOPED_TRACE(name);
  long count = 0;
  {
    Fixture f;
    setup(&f);
    const long before = kal_alloc_hook::g_calls.load();
    ASSERT_EQ(step(&f), kKalOk);
    count = kal_alloc_hook::g_calls.load() - before;
  }
  ASSERT_GT(count, 0);
  for (long i = 0; i < count; ++i) {
    Fixture f;
    setup(&f);
    kal_alloc_hook::g_fail_countdown = i;
    const int rc = step(&f);
    kal_alloc_hook::g_fail_countdown = -1;
    EXPECT_EQ(rc, kKalErrNoMemory) << "allocation " << i << " of " << count;
  }
}

// Wraps a creation call: the status it stores, and the result released.
// (The status is read through a pointer: it is written by the call that
// makes `object`, an argument evaluated in unspecified order.)
template <class T>
int made(T* object, const int* pStatus) {
  if (object) object->release();
  if (object) return *pStatus;
  return *pStatus != kKalOk ? *pStatus : static_cast<int>(kKalErrGeneral);
}

void no_setup(Fixture*) {}

// fail_each_allocation for a call that makes one object: `make(f, &rc)`.
template <class Make>
void fail_each_creation(const char* name, const PrepareStep& setup, Make make) {
  fail_each_allocation(name, setup, [make](Fixture* f) {
    int rc = 1;
    return made(make(f, &rc), &rc);
  });
}

void full_pdu(Fixture* f) {
  f->pdu.reset(kas_create_pdu());
  f->pdu->set_type(kKasPduTrap);
  for (int i = 0; i < 3; ++i) {
    std::string name = "1.3.6.1.4.1.61801." + std::to_string(i);
    f->pdu->append_pair(kas_create_oid_from_text(name.c_str()),
                        kas_create_value_from_text(std::string(150, 'x').c_str(),
                                                   kKasTagOctetString));
  }
  f->pdu->set_trap_oid(kas_create_oid_from_text("1.3.6.1.6.3.1.1.5.1"));
  f->pdu->set_trap_timestamp(kas_create_value_from_uint(9, kKasTagTimeTicks));
}

TEST(AllocationFailure, ValueCreationFunctions) {
  const int tags[] = {kKasTagInteger,      kKasTagOctetString,   kKasTagNull,
                      kKasTagOid,          kKasTagIpAddress,     kKasTagCounter32,
                      kKasTagGauge32,      kKasTagTimeTicks,     kKasTagOpaque,
                      kKasTagCounter64,    kKasTagIpv6Address,   kKasTagNoSuchObject,
                      kKasTagNoSuchInstance, kKasTagEndOfMibView, kKasTagUdpAddress,
                      kKasTagIpxAddress};
  for (int tag : tags) {
    const std::string name = "create " + std::to_string(tag);
    fail_each_creation(name.c_str(), no_setup,
                       [tag](Fixture*, int* rc) { return kas_create_value(tag, rc); });
  }
  fail_each_creation("oid from text", no_setup, [](Fixture*, int* rc) {
    return kas_create_oid_from_text("1.3.6.1.2.1.1.1.0", rc);
  });
  fail_each_creation("string from text", no_setup, [](Fixture*, int* rc) {
    return kas_create_value_from_text(std::string(300, 'a').c_str(), kKasTagOctetString, rc);
  });
  fail_each_creation("from int", no_setup, [](Fixture*, int* rc) {
    return kas_create_value_from_int(5, kKasTagOid, rc);
  });
  fail_each_creation("from uint", no_setup, [](Fixture*, int* rc) {
    return kas_create_value_from_uint(5, kKasTagGauge32, rc);
  });
  fail_each_creation("empty oid", no_setup, [](Fixture*, int* rc) { return kas_create_oid(rc); });
  fail_each_creation("text object", no_setup, [](Fixture*, int* rc) {
    return kal_create_text_from("abc", rc);
  });
}

TEST(AllocationFailure, ValueCopiesAndTexts) {
  const PrepareStep long_oid = [](Fixture* f) {
    f->value.reset(kas_create_oid_from_text(
        "1.3.6.1.4.1.61801.1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16.17.18.19.20.21.22.23.24.25."
        "26.27.28.29.30.31.32.33.34.35.36.37.38.39.40.41.42.43.44.45.46.47.48.49.50.51.52.53"));
  };
  fail_each_creation("oid clone", long_oid, [](Fixture* f, int* rc) {
    return f->value->clone(rc);
  });
  fail_each_creation("oid to_text", long_oid, [](Fixture* f, int* rc) {
    return f->value->to_text(rc);
  });
  fail_each_creation("oid new_prefix", long_oid, [](Fixture* f, int* rc) {
    return f->value->as_oid()->new_prefix(40, rc);
  });
  fail_each_creation("oid new_value_from_index", long_oid, [](Fixture* f, int* rc) {
    return f->value->as_oid()->new_value_reading_index(kKasTagOid, true, kKasAll, rc);
  });
  fail_each_allocation("oid grows", long_oid, [](Fixture* f) {
    return f->value->as_oid()->append_text(std::string(200, '7').c_str());
  });
  fail_each_allocation("string clone", [](Fixture* f) {
    f->value.reset(kas_create_value_from_text(std::string(300, 'a').c_str(), kKasTagOctetString));
  }, [](Fixture* f) {
    int rc = 1;
    return made(f->value->clone(&rc), &rc);
  });
}

TEST(AllocationFailure, Containers) {
  fail_each_creation("varbind", no_setup, [](Fixture*, int* rc) { return kas_create_varbind(rc); });
  fail_each_creation("varbind list", no_setup, [](Fixture*, int* rc) {
    return kas_create_varbind_list(rc);
  });
  fail_each_creation("pdu", no_setup, [](Fixture*, int* rc) { return kas_create_pdu(rc); });
  fail_each_allocation("append_pair", full_pdu, [](Fixture* f) {
    int rc = 1;
    IKasSnmpValue* name = kas_create_oid_from_text("1.3", &rc);
    if (!name) return rc;
    return f->pdu->append_pair(name, nullptr);  // the NULL value and the binding
  });
  fail_each_creation("pdu clone", full_pdu, [](Fixture* f, int* rc) { return f->pdu->clone(rc); });
  fail_each_allocation("pdu assign", full_pdu, [](Fixture* f) {
    KalOwned<IKasPdu> other(kas_create_pdu());
    if (!other) return static_cast<int>(kKalErrNoMemory);
    return other->assign(f->pdu.get());
  });
  fail_each_creation("copy_range", full_pdu, [](Fixture* f, int* rc) {
    return f->pdu->get_bindings()->copy_range(1, 2, rc);
  });
  fail_each_creation("split_front", full_pdu, [](Fixture* f, int* rc) {
    return f->pdu->get_bindings()->split_front(2, rc);
  });
  const PrepareStep full_packet = [](Fixture* f) {
    full_pdu(f);
    f->packet.reset(kas_create_packet());
    f->packet->set_pdu(f->pdu.detach());
    IKasSnmpTarget* t = kas_create_target(kKasTargetCommunity);
    t->as_community()->set_community("public");
    KalOwned<IKalNetworkAddress> a(
        kal_create_network_address("127.0.0.1", IKalNetworkAddress::IPv4, 161));
    t->set_address(a.get());
    f->packet->set_target(t);
  };
  fail_each_creation("packet clone", full_packet, [](Fixture* f, int* rc) {
    return f->packet->clone(rc);
  });
  fail_each_allocation("usm target clone", [](Fixture* f) {
    IKasUsmTarget* t = kas_create_usm_target();
    t->set_security_name("user");
    t->set_auth_passphrase("authpass");
    t->set_context_name("ctx");
    const uint8_t engine[] = {1, 2, 3};
    t->set_security_engine_id(engine, 3);
    f->target.reset(t);
  }, [](Fixture* f) {
    int rc = 1;
    return made(f->target->clone(&rc), &rc);
  });
  fail_each_creation("targets", no_setup, [](Fixture*, int* rc) {
    return kas_create_target(kKasTargetUsm, rc);
  });
  fail_each_creation("packet", no_setup, [](Fixture*, int* rc) { return kas_create_packet(rc); });
  fail_each_allocation("lists", no_setup, [](Fixture*) {
    int rc = 1;
    IKasPduList* pdus = kas_create_pdu_list(&rc);
    if (!pdus) return rc;
    pdus->release();
    return made(kas_create_packet_list(&rc), &rc);
  });
  fail_each_allocation("push_back and cursor", [](Fixture* f) {
    f->packets.reset(kas_create_packet_list());
  }, [](Fixture* f) {
    int rc = 1;
    IKasSnmpPacket* p = kas_create_packet(&rc);
    if (!p) return rc;
    if ((rc = f->packets->push_back(p)) != kKalOk) return rc;  // a failed node releases p
    return made(f->packets->new_cursor(&rc), &rc);
  });
}

}  // namespace
