#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <concepts>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <tl/expected.hpp>

#include "enum_names.hpp"
#include "hex.hpp"
#include "record_fields.hpp"

// Reads the JSON form of a record (record_json.hpp) in one pass over the text: the parser's
// events go straight into the record, without building a document first. Reading is strict:
// every field must be present once with its type and fit its width, and no other field may
// appear. A syntax error is reported with its line and column, any other error with the path
// of the value (tiles[0].segments[1].address).
namespace qelpkg {
namespace json_reader {

// One event of the parser, as the value it belongs to sees it.
struct Event {
  enum class Kind { Null, Boolean, Unsigned, OtherNumber, String, Object, Array };
  Kind kind;
  bool boolean = false;
  std::uint64_t number = 0;           // of Unsigned
  std::string_view number_text = {};  // of OtherNumber: a negative, fractional or huge number
  std::string* string = nullptr;
};

class Reader;

// Where the next value goes: a record field, a list element or a scalar, and how it takes
// an event.
struct Target {
  void* value;
  bool (*take)(Reader& reader, void* value, const Event& event);
};

// An object or array being read.
class Frame {
 public:
  virtual ~Frame() = default;
  // The target of the value that comes next.
  virtual Target next() = 0;
  // Only objects, which are records, get keys.
  virtual bool key(Reader& reader, std::string& name) = 0;
  virtual bool end(Reader& reader) = 0;
  // Appends the position of the value being read in this container: ".name" or "[3]".
  virtual void append_position(std::string& path) const = 0;
};

// Takes the events of the parser (json_parser.cpp) in document order. Each returns false to
// stop the parse, with error() saying why.
class Reader final {
 public:
  explicit Reader(Target root) : root_(root) {}

  bool null();
  bool boolean(bool value);
  bool number_unsigned(std::uint64_t value);
  // Any other number: negative, fractional, with an exponent or beyond 64 bits.
  bool number_other(std::string_view text);
  bool string(std::string& value);
  bool start_object();
  bool key(std::string& name);
  bool end_object();
  bool start_array();
  bool end_array();
  bool syntax_error(std::string message);

  void open(std::unique_ptr<Frame> frame) { frames_.push_back(std::move(frame)); }

  // Stop with an error about the value being read.
  bool fail(const std::string& message);
  bool fail_expected(std::string_view what, const Event& event);
  // Stop with an error about the innermost open record itself.
  bool fail_in_record(const std::string& message);

  const std::string& error() const { return error_; }

 private:
  bool value(const Event& event);
  bool close();
  bool fail_at(std::size_t depth, const std::string& message);

  Target root_;
  std::vector<std::unique_ptr<Frame>> frames_;
  std::string error_;
};

template <class T>
Target target_of(T& value);

// A number literal for a message: a long one is cut short, with its length.
std::string cut_short(std::string_view literal);

// Parses text, handing its events to reader. False, with reader.error() set, when the text is
// no single JSON document or the reader refuses a value.
bool parse(std::string_view text, Reader& reader);

template <Record T>
class RecordFrame final : public Frame {
 public:
  explicit RecordFrame(T& record) : record_(record) {}

  Target next() override { return TARGETS[current_](record_); }

  bool key(Reader& reader, std::string& name) override {
    const auto found = std::find(NAMES.begin(), NAMES.end(), name);
    if (found == NAMES.end()) {
      return reader.fail_in_record(fmt::format("unknown field \"{}\"", name));
    }
    current_ = static_cast<std::size_t>(found - NAMES.begin());
    if (seen_[current_]) {
      return reader.fail_in_record(fmt::format("duplicate field \"{}\"", name));
    }
    seen_[current_] = true;
    return true;
  }

  bool end(Reader& reader) override {
    for (std::size_t i = 0; i < COUNT; ++i) {
      if (!seen_[i]) {
        return reader.fail_in_record(fmt::format("missing field \"{}\"", NAMES[i]));
      }
    }
    return true;
  }

  void append_position(std::string& path) const override {
    if (!path.empty()) {
      path += '.';
    }
    path += NAMES[current_];
  }

