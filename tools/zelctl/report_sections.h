// Which parts of the status report to show: "--section NAME" (repeatable)
// picks sections; without it every section but the option values is shown,
// and "--options" adds those. The summary line always comes first.
#ifndef TOOLS_ZELCTL_REPORT_SECTIONS_H_
#define TOOLS_ZELCTL_REPORT_SECTIONS_H_

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace zelctl {

struct ReportSelection {
  bool options = false;               // --options
  std::vector<std::string> sections;  // --section, in the order given
};

// The section names in the order the report shows them.
const std::vector<std::string>& report_section_names();

// True when the section `name` is to be shown (and written in JSON).
bool section_selected(const ReportSelection& selection, const std::string& name);

// Adds --options and --section to the "status" command.
void add_report_options(CLI::App* status, ReportSelection* selection);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_REPORT_SECTIONS_H_
