#pragma once

#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

// The fields of every record, named and ordered as in the record, for the JSON forms. Each
// record is described once, so reading and writing JSON cannot disagree.
namespace qelpkg {

template <class Record, class T>
struct Field {
  std::string_view name;
  T Record::*member;
};

template <class Record, class T>
constexpr Field<Record, T> field(std::string_view name, T Record::*member) {
  return {name, member};
}

constexpr auto fields_of(std::type_identity<qel_package::Segment>) {
  using R = qel_package::Segment;
  return std::tuple{field("address", &R::address), field("memory_size", &R::memory_size),
                    field("data", &R::data), field("flags", &R::flags)};
}

constexpr auto fields_of(std::type_identity<qel_package::TileImage>) {
  using R = qel_package::TileImage;
  return std::tuple{
      field("physical_tile", &R::physical_tile), field("entry_point", &R::entry_point),
      field("command_address", &R::command_address),
      field("diagnostic_address", &R::diagnostic_address), field("segments", &R::segments)};
}

constexpr auto fields_of(std::type_identity<qel_package::RegionSlice>) {
  using R = qel_package::RegionSlice;
  return std::tuple{field("tile", &R::tile), field("tile_address", &R::tile_address),
                    field("file_offset", &R::file_offset), field("size", &R::size)};
}

constexpr auto fields_of(std::type_identity<qel_package::Binding>) {
  using R = qel_package::Binding;
  return std::tuple{field("name", &R::name), field("dtype", &R::dtype), field("shape", &R::shape),
                    field("slices", &R::slices)};
}

constexpr auto fields_of(std::type_identity<qel_package::HostPage>) {
  using R = qel_package::HostPage;
  return std::tuple{field("index", &R::index), field("size", &R::size)};
}

constexpr auto fields_of(std::type_identity<qel_package::HostSlice>) {
  using R = qel_package::HostSlice;
  return std::tuple{field("page", &R::page), field("page_offset", &R::page_offset),
                    field("file_offset", &R::file_offset), field("size", &R::size)};
}

constexpr auto fields_of(std::type_identity<qel_package::HostCall>) {
  using R = qel_package::HostCall;
  return std::tuple{field("name", &R::name),
                    field("command", &R::command),
                    field("phases", &R::phases),
                    field("inputs", &R::inputs),
                    field("outputs", &R::outputs),
                    field("invocations", &R::invocations),
                    field("input_batch_ends", &R::input_batch_ends),
                    field("output_batch_ends", &R::output_batch_ends)};
}

constexpr auto fields_of(std::type_identity<qel_package::HostExchange>) {
  using R = qel_package::HostExchange;
  return std::tuple{
      field("startup_mark", &R::startup_mark),     field("command_page", &R::command_page),
      field("command_offset", &R::command_offset), field("pages", &R::pages),
      field("attach_order", &R::attach_order),     field("calls", &R::calls)};
}

constexpr auto fields_of(std::type_identity<qel_package::EntryPoint>) {
  using R = qel_package::EntryPoint;
  return std::tuple{field("name", &R::name), field("command", &R::command),
                    field("external_syncs", &R::external_syncs)};
}

constexpr auto fields_of(std::type_identity<qel_package::DeviceConfigWrite>) {
  using R = qel_package::DeviceConfigWrite;
  return std::tuple{field("offset", &R::offset), field("value", &R::value)};
}

constexpr auto fields_of(std::type_identity<qel_package::DebugSymbol>) {
  using R = qel_package::DebugSymbol;
  return std::tuple{field("name", &R::name), field("address", &R::address)};
}

constexpr auto fields_of(std::type_identity<qel_package::DebugRegion>) {
  using R = qel_package::DebugRegion;
  return std::tuple{field("physical_tile", &R::physical_tile), field("address", &R::address),
                    field("size", &R::size), field("name", &R::name)};
}

constexpr auto fields_of(std::type_identity<qel_package::TileProfilePlan>) {
  using R = qel_package::TileProfilePlan;
  return std::tuple{field("physical_tile", &R::physical_tile), field("steps", &R::steps)};
}

constexpr auto fields_of(std::type_identity<qel_package::Application>) {
  using R = qel_package::Application;
  return std::tuple{field("compiler_version", &R::compiler_version),
                    field("tiles", &R::tiles),
                    field("inputs", &R::inputs),
                    field("outputs", &R::outputs),
                    field("weights", &R::weights),
                    field("host_exchange", &R::host_exchange),
                    field("entry_points", &R::entry_points),
                    field("device_config_writes", &R::device_config_writes),
                    field("profile_tiles", &R::profile_tiles),
                    field("debug_symbols", &R::debug_symbols),
                    field("debug_regions", &R::debug_regions)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::ProfileMetadata>) {
  using R = qel_package::profile::ProfileMetadata;
  return std::tuple{field("name", &R::name), field("value", &R::value)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::ProfileExchangeActivity>) {
  using R = qel_package::profile::ProfileExchangeActivity;
  return std::tuple{field("fanout", &R::fanout), field("paired", &R::paired),
                    field("kind", &R::kind), field("start_cycle", &R::start_cycle),
                    field("end_cycle", &R::end_cycle)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::ProfileStep>) {
  using R = qel_package::profile::ProfileStep;
  return std::tuple{field("local_index", &R::local_index),
                    field("phase", &R::phase),
                    field("epoch", &R::epoch),
                    field("operation", &R::operation),
                    field("kind", &R::kind),
                    field("kernel", &R::kernel),
                    field("metadata", &R::metadata),
                    field("exchange_activities", &R::exchange_activities),
                    field("exchange_event_cycles", &R::exchange_event_cycles)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::CycleSample>) {
  using R = qel_package::profile::CycleSample;
  return std::tuple{field("step", &R::step), field("start_cycle", &R::start_cycle),
                    field("end_cycle", &R::end_cycle)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::TileProfile>) {
  using R = qel_package::profile::TileProfile;
  return std::tuple{field("physical_tile", &R::physical_tile), field("samples", &R::samples)};
}

constexpr auto fields_of(std::type_identity<qel_package::profile::ProfileReport>) {
  using R = qel_package::profile::ProfileReport;
  return std::tuple{field("clock_hz", &R::clock_hz), field("tiles", &R::tiles)};
}

template <class T>
struct is_list : std::false_type {};
template <class T>
struct is_list<std::vector<T>> : std::true_type {};

// A list field: a std::vector, of bytes or of any other field type.
template <class T>
concept List = is_list<T>::value;

// A record with a field table above.
template <class T>
concept Record = requires {
  fields_of(std::type_identity<T>{});
};

}  // namespace qelpkg
