#include "tools/zelctl/address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cctype>
#include <cstring>

namespace zelctl {
namespace {

bool is_numeric(const std::string& text, int af) {
  unsigned char buf[sizeof(in6_addr)];
  return inet_pton(af, text.c_str(), buf) == 1;
}

// A host name as RFC 1123 allows it: labels of letters, digits and hyphens,
// 1 to 63 characters each, not starting or ending with a hyphen; at most 253
// characters. Anything else is refused before any resolver sees it.
bool is_host_name(const std::string& name) {
  if (name.empty() || name.size() > 253) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('.', start);
    if (end == std::string::npos) end = name.size();
    const size_t n = end - start;
    // A single trailing dot (a fully qualified name) is allowed.
    if (n == 0) return end == name.size() && start == name.size() && start != 0;
    if (n > 63 || name[start] == '-' || name[end - 1] == '-') return false;
    for (size_t i = start; i < end; ++i) {
      const unsigned char ch = static_cast<unsigned char>(name[i]);
      if (!std::isalnum(ch) && ch != '-') return false;
    }
    start = end + 1;
  }
  return true;
}

// "161" or a reason.
std::string check_port(const std::string& port, const std::string& text) {
  if (port == std::to_string(kDevicePort)) return "";
  return "'" + text + "': the device port is fixed at " + std::to_string(kDevicePort) +
         "; give the address without ':" + port + "'";
}

}  // namespace

std::string parse_device_address(const std::string& text, Family family, DeviceAddress* out) {
  *out = DeviceAddress{};
  std::string host = text;
  bool bracketed = false;
  if (!host.empty() && host.front() == '[') {
    const size_t close = host.find(']');
    if (close == std::string::npos) return "'" + text + "': missing ']'";
    const std::string rest = host.substr(close + 1);
    host = host.substr(1, close - 1);
    bracketed = true;
    if (!rest.empty()) {
      if (rest.front() != ':' || rest.size() == 1) return "'" + text + "': expected ':161' after ']'";
      if (const std::string why = check_port(rest.substr(1), text); !why.empty()) return why;
    }
    if (!is_numeric(host, AF_INET6)) return "'" + text + "': only an IPv6 address goes in brackets";
  } else if (const size_t colon = host.find(':');
             colon != std::string::npos && host.find(':', colon + 1) == std::string::npos) {
    // One colon: NAME:PORT or IPv4:PORT (an IPv6 address has at least two).
    if (const std::string why = check_port(host.substr(colon + 1), text); !why.empty())
      return why;
    host = host.substr(0, colon);
  }
  if (host.empty()) return "the address is empty";

  const bool v4 = is_numeric(host, AF_INET), v6 = is_numeric(host, AF_INET6);
  if (v4 || v6) {
    if (v4 && family == Family::kIPv6)
      return "'" + text + "' is not an IPv6 address (numeric, like 2001:db8::7)";
    if (v6 && family == Family::kIPv4)
      return "'" + text + "' is not an IPv4 address (numeric, like 192.0.2.7)";
    out->numeric = host;
    out->ipv6 = v6;
    return "";
  }
  if (bracketed || !is_host_name(host))
    return "'" + text + "' is neither an IPv4 or IPv6 address nor a host name";

  addrinfo hints{};
  hints.ai_family = family == Family::kIPv4   ? AF_INET
                    : family == Family::kIPv6 ? AF_INET6
                                              : AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || !found) {
    if (found) freeaddrinfo(found);
    const char* kind = family == Family::kIPv4   ? " (IPv4)"
                       : family == Family::kIPv6 ? " (IPv6)"
                                                 : "";
    return "cannot resolve the host name '" + host + "'" + kind + ": " +
           (rc != 0 ? gai_strerror(rc) : "no address");
  }
  // Without -4 or -6 an IPv4 address wins, as Net-SNMP's tools choose: the
  // resolver's own order puts ::1 first for "localhost" on many systems.
  const addrinfo* chosen = nullptr;
  for (const addrinfo* a = found; a && !chosen; a = a->ai_next) {
    if (a->ai_family == AF_INET) chosen = a;
  }
  for (const addrinfo* a = found; a && !chosen; a = a->ai_next) {
    if (a->ai_family == AF_INET6) chosen = a;
  }
  char numeric[INET6_ADDRSTRLEN] = {};
  bool ok = false;
  if (chosen && chosen->ai_family == AF_INET) {
    const auto* sin = reinterpret_cast<const sockaddr_in*>(chosen->ai_addr);
    ok = inet_ntop(AF_INET, &sin->sin_addr, numeric, sizeof numeric) != nullptr;
  } else if (chosen) {
    const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr);
    ok = inet_ntop(AF_INET6, &sin6->sin6_addr, numeric, sizeof numeric) != nullptr;
    out->ipv6 = ok;
  }
  freeaddrinfo(found);
  if (!ok) return "cannot resolve the host name '" + host + "': no IPv4 or IPv6 address";
  out->numeric = numeric;
  out->resolved = true;
  return "";
}

}  // namespace zelctl
