#include "tools/zelctl/snmprec_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace zelctl {
namespace {

// snmpsim strips each line before splitting it, so text with a space at
// either end, like any control or non-ASCII octet, goes in hex.
bool plain_text(const std::string& octets) {
  if (octets.empty()) return true;
  if (octets.front() == ' ' || octets.back() == ' ') return false;
  return std::all_of(octets.begin(), octets.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7f;
  });
}

std::string hex(const std::string& octets) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(octets.size() * 2);
  for (char c : octets) {
    const auto u = static_cast<unsigned char>(c);
    out += kDigits[u >> 4];
    out += kDigits[u & 15];
  }
  return out;
}

std::vector<uint64_t> arcs(const std::string& oid) {
  std::vector<uint64_t> out;
  const char* p = oid.c_str();
  while (*p) {
    char* end = nullptr;
    const uint64_t v = std::strtoull(p, &end, 10);
    if (end == p) {  // a stray character: skip it
      ++p;
      continue;
    }
    out.push_back(v);
    p = end;
    if (*p == '.') ++p;
  }
  return out;
}

}  // namespace

std::string snmprec_type_code(int tag) {
  switch (tag) {
    case 0x02: case 0x04: case 0x05: case 0x06: case 0x40: case 0x41:
    case 0x42: case 0x43: case 0x44: case 0x46:
      return std::to_string(tag);
    default:
      return "";
  }
}

std::string snmprec_line(const SnmprecRecord& r) {
  const std::string code = snmprec_type_code(r.tag);
  if (code.empty() || r.oid.empty()) return "";
  const bool octets = r.tag == 0x04 || r.tag == 0x44;
  if (octets && (r.tag == 0x44 || !plain_text(r.value)))
    return r.oid + "|" + code + "x|" + hex(r.value);
  return r.oid + "|" + code + "|" + (r.tag == 0x05 ? "" : r.value);
}

bool oid_before(const std::string& a, const std::string& b) {
  return arcs(a) < arcs(b);
}

std::string snmprec_document(const std::vector<std::string>& header,
                             std::vector<SnmprecRecord> records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const SnmprecRecord& x, const SnmprecRecord& y) {
                     return oid_before(x.oid, y.oid);
                   });
  std::string out;
  for (const auto& h : header) {
    std::string line = h;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    out += "# " + line + "\n";
  }
  const std::string* last = nullptr;
  for (const auto& r : records) {
    if (last && *last == r.oid) continue;
    const std::string line = snmprec_line(r);
    if (line.empty()) continue;
    out += line + "\n";
    last = &r.oid;
  }
  return out;
}

}  // namespace zelctl
