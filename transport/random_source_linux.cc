// The system's random source for transport/request_id.h.
#include <sys/random.h>

#include <cerrno>

#include "transport/request_id.h"

bool kas_random_bytes(void* out, size_t n) {
  // Never blocks: early in boot, before the pool is ready, the caller falls
  // back to its own seed instead of hanging the host's thread.
  for (;;) {
    const ssize_t got = getrandom(out, n, GRND_NONBLOCK);
    if (got == static_cast<ssize_t>(n)) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}
