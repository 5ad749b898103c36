#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <qel_package/profile.hpp>

// The names of the profile enumerations, as the library renders them (Compute, Send, ...).
namespace qelpkg {

inline std::optional<qel_package::profile::StepKind> enum_from_number(
    std::type_identity<qel_package::profile::StepKind>, std::uint16_t number) {
  return qel_package::profile::step_kind_from_number(number);
}

inline std::optional<qel_package::profile::ExchangeActivityKind> enum_from_number(
    std::type_identity<qel_package::profile::ExchangeActivityKind>, std::uint16_t number) {
  return qel_package::profile::exchange_activity_kind_from_number(number);
}

template <class Enum>
concept ProfileEnum = requires(std::uint16_t number) {
  enum_from_number(std::type_identity<Enum>{}, number);
};

// Every value of the enumeration with its name, in number order.
template <ProfileEnum Enum>
const std::vector<std::pair<Enum, std::string>>& enum_names() {
  static const std::vector<std::pair<Enum, std::string>> names = [] {
    std::vector<std::pair<Enum, std::string>> list;
    for (std::uint16_t number = 0;; ++number) {
      const std::optional<Enum> value = enum_from_number(std::type_identity<Enum>{}, number);
      if (!value) {
        return list;
      }
      std::ostringstream name;
      name << *value;
      list.emplace_back(*value, name.str());
    }
  }();
  return names;
}

template <ProfileEnum Enum>
std::string enum_name(Enum value) {
  const auto& names = enum_names<Enum>();
  const std::uint16_t number = qel_package::profile::to_number(value);
  if (number < names.size()) {
    return names[number].second;
  }
  std::ostringstream name;  // a number outside the enumeration renders as such
  name << value;
  return name.str();
}

template <ProfileEnum Enum>
std::optional<Enum> enum_from_name(std::string_view name) {
  for (const auto& [value, value_name] : enum_names<Enum>()) {
    if (value_name == name) {
      return value;
    }
  }
  return std::nullopt;
}

}  // namespace qelpkg
