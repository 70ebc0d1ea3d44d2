#include "common/owned.h"

namespace kal_alloc_hook {
std::atomic<long> g_fail_countdown{-1};
std::atomic<long> g_calls{0};
}  // namespace kal_alloc_hook
