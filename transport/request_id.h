// The process-wide request-ID counter shared by every session (v1/v2c and
// SNMPv3). Each encoded request draws one ID; the retries of one exchange
// resend the same bytes and so the same ID.
//
// IDs are not guessable from outside: the counter starts at a random value
// (the system's random source, read once when the first ID is drawn) and
// then counts up by 1, wrapping from kKasRequestIdMax to 1. Every ID lies in
// 1..kKasRequestIdMax, which reads as a positive INTEGER on the wire. A
// blind sender on the LAN must guess among 2^31 - 1 values instead of
// answering 0, 1, 2, ...
//
// Thread-safe: the counter is one atomic.
#ifndef TRANSPORT_REQUEST_ID_H_
#define TRANSPORT_REQUEST_ID_H_

#include <cstddef>
#include <cstdint>

// The largest request ID, 2^31 - 1.
inline constexpr uint32_t kKasRequestIdMax = 0x7fffffffu;

// The next request ID, in 1..kKasRequestIdMax.
uint32_t kas_draw_request_id();

// The first ID of the counter from `random` (any 32-bit value): a value in
// 1..kKasRequestIdMax.
uint32_t kas_request_id_from_random(uint32_t random);

// Fills out[0..n) from the system's random source. False when the source
// cannot be read (the caller then mixes its own seed). Platform file:
// transport/random_source_linux.cc.
bool kas_random_bytes(void* out, size_t n);

// Tests only: the next kas_draw_request_id() answers `next` (0 and values
// above kKasRequestIdMax are taken as 1).
void kas_set_next_request_id_for_testing(uint32_t next);

#endif  // TRANSPORT_REQUEST_ID_H_
