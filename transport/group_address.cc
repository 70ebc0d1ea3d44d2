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

bool is_ipv4_group(std::string_view text) {
  uint8_t o[4] = {};
  if (!kal_read_ipv4_decimal(text, o)) return false;
  const uint32_t address = (uint32_t{o[0]} << 24) | (uint32_t{o[1]} << 16) |
                           (uint32_t{o[2]} << 8) | uint32_t{o[3]};
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
