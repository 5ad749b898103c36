#include "record_json_reader.hpp"

namespace qelpkg::json_reader {
namespace {

std::string_view type_name(Event::Kind kind) {
  switch (kind) {
    case Event::Kind::Null:
      return "null";
    case Event::Kind::Boolean:
      return "boolean";
    case Event::Kind::Unsigned:
    case Event::Kind::OtherNumber:
      return "number";
    case Event::Kind::String:
      return "string";
    case Event::Kind::Object:
      return "object";
    case Event::Kind::Array:
      return "array";
  }
  return "value";
}

}  // namespace

std::string cut_short(std::string_view literal) {
  constexpr std::size_t SHOWN = 24;
  if (literal.size() <= SHOWN) {
    return std::string(literal);
  }
  return fmt::format("{}... ({} characters)", literal.substr(0, SHOWN), literal.size());
}

bool Reader::null() { return value({.kind = Event::Kind::Null}); }

bool Reader::boolean(bool value) {
  return this->value({.kind = Event::Kind::Boolean, .boolean = value});
}

bool Reader::number_unsigned(std::uint64_t value) {
  return this->value({.kind = Event::Kind::Unsigned, .number = value});
}

bool Reader::number_other(std::string_view text) {
  return value({.kind = Event::Kind::OtherNumber, .number_text = text});
}

bool Reader::string(std::string& value) {
  return this->value({.kind = Event::Kind::String, .string = &value});
}

bool Reader::start_object() { return value({.kind = Event::Kind::Object}); }

bool Reader::key(std::string& name) { return frames_.back()->key(*this, name); }

bool Reader::end_object() { return close(); }

bool Reader::start_array() { return value({.kind = Event::Kind::Array}); }

bool Reader::end_array() { return close(); }

bool Reader::syntax_error(std::string message) {
  error_ = std::move(message);
  return false;
}

bool Reader::value(const Event& event) {
  const Target target = frames_.empty() ? root_ : frames_.back()->next();
  return target.take(*this, target.value, event);
}

bool Reader::close() {
  if (!frames_.back()->end(*this)) {
    return false;
  }
  frames_.pop_back();
  return true;
}

bool Reader::fail(const std::string& message) { return fail_at(frames_.size(), message); }

bool Reader::fail_expected(std::string_view what, const Event& event) {
  return fail(fmt::format("expected {}, got {}", what, type_name(event.kind)));
}

bool Reader::fail_in_record(const std::string& message) {
  return fail_at(frames_.size() - 1, message);
}

// The path runs through the first depth open containers.
bool Reader::fail_at(std::size_t depth, const std::string& message) {
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) {
    frames_[i]->append_position(path);
  }
  error_ = path.empty() ? message : path + ": " + message;
  return false;
}

}  // namespace qelpkg::json_reader
