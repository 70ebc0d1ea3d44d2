#include "plugin/device_reader.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kStandardFamily[] = "1.3.6.1.2.1.25.3.1";
constexpr char kVendorFamily[] = "1.3.6.1.4.1.61801.8.52.2";

struct DeviceType {
  const char* family;
  int32_t last;
};

// The 38 known device types, searched in this order.
constexpr DeviceType kDeviceTypes[] = {
    {kStandardFamily, 1},   {kStandardFamily, 2},   {kStandardFamily, 3},
    {kStandardFamily, 4},   {kStandardFamily, 5},   {kStandardFamily, 6},
    {kStandardFamily, 10},  {kStandardFamily, 11},  {kStandardFamily, 12},
    {kStandardFamily, 13},  {kStandardFamily, 14},  {kStandardFamily, 15},
    {kStandardFamily, 16},  {kStandardFamily, 17},  {kStandardFamily, 18},
    {kStandardFamily, 19},  {kStandardFamily, 20},  {kStandardFamily, 21},
    {kVendorFamily, 101},   {kVendorFamily, 102},   {kVendorFamily, 103},
    {kVendorFamily, 104},   {kVendorFamily, 105},   {kVendorFamily, 106},
    {kVendorFamily, 107},   {kVendorFamily, 108},   {kVendorFamily, 109},
    {kVendorFamily, 151},   {kVendorFamily, 152},   {kVendorFamily, 153},
    {kVendorFamily, 154},   {kVendorFamily, 201},   {kVendorFamily, 202},
    {kVendorFamily, 203},   {kVendorFamily, 204},   {kVendorFamily, 205},
    {kVendorFamily, 206},   {kVendorFamily, 207},
};

const char* const kDeviceColumns[] = {
    "1.3.6.1.2.1.25.3.2.1.2",  // hrDeviceType
    "1.3.6.1.2.1.25.3.2.1.5",  // hrDeviceStatus
    "1.3.6.1.2.1.25.3.2.1.3",  // hrDeviceDescr
};

}  // namespace

int32_t zel_device_type_code(const char* text) noexcept {
  if (!text) return 0;
  for (const DeviceType& type : kDeviceTypes) {
    char name[64];
    std::snprintf(name, sizeof(name), "%s.%d", type.family, static_cast<int>(type.last));
    if (std::strcmp(name, text) == 0) return type.last;
  }
  return 0;
}

void zel_device_record(const ZelDeviceRow& row, ZelDeviceInfo* record) noexcept {
  std::memset(record, 0, sizeof(*record));
  char type[256];
  row.get_text(0, type);
  record->type = zel_device_type_code(type);
  record->status = row.get_int(1);
  row.get_text(2, record->description);
}

int zel_read_devices(CZelDevice& device) noexcept {
  return zel_collect_rows(device, kDeviceColumns, 3, &device.devices,
                          [](const ZelDeviceRow& row, ZelDeviceInfo* record) {
                            zel_device_record(row, record);
                            return true;
                          });
}