 private:
  static constexpr auto FIELDS = fields_of(std::type_identity<T>{});
  static constexpr std::size_t COUNT = std::tuple_size_v<decltype(FIELDS)>;
  static constexpr std::array<std::string_view, COUNT> NAMES = std::apply(
      [](const auto&... field) { return std::array<std::string_view, COUNT>{field.name...}; },
      FIELDS);

  template <std::size_t... I>
  static constexpr std::array<Target (*)(T&), COUNT> make_targets(std::index_sequence<I...>) {
    return {[](T& record) { return target_of(record.*(std::get<I>(FIELDS).member)); }...};
  }
  static constexpr std::array<Target (*)(T&), COUNT> TARGETS =
      make_targets(std::make_index_sequence<COUNT>{});

  T& record_;
  std::size_t current_ = 0;
  std::bitset<COUNT> seen_;
};

template <class Element>
class ListFrame final : public Frame {
 public:
  explicit ListFrame(std::vector<Element>& list) : list_(list) {}

  // The reference stays valid while the element is read: the list grows only afterwards.
  Target next() override { return target_of(list_.emplace_back()); }
  bool key(Reader&, std::string&) override { return false; }
  bool end(Reader&) override { return true; }
  void append_position(std::string& path) const override {
    fmt::format_to(std::back_inserter(path), "[{}]", list_.size() - 1);
  }

 private:
  std::vector<Element>& list_;
};

template <class T>
bool take(Reader& reader, void* pointer, const Event& event) {
  using Kind = Event::Kind;
  T& value = *static_cast<T*>(pointer);
  if constexpr (std::is_same_v<T, bool>) {
    if (event.kind != Kind::Boolean) {
      return reader.fail_expected("a boolean", event);
    }
    value = event.boolean;
  } else if constexpr (std::unsigned_integral<T>) {
    constexpr int bits = std::numeric_limits<T>::digits;
    if (event.kind == Kind::Unsigned && event.number <= std::numeric_limits<T>::max()) {
      value = static_cast<T>(event.number);
    } else if (event.kind == Kind::Unsigned || event.kind == Kind::OtherNumber) {
      return reader.fail(fmt::format("{} is not an unsigned {}-bit integer",
                                     event.kind == Kind::Unsigned ? fmt::to_string(event.number)
                                                                  : cut_short(event.number_text),
                                     bits));
    } else {
      return reader.fail_expected(fmt::format("an unsigned {}-bit integer", bits), event);
    }
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (event.kind != Kind::String) {
      return reader.fail_expected("a string", event);
    }
    value = std::move(*event.string);
  } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
    if (event.kind != Kind::String) {
      return reader.fail_expected("a string of hex digits", event);
    }
    auto bytes = from_hex(*event.string);
    if (!bytes) {
      return reader.fail(bytes.error());
    }
    value = std::move(*bytes);
  } else if constexpr (List<T>) {
    if (event.kind != Kind::Array) {
      return reader.fail_expected("an array", event);
    }
    reader.open(std::make_unique<ListFrame<typename T::value_type>>(value));
  } else if constexpr (ProfileEnum<T>) {
    if (event.kind != Kind::String) {
      return reader.fail_expected("a name", event);
    }
    const auto named = enum_from_name<T>(*event.string);
    if (!named) {
      return reader.fail(fmt::format("unknown name \"{}\"", *event.string));
    }
    value = *named;
  } else {
    static_assert(Record<T>);
    if (event.kind != Kind::Object) {
      return reader.fail_expected("an object", event);
    }
    reader.open(std::make_unique<RecordFrame<T>>(value));
  }
  return true;
}

template <class T>
Target target_of(T& value) {
  return Target{&value, &take<T>};
}

}  // namespace json_reader

// The record, or a message that says what is wrong and where.
template <Record T>
tl::expected<T, std::string> from_json_text(std::string_view text) {
  T record{};
  json_reader::Reader reader(json_reader::target_of(record));
  if (!json_reader::parse(text, reader)) {
    return tl::unexpected(reader.error());
  }
  return record;
}

}  // namespace qelpkg
