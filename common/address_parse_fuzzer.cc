// Address texts of every protocol from arbitrary bytes. Whatever is accepted
// must print back to a text that reads to the same octets, and numeric forms
// must be their own numeric forms; nothing may read past the input
// (AddressSanitizer). Also replayed over the seed corpus by a plain test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/address_service.h"
#include "common/network_address.h"
#include "common/network_address_forms.h"
#include "common/owned.h"
#include "common/status.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_value_forms(const char* text) {
  for (EKalAddressKind kind : {EKalAddressKind::kIpv4, EKalAddressKind::kIpv6,
                               EKalAddressKind::kUdp, EKalAddressKind::kIpx}) {
    uint8_t octets[16];
    const int rc = kal_address_parse(kind, text, octets, sizeof octets);
    require(rc == kKalOk || rc == kKalErrInvalidArg);
    if (rc != kKalOk) continue;
    const size_t n = kal_address_octets(kind);
    char printed[kKalAddressTextSize];
    require(kal_address_print(kind, octets, n, printed, sizeof printed) == kKalOk);
    uint8_t again[16];
    require(kal_address_parse(kind, printed, again, sizeof again) == kKalOk);
    require(std::memcmp(octets, again, n) == 0);
    uint32_t subids[20];
    size_t count = 0;
    require(kal_address_to_index(kind, octets, n, false, subids, 20, &count) == kKalOk);
    size_t used = 0;
    require(kal_address_from_index(kind, subids, count, false, again, sizeof again, &used) ==
            kKalOk);
    require(used == count && std::memcmp(octets, again, n) == 0);
  }
  uint8_t group[16];
  if (kal_read_ipv6_groups(text, group) == kKalOk) {
    char printed[kKalAddressTextSize];
    require(kal_address_print(EKalAddressKind::kIpv6, group, 16, printed, sizeof printed) == 0);
    uint8_t again[16];
    require(kal_read_ipv6_groups(printed, again) == kKalOk);
    require(std::memcmp(group, again, 16) == 0);
  }
}

void check_service(const IKalAddressService* service, const char* text) {
  IKalNetworkAddress::EProtocol protocol = IKalNetworkAddress::Unknown;
  const int rc = service->get_protocol(text, &protocol);
  require(rc == kKalOk || rc == kKalErrGeneral || rc == kKalErrNoData);
  IKalText* raw = nullptr;
  const int nrc = service->to_numeric(text, &raw);
  KalOwned<IKalText> numeric(raw);
  require(nrc == rc);
  if (rc != kKalOk) return;
  require(protocol != IKalNetworkAddress::Unknown && numeric && numeric->text());
  IKalText* again_raw = nullptr;
  require(service->to_numeric(numeric->text(), &again_raw) == kKalOk);
  KalOwned<IKalText> again(again_raw);
  require(again->equals(numeric.get()));
  IKalNetworkAddress::EProtocol again_protocol = IKalNetworkAddress::Unknown;
  require(service->get_protocol(numeric->text(), &again_protocol) == kKalOk);
  require(again_protocol == protocol);
}

void check_address(const char* text) {
  KalOwned<IKalNetworkAddress> a(kal_create_network_address());
  if (!a || a->set_address(text) != kKalOk) return;
  IKalNetworkAddress* raw = nullptr;
  require(a->clone(&raw) == kKalOk);
  KalOwned<IKalNetworkAddress> copy(raw);
  require(copy->equals(a.get()));
  // Stored text never keeps an upper-case hexadecimal letter.
  for (const char* p = a->text(); p && *p; ++p) require(!(*p >= 'A' && *p <= 'F'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 256) return 0;  // address texts are short; keep runs fast
  const std::string text(reinterpret_cast<const char*>(data), size);
  check_value_forms(text.c_str());
  static IKalAddressService* resolver =
      kal_create_address_service(EKalAddressServiceKind::kResolver);
  static IKalAddressService* legacy = kal_create_address_service(EKalAddressServiceKind::kLegacy);
  check_service(resolver, text.c_str());
  check_service(legacy, text.c_str());
  check_address(text.c_str());
  return 0;
}
