// The supported models and the sysObjectID match.
#include "plugin/model_table.h"

namespace {

constexpr ZelModelRow kModels[] = {
    {"1.3.6.1.4.1.61802.1.11.93.1.37.22.4", "Ferrowyn M870"},
};

}  // namespace

ZelModelTable zel_model_table() noexcept { return ZelModelTable(kModels); }

const char* zel_match_model(ZelModelTable table,
                            std::string_view sysObjectID) noexcept {
  for (const ZelModelRow& row : table) {
    if (!row.szSysObjectIDPrefix || !row.szModelName) continue;
    const std::string_view prefix(row.szSysObjectIDPrefix);
    if (sysObjectID.substr(0, prefix.size()) != prefix) continue;
    if (sysObjectID.size() == prefix.size() ||
        sysObjectID[prefix.size()] == '.') {
      return row.szModelName;
    }
  }
  return nullptr;
}
