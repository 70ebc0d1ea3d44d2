#include "transport/request_id.h"

#include <atomic>

namespace {
// Constant-initialised, so a session running during static initialisation of
// another module still sees a counter that starts at 0.
std::atomic<uint32_t> g_next_request_id{0};
}  // namespace

uint32_t kas_draw_request_id() {
  return g_next_request_id.fetch_add(1, std::memory_order_relaxed);
}
