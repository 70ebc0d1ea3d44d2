// Names for the numbers in the host records, from the Host Resources MIB
// (RFC 2790), the Printer MIB (RFC 3805) and the IANA character sets; and the
// medium sizes of the option object's tray table. Unknown numbers give their
// decimal text, so a name is never empty.
#ifndef TOOLS_ZELCTL_NAMES_H_
#define TOOLS_ZELCTL_NAMES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zelctl {

std::string storage_type_name(int32_t code);      // hrStorageType, last arc
std::string device_type_name(int32_t code);       // hrDeviceType, last arc
std::string device_status_name(int32_t status);   // hrDeviceStatus
std::string printer_status_name(int32_t status);  // hrPrinterStatus; 0: kNotReported

// The names of the bits set in a detected error state as the plug-in packs it
// (first octet of hrPrinterDetectedErrorState in the low byte; the MIB numbers
// bits from the most significant bit of each octet): "lowPaper", "jammed"...
// Bits without a name give "bit N".
std::vector<std::string> error_state_names(int32_t state);

std::string input_type_name(int32_t type);     // prtInputType
std::string output_type_name(int32_t type);    // prtOutputType
std::string media_unit_name(int32_t unit);     // prtInputDimUnit (PrtMediaUnitTC)
std::string capacity_unit_name(int32_t unit);  // PrtCapacityUnitTC
std::string supply_unit_name(int32_t unit);    // PrtMarkerSuppliesSupplyUnitTC
std::string subunit_status_name(int32_t status);  // PrtSubUnitStatusTC bits
std::string alert_severity_name(int32_t level);
std::string alert_group_name(int32_t group);
std::string alert_code_name(int32_t code);
std::string charset_name(int32_t mib_enum);    // IANA MIBenum

// The vendor's job type (1 to 12, 0 when the device sent no known type) and
// job state numbers, named as the device's own string table names them.
std::string job_type_name(int32_t type);
std::string job_state_name(int32_t state);

// What the text output shows for a value the device does not report.
inline constexpr char kNotReported[] = "not reported";

// The word for the Printer MIB's special amounts: -1 "other", -2 "unknown",
// -3 "some remaining" (at least one unit left); "" for a real amount (0 or
// more). Other negative numbers are not amounts either: "invalid".
std::string amount_word(int32_t amount);

// True when `amount` is a real amount (0 or more), not one of the MIB's
// special values.
inline bool is_amount(int32_t amount) { return amount >= 0; }

// A date and time as ISO 8601 ("2021-06-01T00:31:00"), or "" when the
// device sent none (all fields zero) or the fields are out of range.
struct ZelDateTimeFields {
  int year, month, day, hour, minute, second;
};
std::string iso_date_time(const ZelDateTimeFields& t);

// A medium size code as the option object reports it (1 Letter, 25 A4...).
std::string medium_size_name(int32_t code);

// The medium size that the chosen dimensions of a tray name, or "" when the
// unit is not micrometres (4) or ten-thousandths of an inch (3) or no known
// size is within 2 mm. Dimensions in either orientation.
std::string media_size_from_dimensions(int32_t unit, int32_t feed, int32_t cross_feed);

// A supply or tray level in percent of its maximum, or -1 when either is not
// a real amount (the MIB's -1 other, -2 unknown, -3 some remaining).
int percent_of(int32_t level, int32_t max);

// A bar of `width` cells for a percentage (0..100): "[#######...]"; "" for
// a negative percentage (no real level to draw).
std::string level_bar(int percent, int width);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_NAMES_H_
