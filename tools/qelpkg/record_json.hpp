#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "enum_names.hpp"
#include "hex.hpp"
#include "record_fields.hpp"

// The JSON form of every record: an object with the record's fields in declared order,
// integers as numbers, texts as strings, byte data as lower-case hex, enumerations by name.
// record_json_reader.hpp reads it back.
namespace qelpkg {

// Keeps object members in insertion order, so records print in field order.
using Json = nlohmann::ordered_json;

namespace json_detail {

using Bytes = std::vector<std::uint8_t>;

template <class T>
Json encode(const T& value) {
  if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::string> ||
                std::is_unsigned_v<T>) {
    return Json(value);
  } else if constexpr (std::is_same_v<T, Bytes>) {
    return Json(to_hex(value));
  } else if constexpr (List<T>) {
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

}  // namespace json_detail

// A record, or a list of records or of values.
template <class T>
Json to_json(const T& value) {
  return json_detail::encode(value);
}

}  // namespace qelpkg
