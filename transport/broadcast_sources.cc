// The answering hosts of one broadcast: the destination's kind, the source
// rule and the set of hosts that answered.
#include "transport/broadcast_sources.h"

#include <cstring>
#include <new>
#include <string_view>

#include "common/address_service.h"
#include "common/network_address.h"
#include "common/owned.h"
#include "common/text.h"
#include "transport/broadcast_request.h"
#include "transport/group_address.h"

namespace {

// The destination's numeric text (the form received datagrams' sources
// carry), or its own text when the address service cannot read it. Empty
// when there is no text.
int numeric_text(const IKalNetworkAddress* destination, std::string* out) {
  const char* text = destination ? destination->text() : nullptr;
  if (!text) {
    out->clear();
    return kKalOk;
  }
  IKalText* raw = nullptr;
  const int rc = kal_address_to_numeric(text, &raw);
  KalOwned<IKalText> numeric(raw);
  if (rc == kKalErrNoMemory) return rc;
  try {
    out->assign(numeric && numeric->text() ? numeric->text() : text);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  return kKalOk;
}

bool numeric_is_unicast(IKalNetworkAddress::EProtocol protocol,
                        std::string_view text) {
  return !kas_is_discovery_group(protocol, text);
}

}  // namespace

bool kas_destination_is_unicast(const IKalNetworkAddress* destination) {
  std::string text;
  if (!destination || numeric_text(destination, &text) != kKalOk ||
      text.empty())
    return false;
  return numeric_is_unicast(destination->get_protocol(), text);
}

int BroadcastSources::prepare(const IKalNetworkAddress* destination) {
  destination_ = destination;
  hosts_.clear();
  const int rc = numeric_text(destination, &host_);
  if (rc != kKalOk) return rc;
  unicast_ = destination && !host_.empty() &&
             numeric_is_unicast(destination->get_protocol(), host_);
  return kKalOk;
}

bool BroadcastSources::passes(const IKalNetworkAddress* source) const {
  if (!kas_broadcast_source_passes(destination_, source)) return false;
  if (!unicast_) return true;
  const char* text = source->text();
  return text && host_ == text;
}

int BroadcastSources::answered(const char* host, bool* pAnswered) const {
  *pAnswered = false;
  if (!host) return kKalErrInvalidArg;
  try {
    *pAnswered = hosts_.find(host) != hosts_.end();
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  return kKalOk;
}

int BroadcastSources::add(const char* host) {
  if (!host) return kKalErrInvalidArg;
  try {
    hosts_.insert(host);
  } catch (const std::bad_alloc&) {
    return kKalErrNoMemory;
  }
  return kKalOk;
}
