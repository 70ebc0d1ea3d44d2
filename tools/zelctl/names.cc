#include "tools/zelctl/names.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace zelctl {
namespace {

using NameMap = std::map<int32_t, const char*>;

std::string lookup(const NameMap& names, int32_t code) {
  const auto it = names.find(code);
  return it != names.end() ? std::string(it->second) : std::to_string(code);
}

}  // namespace

std::string storage_type_name(int32_t code) {
  static const NameMap names = {{0, "unrecognised"}, {1, "other"}, {2, "ram"},
                                {3, "virtualMemory"}, {4, "fixedDisk"},
                                {5, "removableDisk"}, {6, "floppyDisk"},
                                {7, "compactDisc"}, {8, "ramDisk"}};
  return lookup(names, code);
}

std::string device_type_name(int32_t code) {
  static const NameMap names = {
      {0, "unrecognised"}, {1, "other"}, {2, "unknown"}, {3, "processor"},
      {4, "network"}, {5, "printer"}, {6, "diskStorage"}, {10, "video"},
      {11, "audio"}, {12, "coprocessor"}, {13, "keyboard"}, {14, "modem"},
      {15, "parallelPort"}, {16, "pointing"}, {17, "serialPort"}, {18, "tape"},
      {19, "clock"}, {20, "volatileMemory"}, {21, "nonVolatileMemory"}};
  if (code >= 101 && code <= 207) return "vendor-" + std::to_string(code);
  return lookup(names, code);
}

std::string device_status_name(int32_t status) {
  static const NameMap names = {{1, "unknown"}, {2, "running"}, {3, "warning"},
                                {4, "testing"}, {5, "down"}};
  return lookup(names, status);
}

std::string printer_status_name(int32_t status) {
  // No hrPrinterTable row leaves the plug-in's record at 0.
  static const NameMap names = {{0, kNotReported}, {1, "other"}, {2, "unknown"},
                                {3, "idle"}, {4, "printing"}, {5, "warmup"}};
  return lookup(names, status);
}

std::vector<std::string> error_state_names(int32_t state) {
  static const char* const kBits[16] = {
      "lowPaper", "noPaper", "lowToner", "noToner", "doorOpen", "jammed",
      "offline", "serviceRequested", "inputTrayMissing", "outputTrayMissing",
      "markerSupplyMissing", "outputNearFull", "outputFull", "inputTrayEmpty",
      "overduePreventMaint", nullptr};
  std::vector<std::string> out;
  const uint32_t v = static_cast<uint32_t>(state);
  for (int bit = 0; bit < 32; ++bit) {
    // MIB bit n is bit (7 - n % 8) of octet n / 8; octet k is byte k here.
    const uint32_t mask = (0x80u >> (bit % 8)) << (8 * (bit / 8));
    if ((v & mask) == 0) continue;
    out.push_back(bit < 16 && kBits[bit] ? kBits[bit] : "bit " + std::to_string(bit));
  }
  return out;
}

std::string input_type_name(int32_t type) {
  static const NameMap names = {{1, "other"}, {2, "unknown"},
                                {3, "sheetFeedAutoRemovableTray"},
                                {4, "sheetFeedAutoNonRemovableTray"},
                                {5, "sheetFeedManual"}, {6, "continuousRoll"},
                                {7, "continuousFanFold"}};
  return lookup(names, type);
}

std::string output_type_name(int32_t type) {
  static const NameMap names = {{1, "other"}, {2, "unknown"}, {3, "removableBin"},
                                {4, "unRemovableBin"}, {5, "continuousRollDevice"},
                                {6, "mailBox"}, {7, "continuousFanFold"}};
  return lookup(names, type);
}

std::string media_unit_name(int32_t unit) {
  static const NameMap names = {{3, "tenThousandthsOfInches"}, {4, "micrometers"}};
  return lookup(names, unit);
}

std::string capacity_unit_name(int32_t unit) {
  static const NameMap names = {{1, "other"}, {2, "unknown"},
                                {3, "tenThousandthsOfInches"}, {4, "micrometers"},
                                {8, "sheets"}, {16, "feet"}, {17, "meters"},
                                {18, "items"}, {19, "percent"}};
  return lookup(names, unit);
}

