#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "enum_names.hpp"
#include "hex.hpp"
#include "record_fields.hpp"

// Writes the JSON form of a record (record_json.hpp) as text while it walks the record, in
// the layout of Json::dump(2), so that a whole package never exists as a document. The text
// goes to a sink in blocks.
namespace qelpkg {

// A JSON string: quotes, backslashes and control characters escaped, everything else as it
// is (texts are UTF-8).
void append_json_string(std::string& out, std::string_view text);

namespace json_writer_detail {

// Text is handed to the sink in blocks of about this size.
inline constexpr std::size_t BLOCK = 64 * 1024;

template <class Sink>
class Writer {
 public:
  explicit Writer(Sink& sink) : sink_(sink) { out_.reserve(2 * BLOCK); }

  template <class T>
  void value(const T& value, std::size_t depth) {
    if constexpr (std::is_same_v<T, bool>) {
      out_ += value ? "true" : "false";
    } else if constexpr (std::is_same_v<T, std::string>) {
      append_json_string(out_, value);
    } else if constexpr (std::is_unsigned_v<T>) {
      out_ += fmt::format_int(value).str();
    } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
      bytes(value);
    } else if constexpr (List<T>) {
      if (value.empty()) {
        out_ += "[]";
        return;
      }
      out_ += '[';
      for (std::size_t i = 0; i < value.size(); ++i) {
        out_ += i == 0 ? "\n" : ",\n";
        indent(depth + 1);
        this->value(value[i], depth + 1);
        flush_if_full();
      }
      out_ += '\n';
      indent(depth);
      out_ += ']';
    } else if constexpr (ProfileEnum<T>) {
      append_json_string(out_, enum_name(value));
    } else {
      static_assert(Record<T>);
      out_ += '{';
      bool first = true;
      const auto member = [&](const auto& field) {
        out_ += first ? "\n" : ",\n";
        first = false;
        indent(depth + 1);
        append_json_string(out_, field.name);
        out_ += ": ";
        this->value(value.*field.member, depth + 1);
      };
      std::apply([&](const auto&... field) { (member(field), ...); },
                 fields_of(std::type_identity<T>{}));
      out_ += '\n';
      indent(depth);
      out_ += '}';
    }
  }

  void finish() {
    out_ += '\n';
    sink_(std::string_view(out_));
    out_.clear();
  }

 private:
  void indent(std::size_t depth) { out_.append(2 * depth, ' '); }

  // Byte data as hex, a block at a time, so that a large segment is never held twice.
  void bytes(const std::vector<std::uint8_t>& data) {
    out_ += '"';
    for (std::size_t at = 0; at < data.size(); at += BLOCK / 2) {
      append_hex(out_, std::span(data).subspan(at, std::min(BLOCK / 2, data.size() - at)));
      flush_if_full();
    }
    out_ += '"';
  }

  void flush_if_full() {
    if (out_.size() >= BLOCK) {
      sink_(std::string_view(out_));
      out_.clear();
    }
  }

  Sink& sink_;
  std::string out_;
};

}  // namespace json_writer_detail

// Hands the JSON form of value, with a final newline, to sink(std::string_view) in pieces.
// The text equals to_json(value).dump(2) followed by a newline.
template <class T, class Sink>
void write_json(const T& value, Sink&& sink) {
  json_writer_detail::Writer<std::remove_reference_t<Sink>> writer(sink);
  writer.value(value, 0);
  writer.finish();
}

}  // namespace qelpkg
