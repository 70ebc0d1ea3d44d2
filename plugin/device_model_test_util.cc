#include "plugin/device_model_test_util.h"

#include <cstring>
#include <fstream>
#include <set>

namespace zeltest {

namespace {

const char kInputTray[] = "1.3.6.1.2.1.43.8.2.1.";

std::string hex_decode(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

bool within(const Arcs& oid, const Arcs& root) {
  return oid.size() > root.size() && std::equal(root.begin(), root.end(), oid.begin());
}

int32_t code_from_family(const std::string& text, const std::string& family,
                         const std::set<int>& lasts) {
  for (int last : lasts) {
    if (text == family + "." + std::to_string(last)) return last;
  }
  return 0;
}

std::vector<std::string> prefixed(const std::string& prefix, std::vector<int> columns) {
  std::vector<std::string> out;
  for (int c : columns) out.push_back(prefix + std::to_string(c));
  return out;
}

ZelDateTime date_time(const std::string& o) {
  auto at = [&](size_t i) { return i < o.size() ? static_cast<uint8_t>(o[i]) : uint8_t{0}; };
  ZelDateTime t;
  t.year = static_cast<int16_t>(at(0) * 256 + at(1));
  t.month = static_cast<int8_t>(at(2));
  t.day = static_cast<int8_t>(at(3));
  t.hour = static_cast<int8_t>(at(4));
  t.minute = static_cast<int8_t>(at(5));
  t.second = static_cast<int8_t>(at(6));
  return t;
}

}  // namespace

Arcs parse_arcs(const std::string& text) {
  Arcs arcs;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t dot = text.find('.', pos);
    if (dot == std::string::npos) dot = text.size();
    arcs.push_back(static_cast<uint32_t>(std::stoul(text.substr(pos, dot - pos))));
    pos = dot + 1;
  }
  return arcs;
}

std::string arcs_text(const Arcs& arcs) {
  std::string out;
  for (size_t i = 0; i < arcs.size(); ++i) {
    if (i) out += '.';
    out += std::to_string(arcs[i]);
  }
  return out;
}

void fill_field(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

bool DeviceModel::load(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t a = line.find('|');
    const size_t b = line.find('|', a + 1);
    if (a == std::string::npos || b == std::string::npos) {
      *error = "malformed line: " + line;
      return false;
    }
    ModelValue v;
    v.oid = parse_arcs(line.substr(0, a));
    std::string type = line.substr(a + 1, b - a - 1);
    std::string value = line.substr(b + 1);
    if (!type.empty() && type.back() == 'x') {
      type.pop_back();
      value = hex_decode(value);
    }
    v.type = type;
    v.bytes = value;
    objects_[v.oid] = v;
  }
  return true;
}

const ModelValue* DeviceModel::get(const std::string& oid) const {
  ++requests;
  auto it = objects_.find(parse_arcs(oid));
  return it == objects_.end() ? nullptr : &it->second;
}

const ModelValue* DeviceModel::next_after(const Arcs& oid, bool* unanswerable) const {
  for (auto it = objects_.upper_bound(oid); it != objects_.end(); ++it) {
    if (it->second.type == "70") continue;  // no Counter64 in SNMPv1
    // An identifier value of one arc has no BER form: the agent drops the
    // whole request.
    if (it->second.type == "6" && parse_arcs(it->second.bytes).size() < 2) {
      *unanswerable = true;
    }
    return &it->second;
  }
  return nullptr;
}

ModelWalk DeviceModel::walk(const std::vector<std::string>& columns) const {
  ModelWalk result;
  const Arcs root = parse_arcs(columns[0]);
  std::vector<Arcs> current;
  for (const auto& c : columns) current.push_back(parse_arcs(c));
  for (;;) {
    ++result.requests;
    ++requests;
    std::vector<const ModelValue*> row;
    bool unanswerable = false;
    bool end_of_mib = false;
    for (const Arcs& c : current) {
      const ModelValue* next = next_after(c, &unanswerable);
      if (!next) end_of_mib = true;
      row.push_back(next);
    }
    if (unanswerable) {
      result.status = -203;
      return result;
    }
    if (end_of_mib || !within(row[0]->oid, root)) return result;
    for (size_t i = 0; i < row.size(); ++i) current[i] = row[i]->oid;
    result.rows.push_back(row);
  }
}

int32_t DeviceModel::get_int(const ModelValue* v) {
  if (!v) return 0;
  if (v->type == "2") return static_cast<int32_t>(std::stol(v->bytes));
  if (v->type == "6") {
    const Arcs arcs = parse_arcs(v->bytes);
    return arcs.empty() ? -1 : static_cast<int32_t>(arcs[0]);
  }
  return -1;
}

uint32_t DeviceModel::get_uint(const ModelValue* v) {
  if (!v) return 0;
  if (v->type == "65" || v->type == "66" || v->type == "67") {
    return static_cast<uint32_t>(std::stoul(v->bytes));
  }
  if (v->type == "64") {
    const std::string o = octets(v);
    uint32_t n = 0;
    for (char c : o) n = (n << 8) | static_cast<uint8_t>(c);
    return n;
  }
  return 0xFFFFFFFFu;
}

std::string DeviceModel::octets(const ModelValue* v) {
  if (!v) return "";
  if (v->type == "4" || v->type == "6") return v->bytes;
  if (v->type == "64") {
    if (v->bytes.size() == 4) return v->bytes;  // decoded from hex
    std::string out;
    for (uint32_t part : parse_arcs(v->bytes)) out.push_back(static_cast<char>(part));
    return out;
  }
  return "";
}

std::string DeviceModel::text(const ModelValue* v) {
  if (!v) return "";
  if (v->type == "64") {
    const std::string o = octets(v);
    std::string out;
    for (size_t i = 0; i < o.size(); ++i) {
      if (i) out += '.';
      out += std::to_string(static_cast<uint8_t>(o[i]));
    }
    return out;
  }
  if (v->type == "2") return std::to_string(std::stol(v->bytes));
  if (v->type == "65" || v->type == "66" || v->type == "67") {
    return std::to_string(std::stoul(v->bytes));
  }
  return v->bytes;
}

std::vector<ZelStorageInfo> DeviceModel::storage(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.25.2.3.1.", {2, 4, 5, 3}));
  *status = w.status;
  std::vector<ZelStorageInfo> out;
  for (const auto& row : w.rows) {
    ZelStorageInfo r{};
    r.type = code_from_family(text(row[0]), "1.3.6.1.2.1.25.2.1", {1, 2, 3, 4, 5, 6, 7, 8});
    r.allocationUnits = get_int(row[1]);
    r.size = get_int(row[2]);
    fill_field(r.description, sizeof(r.description), text(row[3]));
    out.push_back(r);
  }
  return out;
}

std::vector<ZelDeviceInfo> DeviceModel::devices(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.25.3.2.1.", {2, 5, 3}));
  *status = w.status;
  std::vector<ZelDeviceInfo> out;
  for (const auto& row : w.rows) {
    ZelDeviceInfo r{};
    const std::string t = text(row[0]);
    r.type = code_from_family(t, "1.3.6.1.2.1.25.3.1",
                              {1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21});
    if (r.type == 0) {
      r.type = code_from_family(t, "1.3.6.1.4.1.61801.8.52.2",
                                {101, 102, 103, 104, 105, 106, 107, 108, 109, 151, 152, 153,
                                 154, 201, 202, 203, 204, 205, 206, 207});
    }
    r.status = get_int(row[1]);
    fill_field(r.description, sizeof(r.description), text(row[2]));
    out.push_back(r);
  }
  return out;
}

ZelPrinterInfo DeviceModel::printer(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.25.3.5.1.", {1, 2}));
  *status = w.status;
  ZelPrinterInfo p{};
  for (const auto& row : w.rows) {
    p.printerStatus = get_int(row[0]);
    const std::string o = octets(row[1]);
    uint32_t bits = 0;
    for (size_t i = 0; i < o.size() && i < 4; ++i) {
      bits |= uint32_t{static_cast<uint8_t>(o[i])} << (8 * i);
    }
    p.detectedErrorState = static_cast<int32_t>(bits);
  }
  return p;
}

std::vector<ZelInputTrayInfo> DeviceModel::input_trays(int* status) const {
  const ModelWalk w =
      walk(prefixed(kInputTray, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 18, 21, 22}));
  *status = w.status;
  std::vector<ZelInputTrayInfo> out;
  for (const auto& row : w.rows) {
    ZelInputTrayInfo r{};
    int32_t* ints[] = {&r.type,          &r.dimensionUnit,       &r.mediaDimFeedDeclared,
                       &r.mediaDimXFeedDeclared, &r.mediaDimFeedChosen, &r.mediaDimXFeedChosen,
                       &r.capacityUnit,  &r.maxCapacity,         &r.currentLevel,
                       &r.status};
    for (size_t i = 0; i < 10; ++i) *ints[i] = get_int(row[i]);
    fill_field(r.mediaName, sizeof(r.mediaName), text(row[10]));
    fill_field(r.name, sizeof(r.name), text(row[11]));
    fill_field(r.description, sizeof(r.description), text(row[12]));
    fill_field(r.mediaType, sizeof(r.mediaType), text(row[13]));
    fill_field(r.mediaColor, sizeof(r.mediaColor), text(row[14]));
    out.push_back(r);
  }
  return out;
}

