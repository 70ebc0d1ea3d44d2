// The character-set lookup: the Printer MIB's current localization (or the
// vendor's) names a row of the localization table, whose character-set
// column holds the coded character set the device writes its texts in. The
// job reader uses the vendor form to pick the strings of its string table.
#ifndef PLUGIN_CHARSET_READER_H_
#define PLUGIN_CHARSET_READER_H_

#include <cstddef>
#include <cstdint>

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

// Standard: prtGeneralCurrentLocalization -> prtLocalizationCharacterSet.
inline constexpr char kZelStdCharSetIndexColumn[] = "1.3.6.1.2.1.43.5.1.1.2";
inline constexpr char kZelStdCharSetTargetColumn[] = "1.3.6.1.2.1.43.7.1.1.4";
// Vendor: the vendor's current localization and character-set columns.
inline constexpr char kZelVendorCharSetIndexColumn[] = "1.3.6.1.4.1.61801.8.51.3.1.1.1";
inline constexpr char kZelVendorCharSetTargetColumn[] = "1.3.6.1.4.1.61801.8.51.4.1.1.7";

// "target.g.f" into out[size]: the character-set object of the localization
// f of the row g. false when it does not fit.
bool zel_char_set_oid(const char* target, uint32_t g, int32_t f, char* out, size_t size) noexcept;

// Walks `indexColumn`; for each row (g = the row's first index
// sub-identifier, f = its value) reads the integer at target.g.f into *out
// with a request of its own. The last row's answer stays in *out (unchanged when
// the walk finds no row). Any failure ends the loop and is answered.
int zel_char_set_lookup(const CZelDevice& device, const char* indexColumn,
                        const char* targetColumn, int32_t* out) noexcept;
// The same, its gets made through `gets` (the walk's request object is
// handed to it once the walk has ended).
int zel_char_set_lookup(const CZelDevice& device, const char* indexColumn,
                        const char* targetColumn, int32_t* out, ZelSingleGets* gets) noexcept;

// ZelGetCharSet: selector 0 reads the standard character set into the device
// object, 1 the vendor's; on success the value is copied to *charSet.
// kKalErrInvalidArg for another selector (no traffic).
int zel_get_char_set(CZelDevice& device, uint32_t selector, int32_t* charSet) noexcept;

#endif  // PLUGIN_CHARSET_READER_H_
