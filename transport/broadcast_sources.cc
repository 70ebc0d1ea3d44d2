// The answering hosts of one broadcast: the destination's kind, the source
// rule and the set of hosts that answered.
#include "transport/broadcast_sources.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "common/address_service.h"
#include "common/host_network.h"
#include "common/network_address.h"
#include "common/network_address_forms.h"
#include "common/owned.h"
#include "common/text.h"
#include "transport/broadcast_request.h"

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

// Whether `address` (host order) is the broadcast address of one of this
// host's IPv4 networks. False when the address table cannot be read.
bool is_local_broadcast(uint32_t address) {
  IKalHostNetwork* network = kal_host_network();
  if (!network || network->load_provider() != kKalOk) return false;
  KalAddressTable table;
  if (network->read_address_table(&table) != kKalOk) return false;
  for (const KalAddressEntry& entry : table) {
    if (entry.broadcast != 0 && entry.broadcast == address) return true;
    // Networks of /31 and /32 have no broadcast address.
    if (entry.mask < 0xfffffffeu &&
        address == ((entry.address & entry.mask) | ~entry.mask))
      return true;
  }
  return false;
}

bool ipv4_is_unicast(std::string_view text) {
  uint8_t o[4];
  if (!kal_read_ipv4_decimal(text, o)) return false;
  const uint32_t address = (uint32_t{o[0]} << 24) | (uint32_t{o[1]} << 16) |
                           (uint32_t{o[2]} << 8) | o[3];
  // An address ending in .255 is the broadcast of every network of /24 or
  // wider, also of one that is not this host's; a host numbered so in a
  // wider network is still found, by every host's answer.
  if (o[3] == 255) return false;
  if ((o[0] & 0xf0) == 0xe0) return false;  // 224.0.0.0/4
  if (address == 0) return false;           // "this host": any local source
  return !is_local_broadcast(address);
}

bool ipv6_is_unicast(std::string_view text) {
  const size_t zone = text.find('%');
  uint8_t groups[16];
  if (kal_read_ipv6_groups(text.substr(0, zone), groups) != kKalOk)
    return false;
  return groups[0] != 0xff;  // ff00::/8
}

bool ipx_is_unicast(std::string_view text) {
  uint8_t network[4], node[6];
  if (!kal_read_ipx_text(text, network, node)) return false;
  for (uint8_t octet : node) {
    if (octet != 0xff) return true;
  }
  return false;
}

bool numeric_is_unicast(IKalNetworkAddress::EProtocol protocol,
                        std::string_view text) {
  switch (protocol) {
    case IKalNetworkAddress::IPv4:
      return ipv4_is_unicast(text);
    case IKalNetworkAddress::IPv6:
      return ipv6_is_unicast(text);
    case IKalNetworkAddress::IPX:
      return ipx_is_unicast(text);
    default:
      return false;
  }
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