std::string supply_unit_name(int32_t unit) {
  static const NameMap names = {
      {1, "other"}, {2, "unknown"}, {3, "tenThousandthsOfInches"},
      {4, "micrometers"}, {7, "impressions"}, {8, "sheets"}, {11, "hours"},
      {12, "thousandthsOfOunces"}, {13, "tenthsOfGrams"},
      {14, "hundrethsOfFluidOunces"}, {15, "tenthsOfMilliliters"}, {16, "feet"},
      {17, "meters"}, {18, "items"}, {19, "percent"}};
  return lookup(names, unit);
}

std::string subunit_status_name(int32_t status) {
  if (status < 0) return std::to_string(status);
  static const NameMap availability = {
      {0, "available, idle"}, {1, "unavailable, on request"},
      {2, "available, standby"}, {3, "unavailable, broken"},
      {4, "available, active"}, {5, "unknown"}, {6, "available, busy"},
      {7, "unavailable"}};
  std::string text = lookup(availability, status & 7);
  if (status & 8) text += ", non-critical alerts";
  if (status & 16) text += ", critical alerts";
  if (status & 32) text += ", off-line";
  if (status & 64) text += ", transitioning";
  return text;
}

std::string alert_severity_name(int32_t level) {
  static const NameMap names = {{1, "other"}, {3, "critical"}, {4, "warning"},
                                {5, "warningBinaryChangeEvent"}};
  return lookup(names, level);
}

std::string alert_group_name(int32_t group) {
  static const NameMap names = {
      {1, "other"}, {3, "hostResourcesMIBStorageTable"},
      {4, "hostResourcesMIBDeviceTable"}, {5, "generalPrinter"}, {6, "cover"},
      {7, "localization"}, {8, "input"}, {9, "output"}, {10, "marker"},
      {11, "markerSupplies"}, {12, "markerColorant"}, {13, "mediaPath"},
      {14, "channel"}, {15, "interpreter"}, {16, "consoleDisplayBuffer"},
      {17, "consoleLights"}, {18, "alert"}, {30, "finDevice"}, {31, "finSupply"},
      {32, "finSupplyMediaInput"}, {33, "finAttributeTable"}};
  return lookup(names, group);
}

std::string alert_code_name(int32_t code) {
  static const NameMap names = {
      {1, "other"}, {2, "unknown"}, {3, "coverOpen"}, {4, "coverClosed"},
      {5, "interlockOpen"}, {6, "interlockClosed"}, {7, "configurationChange"},
      {8, "jam"}, {9, "subunitMissing"}, {10, "subunitLifeAlmostOver"},
      {11, "subunitLifeOver"}, {12, "subunitAlmostEmpty"}, {13, "subunitEmpty"},
      {14, "subunitAlmostFull"}, {15, "subunitFull"}, {16, "subunitNearLimit"},
      {17, "subunitAtLimit"}, {18, "subunitOpened"}, {19, "subunitClosed"},
      {20, "subunitTurnedOn"}, {21, "subunitTurnedOff"}, {22, "subunitOffline"},
      {23, "subunitPowerSaver"}, {24, "subunitWarmingUp"}, {25, "subunitAdded"},
      {26, "subunitRemoved"}, {27, "subunitResourceAdded"},
      {28, "subunitResourceRemoved"}, {29, "subunitRecoverableFailure"},
      {30, "subunitUnrecoverableFailure"}, {31, "subunitRecoverableStorageError"},
      {32, "subunitUnrecoverableStorageError"}, {33, "subunitMotorFailure"},
      {34, "subunitMemoryExhausted"}, {35, "subunitUnderTemperature"},
      {36, "subunitOverTemperature"}, {37, "subunitTimingFailure"},
      {38, "subunitThermistorFailure"}, {501, "doorOpen"}, {502, "doorClosed"},
      {503, "powerUp"}, {504, "powerDown"}, {505, "printerNMSReset"},
      {506, "printerManualReset"}, {507, "printerReadyToPrint"},
      {801, "inputMediaTrayMissing"}, {802, "inputMediaSizeChange"},
      {803, "inputMediaWeightChange"}, {804, "inputMediaTypeChange"},
      {805, "inputMediaColorChange"}, {806, "inputMediaFormPartsChange"},
      {807, "inputMediaSupplyLow"}, {808, "inputMediaSupplyEmpty"},
      {809, "inputMediaChangeRequest"}, {810, "inputManualInputRequest"},
      {811, "inputTrayPositionFailure"}, {812, "inputTrayElevationFailure"},
      {813, "inputCannotFeedSizeSelected"}, {901, "outputMediaTrayMissing"},
      {902, "outputMediaTrayAlmostFull"}, {903, "outputMediaTrayFull"},
      {904, "outputMailboxSelectFailure"}, {1001, "markerFuserUnderTemperature"},
      {1002, "markerFuserOverTemperature"}, {1003, "markerFuserTimingFailure"},
      {1004, "markerFuserThermistorFailure"}, {1005, "markerAdjustingPrintQuality"},
      {1101, "markerTonerEmpty"}, {1102, "markerInkEmpty"},
      {1103, "markerPrintRibbonEmpty"}, {1104, "markerTonerAlmostEmpty"},
      {1105, "markerInkAlmostEmpty"}, {1106, "markerPrintRibbonAlmostEmpty"},
      {1107, "markerWasteTonerReceptacleAlmostFull"},
      {1108, "markerWasteInkReceptacleAlmostFull"},
      {1109, "markerWasteTonerReceptacleFull"}, {1110, "markerWasteInkReceptacleFull"},
      {1111, "markerOpcLifeAlmostOver"}, {1112, "markerOpcLifeOver"},
      {1113, "markerDeveloperAlmostEmpty"}, {1114, "markerDeveloperEmpty"},
      {1115, "markerTonerCartridgeMissing"}, {1301, "mediaPathMediaTrayMissing"},
      {1302, "mediaPathMediaTrayAlmostFull"}, {1303, "mediaPathMediaTrayFull"},
      {1304, "mediaPathCannotDuplexMediaSelected"}, {1501, "interpreterMemoryIncrease"},
      {1502, "interpreterMemoryDecrease"}, {1503, "interpreterCartridgeAdded"},
      {1504, "interpreterCartridgeDeleted"}, {1505, "interpreterResourceAdded"},
      {1506, "interpreterResourceDeleted"}, {1507, "interpreterResourceUnavailable"},
      {1509, "interpreterComplexPageEncountered"}, {1801, "alertRemovalOfBinaryChangeEntry"}};
  return lookup(names, code);
}

