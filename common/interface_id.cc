#include "common/interface_id.h"

#include "common/status.h"

bool kal_iid_equal(const char* iid, const char* known) noexcept {
  if (!iid || !known) return false;
  // Identifiers are compared as whole 37-byte blocks (text and terminator);
  // walking byte by byte gives the same answer without reading past a
  // caller's shorter text.
  for (size_t i = 0; i <= kKalIidLength; ++i) {
    if (iid[i] != known[i]) return false;
    if (iid[i] == '\0') return i == kKalIidLength;
  }
  return false;
}

int kal_query_answer(const char* iid, void** ppInterface,
                     std::initializer_list<KalIidAnswer> answers) noexcept {
  if (!iid || !ppInterface) return kKalErrInvalidArg;
  for (const KalIidAnswer& a : answers) {
    if (kal_iid_equal(iid, a.iid)) {
      *ppInterface = a.itf;
      return kKalOk;
    }
  }
  *ppInterface = nullptr;
  return kKalErrNoInterface;
}
