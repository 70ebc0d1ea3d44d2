// Test support: an independent model of what the plug-in must report for a
// device recording. It parses the .snmprec itself, replays the SNMPv1 GetNext
// walks an agent serving it answers (every column advances together; Counter64
// objects are skipped, as an SNMPv1 agent must; the end of the MIB answers
// noSuchName; a one-arc identifier value cannot be encoded, so that request
// goes unanswered) and turns the rows into host records by the readers'
// rules. Nothing here uses the plug-in's own code.
#ifndef PLUGIN_DEVICE_MODEL_TEST_UTIL_H_
#define PLUGIN_DEVICE_MODEL_TEST_UTIL_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "plugin/zel_api.h"

namespace zeltest {

using Arcs = std::vector<uint32_t>;

struct ModelValue {
  Arcs oid;
  std::string type;   // the recording's type code with any "x" removed
  std::string bytes;  // octets (4, 4x, 64x decoded), or the value text
};

// Results of one walk: status (0, or -203 for a request that goes
// unanswered) and the rows (one value per column).
struct ModelWalk {
  int status = 0;
  std::vector<std::vector<const ModelValue*>> rows;
  int requests = 0;
};

class DeviceModel {
 public:
  bool load(const std::string& path, std::string* error);
  // A GetRequest: the value, or null (noSuchName: the echoed binding has no
  // value).
  const ModelValue* get(const std::string& oid) const;
  ModelWalk walk(const std::vector<std::string>& columns) const;

  // Conversions of the value layer, as the readers see them.
  static int32_t get_int(const ModelValue* v);     // absent: 0
  static uint32_t get_uint(const ModelValue* v);   // absent: 0
  static std::string text(const ModelValue* v);    // absent: ""
  static std::string octets(const ModelValue* v);  // raw octets; "" if none

  std::vector<ZelStorageInfo> storage(int* status) const;
  std::vector<ZelDeviceInfo> devices(int* status) const;
  ZelPrinterInfo printer(int* status) const;
  std::vector<ZelInputTrayInfo> input_trays(int* status) const;
  std::vector<ZelInputTrayInfoEx> input_trays_ex(int* status) const;
  std::vector<ZelOutputTrayInfo> output_trays(int* status) const;
  std::vector<ZelTonerInfo> toners(int* status) const;
  std::vector<ZelAlertInfo> alerts(int* status) const;
  int32_t char_set(bool vendor, int* status) const;
  std::vector<ZelJobInfo> jobs(uint32_t selector, int* status) const;

  // Datagrams (requests) the last conversions above sent, summed.
  mutable int requests = 0;

 private:
  const ModelValue* next_after(const Arcs& oid, bool* unanswerable) const;
  std::map<Arcs, ModelValue> objects_;
};

Arcs parse_arcs(const std::string& text);
std::string arcs_text(const Arcs& arcs);
// Copies `text` into a zeroed field[size] as the plug-in must: at most
// size - 1 octets, then NUL.
void fill_field(char* field, size_t size, const std::string& text);

}  // namespace zeltest

#endif  // PLUGIN_DEVICE_MODEL_TEST_UTIL_H_