std::string job_type_name(int32_t type) {
  static const NameMap names = {{0, "unknown"}, {1, "scan"}, {2, "copy"},
                                {4, "print"}, {12, "fax"}};
  return lookup(names, type);
}

std::string job_state_name(int32_t state) {
  // 17 is the state of the finished jobs, the second job list.
  static const NameMap names = {{3, "waiting"}, {5, "processing"}, {17, "completed"}};
  return lookup(names, state);
}

std::string amount_word(int32_t amount) {
  if (amount >= 0) return "";
  static const NameMap names = {{-1, "other"}, {-2, "unknown"}, {-3, "some remaining"}};
  const auto it = names.find(amount);
  return it != names.end() ? it->second : "invalid";
}

std::string iso_date_time(const ZelDateTimeFields& t) {
  if (t.year == 0 && t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 &&
      t.second == 0)
    return "";
  // DateAndTime allows a leap second (60).
  if (t.year < 0 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 60)
    return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buf;
}

std::string charset_name(int32_t mib_enum) {
  static const NameMap names = {
      {0, "none"}, {1, "other"}, {2, "unknown"}, {3, "US-ASCII"},
      {4, "ISO-8859-1"}, {5, "ISO-8859-2"}, {17, "Shift_JIS"}, {18, "EUC-JP"},
      {36, "KS_C_5601-1987"}, {38, "EUC-KR"}, {106, "UTF-8"},
      {1000, "ISO-10646-UCS-2"}, {1013, "UTF-16BE"}, {1015, "UTF-16"},
      {2025, "GB2312"}, {2026, "Big5"}, {2252, "windows-1252"}, {113, "GBK"},
      {114, "GB18030"}};
  return lookup(names, mib_enum);
}