std::vector<ZelInputTrayInfoEx> DeviceModel::input_trays_ex(int* status) const {
  const std::vector<ZelInputTrayInfo> trays = input_trays(status);
  std::vector<ZelInputTrayInfoEx> out;
  if (*status != 0) return out;
  const ModelWalk numbers = walk({"1.3.6.1.4.1.61802.2.9999.43.8.2.1.2"});
  for (size_t i = 0; i < trays.size(); ++i) {
    ZelInputTrayInfoEx r{};
    r.tray = trays[i];
    r.vendorTrayNumber = numbers.status == 0 && i < numbers.rows.size()
                             ? get_int(numbers.rows[i][0])
                             : -1;
    out.push_back(r);
  }
  if (out.empty()) *status = -1;
  return out;
}

std::vector<ZelOutputTrayInfo> DeviceModel::output_trays(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.43.9.2.1.", {2, 6, 7, 12}));
  *status = w.status;
  std::vector<ZelOutputTrayInfo> out;
  for (const auto& row : w.rows) {
    ZelOutputTrayInfo r{};
    r.type = get_int(row[0]);
    r.status = get_int(row[1]);
    fill_field(r.name, sizeof(r.name), text(row[2]));
    fill_field(r.description, sizeof(r.description), text(row[3]));
    out.push_back(r);
  }
  return out;
}

