#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <fmt/format.h>

namespace qelpkg {

// Rows of text in aligned columns under a heading line.
class TextTable {
 public:
  enum class Align { Left, Right };
  struct Column {
    std::string heading;
    Align align;
  };

  explicit TextTable(std::vector<Column> columns);

  // One cell per column.
  void add_row(std::vector<std::string> cells);

  // Appends the heading and the rows, each line indented, columns two spaces apart.
  void render(fmt::memory_buffer& out, std::size_t indent) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace qelpkg
