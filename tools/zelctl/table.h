// A text table with aligned columns for the human output: a header row, a
// rule, then the rows; numeric columns are right-aligned. Cells are cut to a
// column's maximum width and control characters are shown as '?', so a
// device's text cannot break the layout or the terminal.
#ifndef TOOLS_ZELCTL_TABLE_H_
#define TOOLS_ZELCTL_TABLE_H_

#include <cstddef>
#include <string>
#include <vector>

namespace zelctl {

class Table {
 public:
  struct Column {
    std::string title;
    bool right = false;     // right-aligned (numbers)
    size_t max_width = 48;  // longer cells are cut and end in "~"
  };
  explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

  // Missing cells are empty; extra cells are dropped.
  void add_row(std::vector<std::string> cells);
  bool empty() const { return rows_.empty(); }
  // The table with `indent` spaces before each line, each line ending in "\n".
  std::string render(size_t indent = 2) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// The text made printable for one cell: control bytes become '?', and
// anything past max_width is cut (counting UTF-8 characters, not bytes).
std::string printable_cell(const std::string& text, size_t max_width);

// Display width of a UTF-8 text in characters.
size_t text_width(const std::string& text);

}  // namespace zelctl

#endif  // TOOLS_ZELCTL_TABLE_H_
