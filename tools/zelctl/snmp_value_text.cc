#include "tools/zelctl/snmp_value_text.h"

#include <cstdint>

#include "snmp/value.h"

namespace zelctl {

std::string raw_value_text(const IKasSnmpValue* v) {
  if (!v) return "";
  size_t n = 0;
  switch (v->tag()) {
    case kKasTagOctetString:
    case kKasTagOpaque:
    case kKasTagOid: {
      const uint8_t* p = v->get_bytes(&n);
      return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
    }
    case kKasTagInteger:
      return std::to_string(v->get_int());
    case kKasTagCounter32:
    case kKasTagGauge32:
    case kKasTagTimeTicks:
      return std::to_string(v->get_uint());
    case kKasTagCounter64:
      return std::to_string((static_cast<uint64_t>(v->get_high()) << 32) | v->get_low());
    case kKasTagIpAddress: {
      const uint32_t a = v->get_uint();
      return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
             std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
    }
    default:
      return "";
  }
}

std::string value_type_name(int tag) {
  switch (tag) {
    case kKasTagInteger: return "INTEGER";
    case kKasTagOctetString: return "OCTET STRING";
    case kKasTagNull: return "NULL";
    case kKasTagOid: return "OBJECT IDENTIFIER";
    case kKasTagIpAddress: return "IpAddress";
    case kKasTagCounter32: return "Counter32";
    case kKasTagGauge32: return "Gauge32";
    case kKasTagTimeTicks: return "TimeTicks";
    case kKasTagOpaque: return "Opaque";
    case kKasTagCounter64: return "Counter64";
    case kKasTagNoSuchObject: return "noSuchObject";
    case kKasTagNoSuchInstance: return "noSuchInstance";
    case kKasTagEndOfMibView: return "endOfMibView";
    default: return "tag " + std::to_string(tag);
  }
}

}  // namespace zelctl
