// Wire constants of the SNMPv1/SNMPv2c BER codec: identifier octets of the
// universal, application and context types, the PDU type octets and the
// length forms. Written once here and shared by the writer, the reader, the
// encoder and the decoder.
#ifndef SNMP_BER_TAGS_H_
#define SNMP_BER_TAGS_H_

#include <cstdint>

// Identifier octets of the value kinds (RFC 2578 section 7.1, RFC 3416
// section 3). Each equals the tag of the matching value kind.
inline constexpr uint8_t kKasBerInteger = 0x02;
inline constexpr uint8_t kKasBerOctetString = 0x04;
inline constexpr uint8_t kKasBerNull = 0x05;
inline constexpr uint8_t kKasBerOid = 0x06;
inline constexpr uint8_t kKasBerSequence = 0x30;
inline constexpr uint8_t kKasBerIpAddress = 0x40;
inline constexpr uint8_t kKasBerCounter32 = 0x41;
inline constexpr uint8_t kKasBerGauge32 = 0x42;
inline constexpr uint8_t kKasBerTimeTicks = 0x43;
inline constexpr uint8_t kKasBerOpaque = 0x44;
inline constexpr uint8_t kKasBerCounter64 = 0x46;
inline constexpr uint8_t kKasBerIpv6Address = 0x48;  // written, never accepted
inline constexpr uint8_t kKasBerNoSuchObject = 0x80;
inline constexpr uint8_t kKasBerNoSuchInstance = 0x81;
inline constexpr uint8_t kKasBerEndOfMibView = 0x82;

// PDU identifier octets: 0xA0 + the PDU type. 0xA4 is the SNMPv1 Trap-PDU,
// 0xA7 the SNMPv2-Trap-PDU; both carry PDU type 4.
inline constexpr uint8_t kKasBerPduBase = 0xa0;
inline constexpr uint8_t kKasBerGetRequest = 0xa0;
inline constexpr uint8_t kKasBerGetNextRequest = 0xa1;
inline constexpr uint8_t kKasBerResponse = 0xa2;
inline constexpr uint8_t kKasBerSetRequest = 0xa3;
inline constexpr uint8_t kKasBerTrapV1 = 0xa4;
inline constexpr uint8_t kKasBerGetBulkRequest = 0xa5;
inline constexpr uint8_t kKasBerInformRequest = 0xa6;
inline constexpr uint8_t kKasBerTrapV2 = 0xa7;
inline constexpr uint8_t kKasBerReport = 0xa8;

// PDU types as the PDU object holds them. There is no type 7.
inline constexpr int kKasPduTypeTrap = 4;

// Message versions this codec writes and accepts.
inline constexpr int kKasSnmpVersion1 = 0;
inline constexpr int kKasSnmpVersion2c = 1;

// Length octets (X.690 8.1.3): below 0x80 the short form; 0x80 + n announces
// n length octets that follow; 0x80 alone is the indefinite form, which SNMP
// forbids (RFC 3417 section 8).
inline constexpr uint8_t kKasBerLongLength = 0x80;
inline constexpr uint8_t kKasBerIndefiniteLength = 0x80;

// The highest error-status a response may carry (inconsistentName, RFC 3416).
inline constexpr int kKasMaxErrorStatus = 18;

// The identifier octet for a PDU of `type` in a message of `version`: 0xA7
// for type 4 in a version-1 message, else 0xA0 + type.
inline constexpr uint8_t kas_ber_pdu_tag(int type, int version) {
  return (type == kKasPduTypeTrap && version == kKasSnmpVersion2c)
             ? kKasBerTrapV2
             : static_cast<uint8_t>(kKasBerPduBase + type);
}

// The PDU type of a received identifier octet, or -1 for an octet that names
// no PDU (0xA7 reads as type 4).
inline constexpr int kas_ber_pdu_type(uint8_t tag) {
  switch (tag) {
    case kKasBerGetRequest: return 0;
    case kKasBerGetNextRequest: return 1;
    case kKasBerResponse: return 2;
    case kKasBerSetRequest: return 3;
    case kKasBerTrapV1:
    case kKasBerTrapV2: return kKasPduTypeTrap;
    case kKasBerGetBulkRequest: return 5;
    case kKasBerInformRequest: return 6;
    case kKasBerReport: return 8;
    default: return -1;
  }
}

// True for the identifier octets a received binding's value may carry.
inline constexpr bool kas_ber_is_value_tag(uint8_t tag) {
  switch (tag) {
    case kKasBerInteger:
    case kKasBerOctetString:
    case kKasBerNull:
    case kKasBerOid:
    case kKasBerIpAddress:
    case kKasBerCounter32:
    case kKasBerGauge32:
    case kKasBerTimeTicks:
    case kKasBerOpaque:
    case kKasBerCounter64:
    case kKasBerNoSuchObject:
    case kKasBerNoSuchInstance:
    case kKasBerEndOfMibView: return true;
    default: return false;
  }
}

#endif  // SNMP_BER_TAGS_H_
