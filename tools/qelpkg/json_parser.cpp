// The JSON parser behind record_json_reader.hpp. It lexes in bulk: a run of plain characters
// in a string is appended at once, and nothing is copied for numbers or punctuation.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "record_json_reader.hpp"
#include "utf8_sequence.hpp"

namespace qelpkg::json_reader {
namespace {

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Characters a string holds as they are: printable ASCII other than the quote and backslash.
constexpr bool plain(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

class Parser {
 public:
  Parser(std::string_view text, Reader& reader) : text_(text), reader_(reader) {}

  bool document() {
    skip_space();
    if (!value()) {
      return false;
    }
    while (!open_.empty()) {
      skip_space();
      const bool object = open_.back() == '{';
      const char close = object ? '}' : ']';
      if (peek() == close) {
        ++position_;
        open_.pop_back();
        if (!(object ? reader_.end_object() : reader_.end_array())) {
          return false;
        }
        first_ = false;
        continue;
      }
      if (!first_) {
        if (peek() != ',') {
          return unexpected(object ? "expected ',' or '}'" : "expected ',' or ']'");
        }
        ++position_;
        skip_space();
      }
      first_ = false;
      if (object && !member_name()) {
        return false;
      }
      if (!value()) {
        return false;
      }
    }
    skip_space();
    if (position_ != text_.size()) {
      return fail(position_, fmt::format("unexpected {} after the document", found()));
    }
    return true;
  }

 private:
  // The character at the current position, or NUL at the end (never taken as valid).
  char peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }

  void skip_space() {
    while (position_ < text_.size() && is_space(text_[position_])) {
      ++position_;
    }
  }

  // What stands at the current position, for a message.
  std::string found() const {
    if (position_ == text_.size()) {
      return "end of text";
    }
    const auto c = static_cast<unsigned char>(text_[position_]);
    if (c == 0) {
      return "NUL byte";
    }
    if (c < 0x20 || c >= 0x7F) {
      return fmt::format("byte 0x{:02x}", c);
    }
    return fmt::format("'{}'", static_cast<char>(c));
  }

  bool fail(std::size_t at, std::string_view message) {
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if (text_[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    return reader_.syntax_error(
        fmt::format("syntax error at line {}, column {}: {}", line, at - line_start + 1, message));
  }

  bool unexpected(std::string_view expected) {
    return fail(position_, fmt::format("unexpected {}; {}", found(), expected));
  }

  bool member_name() {
    if (peek() != '"') {
      return unexpected("expected a field name in double quotes");
    }
    if (!string()) {
      return false;
    }
    if (!reader_.key(string_)) {
      return false;
    }
    skip_space();
    if (peek() != ':') {
      return unexpected("expected ':'");
    }
    ++position_;
    skip_space();
    return true;
  }

  // A value; an object or array is opened, its members follow in document().
  bool value() {
    switch (peek()) {
      case '{':
      case '[': {
        const char open = text_[position_++];
        open_.push_back(open);
        first_ = true;
        return open == '{' ? reader_.start_object() : reader_.start_array();
      }
      case '"':
        return string() && reader_.string(string_);
      case 't':
        return literal("true") && reader_.boolean(true);
      case 'f':
        return literal("false") && reader_.boolean(false);
      case 'n':
        return literal("null") && reader_.null();
      default:
        if (peek() == '-' || is_digit(peek())) {
          return number();
        }
        return unexpected("expected a value");
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(position_, word.size()) != word) {
      return unexpected(fmt::format("expected {}", word));
    }
    position_ += word.size();
    return true;
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
  bool number() {
    const std::size_t start = position_;
    const auto digits = [&] {
      const std::size_t first = position_;
      while (is_digit(peek())) {
        ++position_;
      }
      return position_ - first;
    };
    const bool negative = peek() == '-';
    position_ += negative;
    const std::size_t integer_start = position_;
    const std::size_t integer_digits = digits();
    if (integer_digits == 0) {
      return unexpected("expected a digit");
    }
    if (integer_digits > 1 && text_[integer_start] == '0') {
      return fail(integer_start, "a number must not start with 0");
    }
    bool whole = !negative;
    if (peek() == '.') {
      ++position_;
      whole = false;
      if (digits() == 0) {
        return unexpected("expected a digit");
      }
    }
    if (peek() == 'e' || peek() == 'E') {
      ++position_;
      whole = false;
      if (peek() == '+' || peek() == '-') {
        ++position_;
      }
      if (digits() == 0) {
        return unexpected("expected a digit");
      }
    }
    const std::string_view literal = text_.substr(start, position_ - start);
    if (whole && literal.size() <= 20) {
      std::uint64_t value = 0;
      bool fits = true;
      for (const char c : literal) {
        const auto digit = static_cast<std::uint64_t>(c - '0');
        fits = fits && value <= (UINT64_MAX - digit) / 10;
        value = value * 10 + digit;
      }
      if (fits) {
        return reader_.number_unsigned(value);
      }
    }
    return reader_.number_other(literal);
  }

  // A string into string_, the opening quote at the current position.
  bool string() {
    string_.clear();
    ++position_;
    for (;;) {
      const std::size_t run = position_;
      while (position_ < text_.size() && plain(static_cast<unsigned char>(text_[position_]))) {
        ++position_;
      }
      string_.append(text_.substr(run, position_ - run));
      if (position_ == text_.size()) {
        return fail(position_, "unexpected end of text in a string");
      }
      const auto c = static_cast<unsigned char>(text_[position_]);
      if (c == '"') {
        ++position_;
        return true;
      }
      if (c == '\\') {
        if (!escape()) {
          return false;
        }
      } else if (c < 0x20) {
        return fail(position_, fmt::format("control character 0x{:02x} in a string must be "
                                           "escaped",
                                           c));
      } else {
        const std::size_t length = utf8_sequence_length(text_.substr(position_));
        if (length == 0) {
          return fail(position_, fmt::format("byte 0x{:02x} in a string is not UTF-8", c));
        }
        string_.append(text_.substr(position_, length));
        position_ += length;
      }
    }
  }

  bool escape() {
    const std::size_t start = position_;
    ++position_;
    const char c = peek();
    ++position_;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        string_.push_back(c);
        return true;
      case 'b':
        string_.push_back('\b');
        return true;
      case 'f':
        string_.push_back('\f');
        return true;
      case 'n':
        string_.push_back('\n');
        return true;
      case 'r':
        string_.push_back('\r');
        return true;
      case 't':
        string_.push_back('\t');
        return true;
      case 'u':
        return unicode_escape(start);
      default:
        return fail(start, "invalid escape in a string");
    }
  }

  // Four hex digits after "\u", the backslash at start.
  std::optional<std::uint32_t> hex4() {
    if (text_.size() - position_ < 4) {
      return std::nullopt;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[position_++];
      const std::uint32_t digit = is_digit(c)              ? c - '0'
                                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                           : 16;
      if (digit == 16) {
        return std::nullopt;
      }
      value = value << 4 | digit;
    }
    return value;
  }

  bool unicode_escape(std::size_t start) {
    auto code = hex4();
    if (!code) {
      return fail(start, "\\u must be followed by four hex digits");
    }
    if (*code >= 0xDC00 && *code <= 0xDFFF) {
      return fail(start, "unpaired surrogate in a \\u escape");
    }
    if (*code >= 0xD800 && *code <= 0xDBFF) {
      if (text_.substr(position_, 2) != "\\u") {
        return fail(start, "unpaired surrogate in a \\u escape");
      }
      position_ += 2;
      const auto low = hex4();
      if (!low || *low < 0xDC00 || *low > 0xDFFF) {
        return fail(start, "unpaired surrogate in a \\u escape");
      }
      code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
    }
    append_utf8(*code);
    return true;
  }

  void append_utf8(std::uint32_t code) {
    const auto put = [&](std::uint32_t byte) { string_.push_back(static_cast<char>(byte)); };
    if (code < 0x80) {
      put(code);
    } else if (code < 0x800) {
      put(0xC0 | code >> 6);
      put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      put(0xE0 | code >> 12);
      put(0x80 | (code >> 6 & 0x3F));
      put(0x80 | (code & 0x3F));
    } else {
      put(0xF0 | code >> 18);
      put(0x80 | (code >> 12 & 0x3F));
      put(0x80 | (code >> 6 & 0x3F));
      put(0x80 | (code & 0x3F));
    }
  }

  std::string_view text_;
  Reader& reader_;
  std::size_t position_ = 0;
  std::vector<char> open_;  // the open objects and arrays, innermost last
  bool first_ = false;      // no member of the innermost container read yet
  std::string string_;      // the last string read, reused to keep its capacity
};

}  // namespace

bool parse(std::string_view text, Reader& reader) { return Parser(text, reader).document(); }

}  // namespace qelpkg::json_reader