std::vector<ZelTonerInfo> DeviceModel::toners(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.43.11.1.1.", {5, 7, 8, 9, 6}));
  *status = w.status;
  std::vector<ZelTonerInfo> out;
  for (const auto& row : w.rows) {
    if (get_int(row[0]) != 3) continue;
    ZelTonerInfo r{};
    r.supplyUnit = get_int(row[1]);
    r.maxCapacity = get_int(row[2]);
    r.level = get_int(row[3]);
    fill_field(r.description, sizeof(r.description), text(row[4]));
    out.push_back(r);
  }
  return out;
}

std::vector<ZelAlertInfo> DeviceModel::alerts(int* status) const {
  const ModelWalk w = walk(prefixed("1.3.6.1.2.1.43.18.1.1.", {2, 4, 5, 6, 7, 8}));
  *status = w.status;
  std::vector<ZelAlertInfo> out;
  for (const auto& row : w.rows) {
    ZelAlertInfo r{};
    r.severityLevel = get_int(row[0]);
    r.group = get_int(row[1]);
    r.groupIndex = get_int(row[2]);
    r.location = get_int(row[3]);
    r.code = get_int(row[4]);
    fill_field(r.description, sizeof(r.description), text(row[5]));
    out.push_back(r);
  }
  return out;
}

