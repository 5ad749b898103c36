#pragma once

#include <tuple>
#include <type_traits>

#include <qel_package/profile_summary.hpp>

#include "record_fields.hpp"

// The fields of the profile summary records, beside those of the other records.
namespace qelpkg {

constexpr auto fields_of(std::type_identity<qel_package::profile::CycleTotal>) {
  using R = qel_package::profile::CycleTotal;
  return std::tuple{field("samples", &R::samples), field("cycles", &R::cycles)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::KindTotal>) {
  using R = qel_package::profile::KindTotal;
  return std::tuple{field("kind", &R::kind), field("total", &R::total)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::NamedTotal>) {
  using R = qel_package::profile::NamedTotal;
  return std::tuple{field("name", &R::name), field("total", &R::total)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::TileSummary>) {
  using R = qel_package::profile::TileSummary;
  return std::tuple{field("physical_tile", &R::physical_tile), field("busy", &R::busy),
                    field("first_start", &R::first_start), field("last_end", &R::last_end),
                    field("kinds", &R::kinds)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::ProfileSummary>) {
  using R = qel_package::profile::ProfileSummary;
  return std::tuple{field("clock_hz", &R::clock_hz),     field("total", &R::total),
                    field("kinds", &R::kinds),           field("kernels", &R::kernels),
                    field("operations", &R::operations), field("tiles", &R::tiles)};
}

}  // namespace qelpkg
