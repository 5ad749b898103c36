#pragma once

#include <concepts>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <tl/expected.hpp>

#include "enum_names.hpp"
#include "hex.hpp"
#include "record_fields.hpp"

// The JSON form of every record: an object with the record's fields in declared order,
// integers as numbers, texts as strings, byte data as lower-case hex, enumerations by name.
// Reading is strict: every field must be present with its type and fit its width, and no
// other field may appear.
namespace qelpkg {

// Keeps object members in insertion order, so records print in field order.
using Json = nlohmann::ordered_json;

namespace json_detail {

template <class T>
struct is_vector : std::false_type {};
template <class T>
struct is_vector<std::vector<T>> : std::true_type {};

using Bytes = std::vector<std::uint8_t>;

template <class T>
Json encode(const T& value) {
  if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string> ||
                std::is_unsigned_v<T>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, Bytes>) {
    return Json(to_hex(value));
  } else if constexpr (is_vector<T>::value) {
    Json array = Json::array();
    auto& elements = array.template get_ref<Json::array_t&>();
    elements.reserve(value.size());
    for (const auto& element : value) {
      elements.push_back(encode(element));
    }
    return array;
  } else if constexpr (ProfileEnum<T>) {
    return Json(enum_name(value));
  } else {
    static_assert(Record<T>);
    Json object = Json::object();
    std::apply(
        [&](const auto&... field) {
          (object.emplace(field.name, encode(value.*field.member)), ...);
        },
        fields_of(std::type_identity<T>{}));
    return object;
  }
}

struct DecodeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Walks a JSON value into a record, keeping the path of the value it is at (tiles[0].address)
// for its messages.
class Decoder {
 public:
  template <class T>
  void decode(const Json& json, T& out) {
    if constexpr (std::is_same_v<T, bool>) {
      expect(json.is_boolean(), "a boolean", json);
      out = json.template get<bool>();
    } else if constexpr (std::is_unsigned_v<T>) {
      decode_unsigned(json, out);
    } else if constexpr (std::is_same_v<T, std::string>) {
      expect(json.is_string(), "a string", json);
      out = json.template get<std::string>();
    } else if constexpr (std::is_same_v<T, Bytes>) {
      expect(json.is_string(), "a string of hex digits", json);
      auto bytes = from_hex(json.template get_ref<const std::string&>());
      if (!bytes) {
        fail("expected an even number of hex digits");
      }
      out = std::move(*bytes);
    } else if constexpr (is_vector<T>::value) {
      expect(json.is_array(), "an array", json);
      out.clear();
      out.resize(json.size());
      for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t length = path_.size();
        path_ += fmt::format("[{}]", i);
        decode(json[i], out[i]);
        path_.resize(length);
      }
    } else if constexpr (ProfileEnum<T>) {
      expect(json.is_string(), "a name", json);
      const auto& name = json.template get_ref<const std::string&>();
      auto value = enum_from_name<T>(name);
      if (!value) {
        fail(fmt::format("unknown name \"{}\"", name));
      }
      out = *value;
    } else {
      static_assert(Record<T>);
      expect(json.is_object(), "an object", json);
      constexpr auto fields = fields_of(std::type_identity<T>{});
      for (const auto& member : json.items()) {
        const bool known = std::apply(
            [&](const auto&... field) { return ((field.name == member.key()) || ...); }, fields);
        if (!known) {
          fail(fmt::format("unknown field \"{}\"", member.key()));
        }
      }
      std::apply(
          [&](const auto&... field) { (decode_field(json, field.name, out.*field.member), ...); },
          fields);
    }
  }

 private:
  template <class T>
  void decode_field(const Json& object, std::string_view name, T& out) {
    const auto member = object.find(name);
    if (member == object.end()) {
      fail(fmt::format("missing field \"{}\"", name));
    }
    const std::size_t length = path_.size();
    if (!path_.empty()) {
      path_ += '.';
    }
    path_ += name;
    decode(*member, out);
    path_.resize(length);
  }

  template <std::unsigned_integral T>
  void decode_unsigned(const Json& json, T& out) {
    constexpr int bits = std::numeric_limits<T>::digits;
    if (!json.is_number()) {
      fail(fmt::format("expected an unsigned {}-bit integer, got {}", bits, json.type_name()));
    }
    if (!json.is_number_unsigned() ||
        json.template get<std::uint64_t>() > std::numeric_limits<T>::max()) {
      fail(fmt::format("{} is not an unsigned {}-bit integer", json.dump(), bits));
    }
    out = static_cast<T>(json.template get<std::uint64_t>());
  }

  void expect(bool matches, std::string_view what, const Json& json) {
    if (!matches) {
      fail(fmt::format("expected {}, got {}", what, json.type_name()));
    }
  }

  [[noreturn]] void fail(const std::string& message) {
    throw DecodeError(path_.empty() ? message : path_ + ": " + message);
  }

  std::string path_;
};

}  // namespace json_detail

// A record, or a list of records or of values.
template <class T>
Json to_json(const T& value) {
  return json_detail::encode(value);
}

// The record, or a message that names the offending value by its path.
template <Record T>
tl::expected<T, std::string> from_json(const Json& json) {
  T record{};
  try {
    json_detail::Decoder().decode(json, record);
  } catch (const json_detail::DecodeError& error) {
    return tl::unexpected(std::string(error.what()));
  }
  return record;
}

}  // namespace qelpkg