int32_t DeviceModel::char_set(bool vendor, int* status) const {
  const std::string index =
      vendor ? "1.3.6.1.4.1.61801.8.51.3.1.1.1" : "1.3.6.1.2.1.43.5.1.1.2";
  const std::string target =
      vendor ? "1.3.6.1.4.1.61801.8.51.4.1.1.7" : "1.3.6.1.2.1.43.7.1.1.4";
  const ModelWalk w = walk({index});
  *status = w.status;
  int32_t value = 0;
  for (const auto& row : w.rows) {
    const uint32_t g = row[0]->oid[parse_arcs(index).size()];
    const std::string oid = target + "." + std::to_string(g) + "." +
                            std::to_string(static_cast<uint32_t>(get_int(row[0])));
    const ModelValue* v = get(oid);
    value = v ? get_int(v) : -1;  // an echoed binding holds NULL
  }
  return value;
}

std::vector<ZelJobInfo> DeviceModel::jobs(uint32_t selector, int* status) const {
  const int32_t c = char_set(true, status);
  std::vector<ZelJobInfo> out;
  if (*status != 0) return out;
  const std::string p6 = "1.3.6.1.4.1.61801.8.59.6.1.1.";
  const std::string p10 = "1.3.6.1.4.1.61801.8.59.10.1.1.";
  const std::string p16 = "1.3.6.1.4.1.61801.8.59.16.1.1.";
  const std::vector<std::string> columns = {
      p6 + "4",  p6 + "9",  p6 + "10", p16 + "5", p16 + "6",  p6 + "5",
      p6 + "6",  p10 + "7", p6 + "3",  p10 + "10", p16 + "4", p16 + "7"};
  const ModelWalk w = walk(columns);
  *status = w.status;
  for (const auto& row : w.rows) {
    ZelJobInfo r{};
    std::string type = text(row[0]);
    r.jobType = 0;
    for (int code = 1; code <= 12; ++code) {
      if (type == "1.3.6.1.4.1.61801.8.58.2." + std::to_string(code)) r.jobType = code;
    }
    r.jobState = get_int(row[1]);
    r.jobInteger2 = get_int(row[2]);
    r.jobCounter1 = get_uint(row[3]);
    r.jobCounter2 = get_uint(row[4]);
    char* texts[] = {r.jobText1, r.jobText2, r.jobText3};
    for (size_t i = 0; i < 3; ++i) {
      const size_t column = 5 + i;
      const uint32_t g = row[column]->oid[parse_arcs(columns[column]).size()];
      const ModelValue* s = get("1.3.6.1.4.1.61801.8.51.5.1.1.4." + std::to_string(g) + "." +
                                std::to_string(static_cast<uint32_t>(get_int(row[column]))) +
                                "." + std::to_string(static_cast<uint32_t>(c)));
      fill_field(texts[i], 256, text(s));
    }
    const Arcs& idOid = row[7]->oid;
    std::string id;
    for (size_t i = parse_arcs(columns[7]).size() + 2; i < idOid.size() && id.size() < 8; ++i) {
      id.push_back(static_cast<char>(idOid[i]));
    }
    fill_field(r.jobId, sizeof(r.jobId), id);
    fill_field(r.jobTextDirect, sizeof(r.jobTextDirect), text(row[8]));
    r.time1 = date_time(octets(row[9]));
    r.time2 = date_time(octets(row[10]));
    r.time3 = date_time(octets(row[11]));
    const bool keep = selector == 0 || (selector == 1 && r.jobState != 17) ||
                      (selector == 2 && r.jobState == 17);
    if (keep) out.push_back(r);
  }
  return out;
}

}  // namespace zeltest
