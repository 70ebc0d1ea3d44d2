#include "tools/zelctl/report_sections.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace zelctl {

const std::vector<std::string>& report_section_names() {
  static const std::vector<std::string> names = {
      "alerts", "supplies", "trays", "jobs", "storage", "devices", "charsets", "options"};
  return names;
}

bool section_selected(const ReportSelection& s, const std::string& name) {
  if (!s.sections.empty())
    return std::find(s.sections.begin(), s.sections.end(), name) != s.sections.end();
  return name != "options" || s.options;
}

void add_report_options(CLI::App* status, ReportSelection* s) {
  std::string names;
  for (const auto& n : report_section_names()) names += (names.empty() ? "" : ", ") + n;
  status->add_flag("--options", s->options,
                   "also show the option values (about 110 lines; --json has them unless "
                   "--section leaves them out)");
  status->add_option("--section", s->sections,
                     "show only this section (repeatable): " + names)
      ->check(CLI::IsMember(report_section_names()))
      ->allow_extra_args(false);  // one name per --section; the address stays positional
}

}  // namespace zelctl
