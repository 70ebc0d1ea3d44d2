#include "options/medium_size.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

// Short and long side in micrometres (ISO 216 A and B series, JIS B, North
// American sizes and envelopes).
const ZelMediumSizeRow kZelMediumSizeTable[] = {
    {215900, 279400, 1},       {215900, 355600, 2},      {254000, 330200, 3},
    {228600, 304800, 4},       {104775, 241300, 5},      {177800, 228600, 6},
    {228600, 279400, 7},       {254000, 355600, 8},      {152400, 228600, 10},
    {254000, 381000, 11},      {431800, 558800, 15},     {558800, 863600, 16},
    {863600, 1117600, 17},     {841000, 1189000, 21},    {594000, 841000, 22},
    {420000, 594000, 23},      {297000, 420000, 24},     {210000, 297000, 25},
    {148000, 210000, 26},      {105000, 148000, 27},     {74000, 105000, 28},
    {52000, 74000, 29},        {37000, 52000, 30},       {26000, 37000, 31},
    {1000000, 1414000, 41},    {707000, 1000000, 42},    {500000, 707000, 43},
    {353000, 500000, 44},      {250000, 353000, 45},     {176000, 250000, 46},
    {125000, 176000, 47},      {88000, 125000, 48},      {62000, 88000, 49},
    {44000, 62000, 50},        {31000, 44000, 51},       {917000, 1297000, 61},
    {648000, 917000, 62},      {458000, 648000, 63},     {324000, 458000, 64},
    {229000, 324000, 65},      {162000, 229000, 66},     {114000, 162000, 67},
    {81000, 114000, 68},       {57000, 81000, 69},       {110000, 220000, 70},
    {1030000, 1456000, 81},    {728000, 1030000, 82},    {515000, 728000, 83},
    {364000, 515000, 84},      {257000, 364000, 85},     {182000, 257000, 86},
    {128000, 182000, 87},      {91000, 128000, 88},      {64000, 91000, 89},
    {45000, 64000, 90},        {32000, 45000, 91},       {279400, 431800, 10001},
    {215900, 330200, 10002},   {100000, 148000, 10003},  {267000, 388000, 10005},
    {194000, 267000, 10006},   {140000, 215900, 10007},  {203200, 254000, 10008},
    {304800, 457200, 10009},   {304800, 482600, 10010},  {320000, 457200, 10011},
    {320000, 450000, 10012},   {120000, 235000, 10013},
};
const size_t kZelMediumSizeTableRows = sizeof(kZelMediumSizeTable) / sizeof(kZelMediumSizeTable[0]);

namespace {

// Differences in 64 bits: the dimensions come from the device and may be
// anywhere in the 32-bit range.
bool near(int32_t a, int32_t b) {
  return std::llabs(static_cast<long long>(a) - b) <= kZelMediumTolerance;
}

}  // namespace

void zel_media_dimension_to_medium_size(int32_t unit, int32_t feed, int32_t cross_feed,
                                        int32_t* size, int32_t* direction) {
  if (unit != kZelDimUnitMicrometers || feed < 0 || cross_feed < 0) return;
  const int32_t short_side = std::min(feed, cross_feed);
  const int32_t long_side = std::max(feed, cross_feed);
  for (size_t i = 0; i < kZelMediumSizeTableRows; ++i) {
    const ZelMediumSizeRow& row = kZelMediumSizeTable[i];
    if (near(row.short_side, short_side) && near(row.long_side, long_side)) {
      if (size) *size = row.code;
      if (direction) {
        *direction = feed >= cross_feed ? kZelMediumDirectionFeed : kZelMediumDirectionCrossFeed;
      }
      return;
    }
  }
}

void zel_convert_medium_level(int32_t unit, int32_t maximum, int32_t current,
                              int32_t* maximum_out, int32_t* percent_out) {
  if (unit != kZelCapacityUnitSheets) return;
  if (maximum_out) *maximum_out = maximum;
  if (!percent_out) return;
  if (current < 0 || maximum < 1) {
    *percent_out = -1;
    return;
  }
  // Rounded to the nearest percent: half the divisor is added before the
  // division (adding a fixed 50 would round right only for a maximum of 100
  // and report 2 of 3 sheets as 83 %). 64 bits: current * 100 overflows 32
  // bits for levels above 21 million; a level far above the maximum is held
  // at the largest answer.
  const int64_t percent =
      (static_cast<int64_t>(current) * 100 + maximum / 2) / maximum;
  *percent_out = static_cast<int32_t>(std::min<int64_t>(percent, INT32_MAX));
}
