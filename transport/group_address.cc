#include "transport/group_address.h"

#include <cstdint>
#include <string_view>

#include "common/host_network.h"
#include "common/network_address.h"
#include "common/network_address_forms.h"

namespace {

// A subnet's directed broadcast: all host bits set. Subnets of /31 and /32
// have no broadcast address.
bool is_subnet_broadcast(uint32_t address) {
  IKalHostNetwork* network = kal_host_network();
  if (!network || network->load_provider() != kKalOk) return false;
  KalAddressTable table;
  if (network->read_address_table(&table) != kKalOk) return false;
  for (const KalAddressEntry& entry : table) {
    if (entry.broadcast != 0 && entry.broadcast == address) return true;
    const uint32_t mask = entry.mask;
    if (mask == 0 || mask >= 0xfffffffeu) continue;
    if ((address & mask) == (entry.address & mask) && (address | mask) == ~0u) return true;
  }
  return false;
}

bool read_ipv4(std::string_view text, uint8_t (&o)[4], uint32_t* address) {
  if (!kal_read_ipv4_decimal(text, o)) return false;
  *address = (uint32_t{o[0]} << 24) | (uint32_t{o[1]} << 16) |
             (uint32_t{o[2]} << 8) | uint32_t{o[3]};
  return true;
}

bool is_ipv4_group(std::string_view text) {
  uint8_t o[4] = {};
  uint32_t address = 0;
  if (!read_ipv4(text, o, &address)) return false;
  if (address == 0xffffffffu) return true;
  if ((o[0] & 0xf0) == 0xe0) return true;  // 224.0.0.0/4
  return is_subnet_broadcast(address);
}

bool is_ipv6_group(std::string_view text) {
  const size_t zone = text.find('%');
  if (zone != std::string_view::npos) text = text.substr(0, zone);
  uint8_t o[16] = {};
  return kal_read_ipv6_groups(text, o) == kKalOk && o[0] == 0xff;
}

bool is_ipx_group(std::string_view text) {
  uint8_t node[6] = {};
  if (!kal_read_ipx_text(text, nullptr, node)) return false;
  for (uint8_t b : node) {
    if (b != 0xff) return false;
  }
  return true;
}

}  // namespace

bool kas_is_group_address(const IKalNetworkAddress* address) {
  const char* text = address ? address->text() : nullptr;
  if (!text) return false;
  switch (address->get_protocol()) {
    case IKalNetworkAddress::IPv4: return is_ipv4_group(text);
    case IKalNetworkAddress::IPv6: return is_ipv6_group(text);
    case IKalNetworkAddress::IPX: return is_ipx_group(text);
    default: return false;
  }
}

bool kas_is_discovery_group(IKalNetworkAddress::EProtocol protocol,
                            std::string_view text) {
  switch (protocol) {
    case IKalNetworkAddress::IPv4: {
      uint8_t o[4] = {};
      uint32_t address = 0;
      if (!read_ipv4(text, o, &address)) return true;
      if (o[3] == 255 || address == 0) return true;
      return is_ipv4_group(text);
    }
    case IKalNetworkAddress::IPv6: {
      uint8_t o[16] = {};
      const std::string_view bare = text.substr(0, text.find('%'));
      return kal_read_ipv6_groups(bare, o) != kKalOk || o[0] == 0xff;
    }
    case IKalNetworkAddress::IPX: {
      uint8_t node[6] = {};
      return !kal_read_ipx_text(text, nullptr, node) || is_ipx_group(text);
    }
    default:
      return true;
  }
}
