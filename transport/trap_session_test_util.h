// Test helpers for the trap facility: an observer that keeps a copy of every
// packet and can be held inside notify(), SNMPv1 trap packets with a
// sequence binding, and their encoding.
#ifndef TRANSPORT_TRAP_SESSION_TEST_UTIL_H_
#define TRANSPORT_TRAP_SESSION_TEST_UTIL_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/owned.h"
#include "snmp/codec_buffer.h"
#include "snmp/codec_service.h"
#include "snmp/packet.h"
#include "snmp/value.h"
#include "transport/observer_invoker.h"

namespace trap_test {

// Generous: a guard against hangs, not a speed requirement.
inline constexpr std::chrono::seconds kPatience{30};

// The object identifier that carries a test packet's sequence number.
inline constexpr char kSequenceOid[] = "1.3.6.1.4.1.61801.99.1.0";

using Packet = KalOwned<IKasSnmpPacket>;

class RecordingObserver final : public IKasTrapObserver {
 public:
  void notify(const IKasSnmpPacket* packet) override {
    std::unique_lock<std::mutex> hold(lock_);
    packets_.emplace_back(packet->clone());
    ++entered_;
    changed_.notify_all();
    changed_.wait(hold, [this] { return !held_; });
    if (during_) during_();
  }

  // While held, notify() waits before it returns.
  void hold() {
    std::lock_guard<std::mutex> hold(lock_);
    held_ = true;
  }
  void let_go() {
    std::lock_guard<std::mutex> hold(lock_);
    held_ = false;
    changed_.notify_all();
  }
  // Runs inside notify(), after the packet was recorded.
  void set_during(std::function<void()> during) { during_ = std::move(during); }

  // Waits until at least n packets arrived; false after kPatience.
  bool wait_for(size_t n) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, kPatience, [&] { return entered_ >= n; });
  }
  size_t count() const {
    std::lock_guard<std::mutex> hold(lock_);
    return entered_;
  }
  // The sequence numbers of the packets so far, in arrival order (-1 for a
  // packet without one).
  std::vector<int32_t> sequence() const;
  // Lent; good while the observer lives.
  const IKasSnmpPacket* at(size_t i) const {
    std::lock_guard<std::mutex> hold(lock_);
    return i < packets_.size() ? packets_[i].get() : nullptr;
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Packet> packets_;
  size_t entered_ = 0;
  bool held_ = false;
  std::function<void()> during_;
};

// An SNMPv1 trap packet, community "public": enterprise-specific trap
// 1.3.6.1.4.1.61801.0.7, time-stamp 4242, one binding kSequenceOid =
// INTEGER seq.
IKasSnmpPacket* make_trap(int32_t seq);
// Waits (bounded by kPatience) until `done` holds.
template <class F>
bool eventually(F done) {
  const auto until = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Its BER octets (empty when encoding fails).
std::vector<uint8_t> encode(IKasSnmpPacket* packet);

// The dotted text of an object identifier value ("" for null).
std::string oid_text(const IKasSnmpValue* value);

}  // namespace trap_test

#endif  // TRANSPORT_TRAP_SESSION_TEST_UTIL_H_
