// The conversions the option object applies to prtInputTable rows: chosen
// media dimensions to a medium size code (with the feed direction), and a
// tray's capacity and current level to sheets and percent. Pure functions;
// thread-safe.
#ifndef OPTIONS_MEDIUM_SIZE_H_
#define OPTIONS_MEDIUM_SIZE_H_

#include <cstddef>
#include <cstdint>

// prtInputDimUnit value for micrometres and prtInputCapacityUnit value for
// sheets (Printer MIB, RFC 3805 MediaUnit and CapacityUnit).
inline constexpr int32_t kZelDimUnitMicrometers = 4;
inline constexpr int32_t kZelCapacityUnitSheets = 8;

// What a tray reports before (or instead of) a recognised medium.
inline constexpr int32_t kZelMediumSizeUnknown = 10000;
inline constexpr int32_t kZelMediumDirectionUnknown = 1;
// Direction codes: the long side runs across the feed (2) or along it (3).
inline constexpr int32_t kZelMediumDirectionCrossFeed = 2;
inline constexpr int32_t kZelMediumDirectionFeed = 3;

// How far, in micrometres, a side may be from a table row and still match it.
inline constexpr int32_t kZelMediumTolerance = 2000;

struct ZelMediumSizeRow {
  int32_t short_side;  // micrometres
  int32_t long_side;   // micrometres
  int32_t code;        // medium size code answered to the host
};

// The 68 known media, scanned in order; the first match wins.
extern const ZelMediumSizeRow kZelMediumSizeTable[];
extern const size_t kZelMediumSizeTableRows;

// Maps chosen dimensions to a medium size code. Writes *size and *direction
// only on a match; a unit other than micrometres, a negative dimension or an
// unknown size leave the caller's values as they are. Null outs are skipped.
void zel_media_dimension_to_medium_size(int32_t unit, int32_t feed, int32_t cross_feed,
                                        int32_t* size, int32_t* direction);

// Capacity in sheets and level in percent, rounded to the nearest percent
// (half a percent rounds up).
// A unit other than sheets writes nothing. *percent is -1 when the level is
// unknown (negative) or the maximum is below one sheet. Null outs are skipped.
void zel_convert_medium_level(int32_t unit, int32_t maximum, int32_t current,
                              int32_t* maximum_out, int32_t* percent_out);

#endif  // OPTIONS_MEDIUM_SIZE_H_
