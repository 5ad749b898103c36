#include "text_table.hpp"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <string_view>
#include <utility>

namespace qelpkg {
namespace {

// Width on a terminal, counting each UTF-8 sequence as one column.
std::size_t display_width(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

TextTable::TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

void TextTable::add_row(std::vector<std::string> cells) {
  assert(cells.size() == columns_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::render(fmt::memory_buffer& out, std::size_t indent) const {
  std::vector<std::size_t> widths;
  for (const Column& column : columns_) {
    widths.push_back(display_width(column.heading));
  }
  for (const auto& row : rows_) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], display_width(row[i]));
    }
  }
  const auto line = [&](auto cell_of) {
    out.append(std::string(indent, ' '));
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      const std::string_view cell = cell_of(i);
      const std::size_t padding = widths[i] - display_width(cell);
      const bool last = i + 1 == columns_.size();
      if (i != 0) {
        out.append(std::string_view("  "));
      }
      if (columns_[i].align == Align::Right) {
        fmt::format_to(std::back_inserter(out), "{:{}}{}", "", padding, cell);
      } else {
        out.append(cell);
        if (!last) {
          fmt::format_to(std::back_inserter(out), "{:{}}", "", padding);
        }
      }
    }
    out.push_back('\n');
  };
  line([&](std::size_t i) -> std::string_view { return columns_[i].heading; });
  for (const auto& row : rows_) {
    line([&](std::size_t i) -> std::string_view { return row[i]; });
  }
}

}  // namespace qelpkg
