#include "tools/zelctl/agent_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>

namespace zelctl {
namespace {

constexpr uint8_t kTagInteger = 0x02, kTagOctets = 0x04, kTagNull = 0x05, kTagOid = 0x06,
                  kTagSequence = 0x30, kTagGet = 0xa0, kTagResponse = 0xa2;
// 1.3.6.1.2.1.1.2.0 and 1.3.6.1.2.1.1.1.0 in BER.
const std::vector<uint8_t> kSysObjectId = {0x2b, 6, 1, 2, 1, 1, 2, 0};
const std::vector<uint8_t> kSysDescr = {0x2b, 6, 1, 2, 1, 1, 1, 0};
constexpr size_t kMaxOidArcs = 128;

void put_tlv(uint8_t tag, const std::vector<uint8_t>& body, std::vector<uint8_t>* out) {
  out->push_back(tag);
  const size_t n = body.size();
  if (n < 0x80) {
    out->push_back(static_cast<uint8_t>(n));
  } else if (n <= 0xff) {
    out->insert(out->end(), {0x81, static_cast<uint8_t>(n)});
  } else {
    out->insert(out->end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
  }
  out->insert(out->end(), body.begin(), body.end());
}

std::vector<uint8_t> tlv(uint8_t tag, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out;
  put_tlv(tag, body, &out);
  return out;
}

std::vector<uint8_t> integer(int32_t v) {
  std::vector<uint8_t> b;
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  // Minimal form: drop leading bytes that only repeat the sign.
  while (b.size() > 1 && ((b[0] == 0 && !(b[1] & 0x80)) || (b[0] == 0xff && (b[1] & 0x80))))
    b.erase(b.begin());
  return tlv(kTagInteger, b);
}

// A bounded reader of BER: every length is checked against what is left.
struct Reader {
  const uint8_t* p;
  size_t n;

  bool next(uint8_t* tag, Reader* body) {
    if (n < 2) return false;
    size_t len = p[1], head = 2;
    if (len & 0x80) {
      const size_t k = len & 0x7f;
      if (k == 0 || k > 3 || n < 2 + k) return false;
      len = 0;
      for (size_t i = 0; i < k; ++i) len = (len << 8) | p[2 + i];
      head = 2 + k;
    }
    if (len > n - head) return false;
    *tag = p[0];
    *body = Reader{p + head, len};
    p += head + len;
    n -= head + len;
    return true;
  }
  bool expect(uint8_t want, Reader* body) {
    uint8_t tag = 0;
    return next(&tag, body) && tag == want;
  }
  bool integer(int64_t* v) {
    Reader b{};
    if (!expect(kTagInteger, &b) || b.n == 0 || b.n > 5) return false;
    int64_t x = (b.p[0] & 0x80) ? -1 : 0;
    for (size_t i = 0; i < b.n; ++i) x = static_cast<int64_t>(static_cast<uint64_t>(x) << 8) | b.p[i];
    *v = x;
    return true;
  }
};

// Dotted text of a BER object identifier, or "" when it is malformed.
std::string oid_text(const Reader& b) {
  std::string out;
  uint64_t v = 0;
  size_t arcs = 0;
  bool first = true;
  for (size_t i = 0; i < b.n; ++i) {
    if (v > (0xffffffffull >> 7)) return "";
    v = (v << 7) | (b.p[i] & 0x7f);
    if (b.p[i] & 0x80) continue;
    if (++arcs > kMaxOidArcs) return "";
    if (first) {
      const uint64_t top = v < 40 ? 0 : v < 80 ? 1 : 2;
      out = std::to_string(top) + "." + std::to_string(v - top * 40);
      first = false;
    } else {
      out += "." + std::to_string(v);
    }
    v = 0;
  }
  if (b.n == 0 || (b.p[b.n - 1] & 0x80)) return "";
  return out;
}

// Printable text: control bytes become spaces, at most kMaxSysDescr bytes.
std::string printable(const Reader& b) {
  std::string out;
  for (size_t i = 0; i < b.n && out.size() < kMaxSysDescr; ++i) {
    const uint8_t ch = b.p[i];
    out.push_back(ch < 0x20 || ch == 0x7f ? ' ' : static_cast<char>(ch));
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool same(const Reader& b, const std::vector<uint8_t>& want) {
  return b.n == want.size() && std::memcmp(b.p, want.data(), b.n) == 0;
}

}  // namespace

std::vector<uint8_t> encode_agent_probe(const std::string& community, int32_t request_id) {
  std::vector<uint8_t> bindings;
  for (const auto* oid : {&kSysObjectId, &kSysDescr}) {
    std::vector<uint8_t> binding = tlv(kTagOid, *oid);
    put_tlv(kTagNull, {}, &binding);
    put_tlv(kTagSequence, binding, &bindings);
  }
  std::vector<uint8_t> pdu = integer(request_id);
  for (const int32_t zero : {0, 0}) {
    const auto z = integer(zero);
    pdu.insert(pdu.end(), z.begin(), z.end());
  }
  put_tlv(kTagSequence, bindings, &pdu);
  std::vector<uint8_t> message = integer(0);  // SNMPv1
  put_tlv(kTagOctets, std::vector<uint8_t>(community.begin(), community.end()), &message);
  put_tlv(kTagGet, pdu, &message);
  return tlv(kTagSequence, message);
}

bool decode_agent_answer(const uint8_t* data, size_t size, const std::string& community,
                         int32_t request_id, AgentAnswer* answer) {
  Reader whole{data, size}, message{}, text{}, pdu{}, list{};
  int64_t version = -1, id = -1, error_status = 0, error_index = 0;
  if (!whole.expect(kTagSequence, &message) || !message.integer(&version) || version != 0)
    return false;
  if (!message.expect(kTagOctets, &text) || text.n != community.size() ||
      std::memcmp(text.p, community.data(), text.n) != 0)
    return false;
  if (!message.expect(kTagResponse, &pdu) || !pdu.integer(&id) || id != request_id ||
      !pdu.integer(&error_status) || !pdu.integer(&error_index) ||
      !pdu.expect(kTagSequence, &list))
    return false;
  answer->sys_object_id.clear();
  answer->sys_descr.clear();
  // An agent that knows one object but not the other answers noSuchName for
  // the whole request in SNMPv1: it still answered.
  if (error_status != 0) return true;
  for (int i = 0; i < 2 && list.n > 0; ++i) {
    Reader binding{}, name{}, value{};
    uint8_t tag = 0;
    if (!list.expect(kTagSequence, &binding) || !binding.expect(kTagOid, &name) ||
        !binding.next(&tag, &value))
      return true;
    if (same(name, kSysObjectId) && tag == kTagOid) answer->sys_object_id = oid_text(value);
    if (same(name, kSysDescr) && tag == kTagOctets) answer->sys_descr = printable(value);
  }
  return true;
}

std::string probe_agents(const ProbeSettings& s, std::vector<AgentAnswer>* agents) {
  agents->clear();
  sockaddr_storage to{};
  socklen_t to_size = 0;
  if (s.ipv6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&to);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(161);
    if (inet_pton(AF_INET6, s.destination.c_str(), &a->sin6_addr) != 1)
      return "'" + s.destination + "' is not an IPv6 address";
    to_size = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&to);
    a->sin_family = AF_INET;
    a->sin_port = htons(161);
    if (inet_pton(AF_INET, s.destination.c_str(), &a->sin_addr) != 1)
      return "'" + s.destination + "' is not an IPv4 address";
    to_size = sizeof *a;
  }
  const int fd = socket(s.ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string("cannot open a socket: ") + std::strerror(errno);
  const int on = 1;
  if (!s.ipv6) setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  // One device asked by its address: only that address may answer.
  bool unicast = false;
  if (s.ipv6) {
    unicast = !IN6_IS_ADDR_MULTICAST(&reinterpret_cast<sockaddr_in6*>(&to)->sin6_addr);
  } else {
    const uint32_t a = ntohl(reinterpret_cast<sockaddr_in*>(&to)->sin_addr.s_addr);
    unicast = a != 0xffffffffu && (a & 0xff) != 0xff;
  }

  char destination[INET6_ADDRSTRLEN] = {};
  inet_ntop(to.ss_family,
            s.ipv6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&to)->sin6_addr)
                   : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&to)->sin_addr),
            destination, sizeof destination);

  uint32_t seed = static_cast<uint32_t>(
      std::chrono::steady_clock::now().time_since_epoch().count() ^ getpid());
  const int32_t request_id = static_cast<int32_t>((seed * 2654435761u) & 0x7fffffff);
  const std::vector<uint8_t> request = encode_agent_probe(s.community, request_id);
  std::set<std::string> seen;
  std::string failure;
  const int64_t tries = static_cast<int64_t>(s.retries) + 1;
  std::vector<uint8_t> buffer(65536);
  for (int64_t t = 0; t < tries && t < 101; ++t) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.timeout_ms);
    if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
               to_size) < 0 && failure.empty())
      failure = std::string("cannot send: ") + std::strerror(errno);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      sockaddr_storage from{};
      socklen_t from_size = sizeof from;
      const ssize_t got = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &from_size);
      if (got <= 0) continue;
      char text[INET6_ADDRSTRLEN] = {};
      uint16_t port = 0;
      if (from.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&from);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port = ntohs(a->sin_port);
      } else if (from.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&from);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
      }
      if (port != 161 || text[0] == '\0') continue;
      if (unicast && std::strcmp(text, destination) != 0) continue;
      AgentAnswer answer;
      if (!decode_agent_answer(buffer.data(), static_cast<size_t>(got), s.community,
                               request_id, &answer))
        continue;
      if (seen.size() >= kMaxProbedAgents || !seen.insert(text).second) continue;
      answer.address = text;
      agents->push_back(std::move(answer));
    }
  }
  close(fd);
  return agents->empty() ? failure : "";
}

}  // namespace zelctl
