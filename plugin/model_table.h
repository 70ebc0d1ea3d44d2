// The fixed table of supported models: which sysObjectID values belong to a
// model this plug-in serves, and the model name the host is told. Discovery
// keeps only the devices that match a row. Read-only; safe from any thread.
#ifndef PLUGIN_MODEL_TABLE_H_
#define PLUGIN_MODEL_TABLE_H_

#include <span>
#include <string_view>

struct ZelModelRow {
  const char* szSysObjectIDPrefix;  // dotted decimal, no leading dot
  const char* szModelName;
};

using ZelModelTable = std::span<const ZelModelRow>;

// The plug-in's own table (static storage, never freed).
ZelModelTable zel_model_table() noexcept;

// Walks `table` in order and lends the model name of the first row whose
// prefix starts `sysObjectID` and ends either with the text or right before
// a "." (so "…22.4" matches "…22.4" and "…22.4.5" but not "…22.45").
// nullptr when no row matches. The text is taken with its length, so a value
// with an embedded NUL never matches by its first part alone.
const char* zel_match_model(ZelModelTable table,
                            std::string_view sysObjectID) noexcept;

#endif  // PLUGIN_MODEL_TABLE_H_
