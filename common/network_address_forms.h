// Text and object-identifier index forms of the four address-valued SNMP value
// kinds (IPv4 address, IPv6 address, UDP transport address, IPX transport
// address), and the strict numeric readers the address service and the
// datagram socket share. Pure functions: no allocation, no socket call, safe
// on any thread. Readers accept exactly the documented form: no leading or
// trailing characters, no signs, no white space.
#ifndef COMMON_NETWORK_ADDRESS_FORMS_H_
#define COMMON_NETWORK_ADDRESS_FORMS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

// Dotted decimal "a.b.c.d": four runs of decimal digits, each at most 255.
// Leading zeros are read as decimal (010 is ten). Answers false otherwise.
bool kal_read_ipv4_decimal(std::string_view text, uint8_t out[4]) noexcept;

// The IPX address text "nnnnnnnn:hhhhhhhhhhhh": 21 characters, eight hex
// digits of network number, a colon, twelve hex digits of node number (either
// case). network/node may be null when only the test is wanted.
bool kal_read_ipx_text(std::string_view text, uint8_t network[4], uint8_t node[6]) noexcept;

// An IPv6 group text: eight groups of one to four hex digits separated by
// ':', where one "::" may stand for the missing zero groups (a leading or
// trailing "::" included). No zone and no dotted IPv4 tail. Answers 0 or
// kKalErrInvalidArg.
int kal_read_ipv6_groups(std::string_view text, uint8_t out[16]) noexcept;

// The four address value kinds.
enum class EKalAddressKind : int {
  kIpv4 = 0,  // 4 octets, "%d.%d.%d.%d"
  kIpv6 = 1,  // 16 octets, "%x:%x:%x:%x:%x:%x:%x:%x", no "::" compression
  kUdp = 2,   // 6 octets (address, port high byte first), "%d.%d.%d.%d/%d"
  kIpx = 3,   // 12 octets (network 4, node 6, socket 2), "%02x..:%02x../%x"
};

// Room for the longest printed form of any kind, with its NUL.
inline constexpr size_t kKalAddressTextSize = 48;

// Octet count of a kind (4, 16, 6 or 12); 0 for an unknown kind.
size_t kal_address_octets(EKalAddressKind kind) noexcept;

// Reads `text` into exactly kal_address_octets(kind) octets of `octets`
// (`size` must be at least that). Answers 0, or kKalErrInvalidArg when the
// text is null or not in the kind's form, or a number is out of range (an
// address number above 255, a port or IPX socket above 65535, an IPv6 group
// above ffff).
int kal_address_parse(EKalAddressKind kind, const char* text, uint8_t* octets,
                      size_t size) noexcept;

// Prints `count` octets (must be the kind's count) into buf[size], always
// NUL-terminated. Answers 0, or kKalErrInvalidArg for a wrong count, a null
// pointer or a buffer too small for the text.
int kal_address_print(EKalAddressKind kind, const uint8_t* octets, size_t count, char* buf,
                      size_t size) noexcept;

// The index form: UDP is preceded by the domain number 1 and IPX by 5; then a
// length (the octet count) unless the index is implied; then one
// sub-identifier per octet. Writes into subids[capacity]; *pCount receives
// the number written. Answers 0, or kKalErrInvalidArg for a wrong count, a
// null pointer or too little room.
int kal_address_to_index(EKalAddressKind kind, const uint8_t* octets, size_t count, bool implied,
                         uint32_t* subids, size_t capacity, size_t* pCount) noexcept;

// Reads an index form from the start of subids[count] into the kind's octets
// (octets[size], size at least the octet count); sub-identifiers after the
// index are left alone and *pUsed (optional) says how many were read.
// Answers 0; kKasErrBadIndex for a wrong domain number, a wrong length, a
// sub-identifier above 255 or too few sub-identifiers; kKalErrInvalidArg for
// null pointers or a small octet buffer.
int kal_address_from_index(EKalAddressKind kind, const uint32_t* subids, size_t count,
                           bool implied, uint8_t* octets, size_t size, size_t* pUsed) noexcept;

#endif  // COMMON_NETWORK_ADDRESS_FORMS_H_
