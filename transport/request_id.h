// The process-wide request-ID counter shared by every session (v1/v2c and
// SNMPv3). Each encoded request draws one ID; the retries of one exchange
// resend the same bytes and so the same ID. Thread-safe: the counter is one
// atomic, incremented by 1 per ID and wrapping at 2^32.
#ifndef TRANSPORT_REQUEST_ID_H_
#define TRANSPORT_REQUEST_ID_H_

#include <cstdint>

// The next request ID. The first ID of the process is 0.
uint32_t kas_draw_request_id();

#endif  // TRANSPORT_REQUEST_ID_H_
