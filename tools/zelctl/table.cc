#include "tools/zelctl/table.h"

#include <algorithm>

namespace zelctl {

size_t text_width(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;  // count lead bytes only
  }
  return n;
}

std::string printable_cell(const std::string& text, size_t max_width) {
  std::string out;
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      if (width == max_width) {
        // Replace the last character by the cut mark.
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80)
          out.pop_back();
        if (!out.empty()) out.pop_back();
        out += '~';
        return out;
      }
      ++width;
    }
    out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
  }
  return out;
}

void Table::add_row(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  for (size_t i = 0; i < cells.size(); ++i)
    cells[i] = printable_cell(cells[i], columns_[i].max_width);
  rows_.push_back(std::move(cells));
}

std::string Table::render(size_t indent) const {
  std::vector<size_t> widths(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    widths[i] = text_width(columns_[i].title);
    for (const auto& row : rows_) widths[i] = std::max(widths[i], text_width(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string out(indent, ' ');
    for (size_t i = 0; i < cells.size(); ++i) {
      const size_t pad = widths[i] - text_width(cells[i]);
      const bool last = i + 1 == cells.size();
      if (columns_[i].right) out += std::string(pad, ' ') + cells[i];
      else out += cells[i] + (last ? "" : std::string(pad, ' '));
      if (!last) out += "  ";
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  std::vector<std::string> titles, rules;
  for (size_t i = 0; i < columns_.size(); ++i) {
    titles.push_back(columns_[i].title);
    rules.push_back(std::string(widths[i], '-'));
  }
  std::string out = line(titles) + line(rules);
  for (const auto& row : rows_) out += line(row);
  return out;
}

}  // namespace zelctl