namespace {

struct MediumSize {
  int32_t short_um, long_um, code;
  const char* name;
};

// The option object's medium size table, with the usual names of the sizes.
constexpr MediumSize kMediumSizes[] = {
    {215900, 279400, 1, "Letter"}, {215900, 355600, 2, "Legal"},
    {254000, 330200, 3, "10x13in"}, {228600, 304800, 4, "9x12in"},
    {104775, 241300, 5, "Envelope #10"}, {177800, 228600, 6, "7x9in"},
    {228600, 279400, 7, "9x11in"}, {254000, 355600, 8, "10x14in"},
    {152400, 228600, 10, "6x9in"}, {254000, 381000, 11, "10x15in"},
    {431800, 558800, 15, "ANSI C"}, {558800, 863600, 16, "ANSI D"},
    {863600, 1117600, 17, "ANSI E"}, {841000, 1189000, 21, "A0"},
    {594000, 841000, 22, "A1"}, {420000, 594000, 23, "A2"},
    {297000, 420000, 24, "A3"}, {210000, 297000, 25, "A4"},
    {148000, 210000, 26, "A5"}, {105000, 148000, 27, "A6"},
    {74000, 105000, 28, "A7"}, {52000, 74000, 29, "A8"}, {37000, 52000, 30, "A9"},
    {26000, 37000, 31, "A10"}, {1000000, 1414000, 41, "ISO B0"},
    {707000, 1000000, 42, "ISO B1"}, {500000, 707000, 43, "ISO B2"},
    {353000, 500000, 44, "ISO B3"}, {250000, 353000, 45, "ISO B4"},
    {176000, 250000, 46, "ISO B5"}, {125000, 176000, 47, "ISO B6"},
    {88000, 125000, 48, "ISO B7"}, {62000, 88000, 49, "ISO B8"},
    {44000, 62000, 50, "ISO B9"}, {31000, 44000, 51, "ISO B10"},
    {917000, 1297000, 61, "C0"}, {648000, 917000, 62, "C1"},
    {458000, 648000, 63, "C2"}, {324000, 458000, 64, "C3"},
    {229000, 324000, 65, "C4"}, {162000, 229000, 66, "C5"},
    {114000, 162000, 67, "C6"}, {81000, 114000, 68, "C7"}, {57000, 81000, 69, "C8"},
    {110000, 220000, 70, "DL"}, {1030000, 1456000, 81, "JIS B0"},
    {728000, 1030000, 82, "JIS B1"}, {515000, 728000, 83, "JIS B2"},
    {364000, 515000, 84, "JIS B3"}, {257000, 364000, 85, "JIS B4"},
    {182000, 257000, 86, "JIS B5"}, {128000, 182000, 87, "JIS B6"},
    {91000, 128000, 88, "JIS B7"}, {64000, 91000, 89, "JIS B8"},
    {45000, 64000, 90, "JIS B9"}, {32000, 45000, 91, "JIS B10"},
    {279400, 431800, 10001, "Tabloid"}, {215900, 330200, 10002, "Folio"},
    {100000, 148000, 10003, "Postcard"}, {267000, 388000, 10005, "8K"},
    {194000, 267000, 10006, "16K"}, {140000, 215900, 10007, "Statement"},
    {203200, 254000, 10008, "8x10in"}, {304800, 457200, 10009, "12x18in"},
    {304800, 482600, 10010, "12x19in"}, {320000, 457200, 10011, "SRA3 (12.6x18in)"},
    {320000, 450000, 10012, "SRA3"}, {120000, 235000, 10013, "Envelope Chou 3"}};

}  // namespace

std::string medium_size_name(int32_t code) {
  if (code == 10000) return "unrecognised";
  for (const auto& m : kMediumSizes) {
    if (m.code == code) return m.name;
  }
  return std::to_string(code);
}

std::string media_size_from_dimensions(int32_t unit, int32_t feed, int32_t cross_feed) {
  if (feed < 0 || cross_feed < 0) return "";
  int64_t f = feed, x = cross_feed;
  if (unit == 3) {  // ten-thousandths of an inch: 1 unit = 2.54 micrometres
    f = f * 254 / 100;
    x = x * 254 / 100;
  } else if (unit != 4) {
    return "";
  }
  const int64_t s = std::min(f, x), l = std::max(f, x);
  for (const auto& m : kMediumSizes) {
    if (std::llabs(m.short_um - s) <= 2000 && std::llabs(m.long_um - l) <= 2000) return m.name;
  }
  return "";
}

int percent_of(int32_t level, int32_t max) {
  if (level < 0 || max <= 0) return -1;
  const int64_t p = (static_cast<int64_t>(level) * 100 + max / 2) / max;
  return static_cast<int>(std::min<int64_t>(p, 100));
}

std::string level_bar(int percent, int width) {
  if (width <= 0 || percent < 0) return "";
  // Appended in place: g++ 12 at -O3 reports a false overlap (-Wrestrict) in
  // the inlined "[" + std::string(...) form.
  const size_t cells = static_cast<size_t>(width);
  std::string bar;
  bar.reserve(cells + 2);
  bar.push_back('[');
  const size_t filled = static_cast<size_t>((std::min(percent, 100) * width + 50) / 100);
  bar.append(filled, '#');
  bar.append(cells - filled, '.');
  bar.push_back(']');
  return bar;
}

}  // namespace zelctl
