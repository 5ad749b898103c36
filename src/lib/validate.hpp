#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <qel_package/constants.hpp>
#include <qel_package/error.hpp>

#include "lib/binding_extent.hpp"
#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/field.hpp"
#include "lib/location.hpp"

// The structural rules of a package, in the order they are checked. Each rule is written
// once over the representation: records and views of a checked message both provide the
// fields a rule reads, under the records' field names.
namespace qel_package::detail {

using TileIds = std::unordered_set<std::uint32_t>;
// Host page index to page size.
using HostPages = std::unordered_map<std::uint32_t, std::uint64_t>;

inline std::string segment_path(std::size_t tile_index, std::size_t segment_index) {
  return element_path(element_path("", "tiles", tile_index), "segments", segment_index);
}

// The segment rule: the end fits in 32 bits, the segment lies in the tile memory window, and
// its data fits in its memory size. Also guards tile images built from packages that were
// never validated.
template <class Tile, class Segment>
[[nodiscard]] Result<void> validate_segment(const Tile& tile, std::size_t tile_index,
                                            const Segment& segment, std::size_t segment_index) {
  const std::uint32_t address = QEL_FIELD(segment, address);
  const std::uint32_t memory_size = QEL_FIELD(segment, memory_size);
  const auto end = checked_add(address, memory_size);
  if (!end) {
    return invalid_at(segment_path(tile_index, segment_index), "segment address overflow");
  }
  const std::size_t data_size = QEL_FIELD(segment, data).size();
  if (address < TILE_MEMORY_BASE || *end > TILE_MEMORY_END || data_size > memory_size) {
    return invalid_at(
        segment_path(tile_index, segment_index),
        "invalid segment on tile {}: address=0x{:x} end=0x{:x} memory_size={} data_size={}",
        QEL_FIELD(tile, physical_tile), address, *end, memory_size, data_size);
  }
  return {};
}

template <class Application>
[[nodiscard]] Result<void> validate_tiles_present(const Application& application) {
  if (QEL_FIELD(application, tiles).empty()) {
    return invalid("application has no tiles");
  }
  return {};
}

template <class Writes>
[[nodiscard]] Result<void> validate_device_config_writes(const Writes& writes) {
  std::unordered_set<std::uint32_t> config_offsets;
  config_offsets.reserve(writes.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const std::uint32_t offset = QEL_FIELD(writes[i], offset);
    if (offset % 4 != 0 || !config_offsets.insert(offset).second) {
      return invalid_at(element_path("", "device_config_writes", i),
                        "unaligned or duplicate device configuration write");
    }
  }
  return {};
}

// Start and end of a segment's memory, and the segment's position in its tile.
using SegmentRanges = std::vector<std::tuple<std::uint32_t, std::uint32_t, std::size_t>>;

// Runs after validate_segment has passed for every segment of the tile, so no end
// overflows. After sorting, any overlap shows between neighbours; the later of the two is
// named. ranges is scratch space, kept from tile to tile so that it is allocated about once
// per package.
template <class Tile>
[[nodiscard]] Result<void> validate_segment_overlap(const Tile& tile, std::size_t tile_index,
                                                    SegmentRanges& ranges) {
  ranges.clear();
  const auto& segments = QEL_FIELD(tile, segments);
  for (std::size_t j = 0; j < segments.size(); ++j) {
    decltype(auto) segment = segments[j];
    const std::uint32_t address = QEL_FIELD(segment, address);
    const std::uint32_t memory_size = QEL_FIELD(segment, memory_size);
    if (memory_size != 0) {
      ranges.emplace_back(address, address + memory_size, j);
    }
  }
  std::sort(ranges.begin(), ranges.end());
  const auto overlap = std::adjacent_find(
      ranges.begin(), ranges.end(),
      [](const auto& a, const auto& b) { return std::get<1>(a) > std::get<0>(b); });
  if (overlap != ranges.end()) {
    const auto& [a_start, a_end, a_index] = *overlap;
    const auto& [b_start, b_end, b_index] = *std::next(overlap);
    return invalid_at(segment_path(tile_index, b_index),
                      "overlapping segments on tile {}: 0x{:x}..0x{:x} and 0x{:x}..0x{:x}",
                      QEL_FIELD(tile, physical_tile), a_start, a_end, b_start, b_end);
  }
  return {};
}

template <class Tiles>
[[nodiscard]] Result<void> validate_tiles(const Tiles& tiles, TileIds& tile_ids) {
  tile_ids.reserve(tiles.size());
  SegmentRanges ranges;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    decltype(auto) tile = tiles[i];
    const std::uint32_t physical_tile = QEL_FIELD(tile, physical_tile);
    if (!tile_ids.insert(physical_tile).second) {
      return invalid_at(element_path("", "tiles", i), "duplicate physical tile {}", physical_tile);
    }
    const auto& segments = QEL_FIELD(tile, segments);
    for (std::size_t j = 0; j < segments.size(); ++j) {
      QEL_TRY(validate_segment(tile, i, segments[j], j));
    }
    QEL_TRY(validate_segment_overlap(tile, i, ranges));
  }
  return {};
}

// The position of the first step whose local index is not its position in the plan.
template <class Plan>
std::optional<std::size_t> misnumbered_step(const Plan& plan) {
  const auto& steps = QEL_FIELD(plan, steps);
  for (std::size_t position = 0; position < steps.size(); ++position) {
    if (QEL_FIELD(steps[position], local_index) != position) {
      return position;
    }
  }
  return std::nullopt;
}

template <class Plans>
[[nodiscard]] Result<void> validate_profile_plans(const Plans& plans, const TileIds& tile_ids) {
  std::unordered_set<std::uint32_t> profile_tile_ids;
  profile_tile_ids.reserve(plans.size());
  for (std::size_t i = 0; i < plans.size(); ++i) {
    decltype(auto) plan = plans[i];
    const std::uint32_t physical_tile = QEL_FIELD(plan, physical_tile);
    const std::string plan_path = element_path("", "profile_tiles", i);
    if (!tile_ids.contains(physical_tile) || !profile_tile_ids.insert(physical_tile).second) {
      return invalid_at(plan_path, "invalid tile profile plan");
    }
    if (const auto step = misnumbered_step(plan)) {
      return invalid_at(field_path(element_path(plan_path, "steps", *step), "local_index"),
                        "invalid tile profile plan");
    }
  }
  return {};
}

// Marks a debug region that belongs to no particular tile.
inline constexpr std::uint32_t NO_TILE = std::numeric_limits<std::uint32_t>::max();

template <class Region>
bool is_valid_debug_region(const Region& region, const TileIds& tile_ids) {
  const std::uint32_t physical_tile = QEL_FIELD(region, physical_tile);
  return !QEL_FIELD(region, name).empty() && QEL_FIELD(region, size) != 0 &&
         checked_add<std::uint32_t>(QEL_FIELD(region, address), QEL_FIELD(region, size))
             .has_value() &&
         (physical_tile == NO_TILE || tile_ids.contains(physical_tile));
}

template <class Symbols, class Regions>
[[nodiscard]] Result<void> validate_debug_map(const Symbols& symbols, const Regions& regions,
                                              const TileIds& tile_ids) {
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    if (QEL_FIELD(symbols[i], name).empty()) {
      return invalid_at(element_path("", "debug_symbols", i), "invalid package debug map");
    }
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    if (!is_valid_debug_region(regions[i], tile_ids)) {
      return invalid_at(element_path("", "debug_regions", i), "invalid package debug map");
    }
  }
  return {};
}

template <class Binding, class Slice>
[[nodiscard]] Result<void> validate_binding_slice(const Binding& binding, const Slice& slice,
                                                  const TileIds& tile_ids,
                                                  const std::string_view list, std::size_t index,
                                                  std::size_t slice_index) {
  const auto slice_location = [&] {
    return element_path(element_path("", list, index), "slices", slice_index);
  };
  const std::uint64_t size = QEL_FIELD(slice, size);
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    return invalid_at(slice_location(), "binding {} slice is too large", QEL_FIELD(binding, name));
  }
  const std::uint32_t tile_address = QEL_FIELD(slice, tile_address);
  const auto end = checked_add(tile_address, static_cast<std::uint32_t>(size));
  if (!end) {
    return invalid_at(slice_location(), "binding address overflow");
  }
  if (!tile_ids.contains(QEL_FIELD(slice, tile)) || tile_address < TILE_MEMORY_BASE ||
      *end > TILE_MEMORY_END) {
    return invalid_at(slice_location(), "binding {} references invalid tile memory",
                      QEL_FIELD(binding, name));
  }
  return {};
}

template <class Bindings>
[[nodiscard]] Result<void> validate_binding_list(
    const Bindings& bindings, std::string_view list,
    std::unordered_set<std::string_view>& binding_names, const TileIds& tile_ids) {
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    decltype(auto) binding = bindings[i];
    const std::string_view name = QEL_FIELD(binding, name);
    if (name.empty() || !binding_names.insert(name).second) {
      return invalid_at(element_path("", list, i), "empty or duplicate binding {}", name);
    }
    QEL_TRY(binding_extent(binding, list, i));
    const auto& slices = QEL_FIELD(binding, slices);
    for (std::size_t k = 0; k < slices.size(); ++k) {
      QEL_TRY(validate_binding_slice(binding, slices[k], tile_ids, list, i, k));
    }
  }
  return {};
}

// Names are unique across inputs, outputs and weights together.
template <class Application>
[[nodiscard]] Result<void> validate_bindings(const Application& application,
                                             const TileIds& tile_ids) {
  const auto& inputs = QEL_FIELD(application, inputs);
  const auto& outputs = QEL_FIELD(application, outputs);
  const auto& weights = QEL_FIELD(application, weights);
  std::unordered_set<std::string_view> binding_names;
  binding_names.reserve(inputs.size() + outputs.size() + weights.size());
  QEL_TRY(validate_binding_list(inputs, "inputs", binding_names, tile_ids));
  QEL_TRY(validate_binding_list(outputs, "outputs", binding_names, tile_ids));
  return validate_binding_list(weights, "weights", binding_names, tile_ids);
}

// A repeated page index keeps its first size.
template <class Exchange>
[[nodiscard]] Result<void> validate_host_page_table(const Exchange& exchange, HostPages& pages) {
  const auto& page_list = QEL_FIELD(exchange, pages);
  pages.reserve(page_list.size());
  std::optional<std::size_t> repeated;
  for (std::size_t j = 0; j < page_list.size(); ++j) {
    decltype(auto) page = page_list[j];
    if (!pages.emplace(QEL_FIELD(page, index), QEL_FIELD(page, size)).second && !repeated) {
      repeated = j;
    }
  }
  if (repeated) {
    return invalid_at(element_path("host_exchange", "pages", *repeated), "invalid host page table");
  }
  const auto& attach_order = QEL_FIELD(exchange, attach_order);
  for (std::size_t k = 0; k < attach_order.size(); ++k) {
    if (!pages.contains(attach_order[k])) {
      return invalid_at(element_path("host_exchange", "attach_order", k),
                        "invalid host page table");
    }
  }
  return {};
}

// The 4-byte command word must lie inside the command page; only checked when the device
// makes host calls at all.
template <class Exchange>
[[nodiscard]] Result<void> validate_host_startup(const Exchange& exchange, const HostPages& pages) {
  if (QEL_FIELD(exchange, calls).empty()) {
    return {};
  }
  const auto page = pages.find(QEL_FIELD(exchange, command_page));
  if (page == pages.end()) {
    return invalid_at("host_exchange.command_page", "invalid host startup protocol");
  }
  const auto end = checked_add<std::uint64_t>(QEL_FIELD(exchange, command_offset), 4);
  if (!end || *end > page->second) {
    return invalid_at("host_exchange.command_offset", "invalid host startup protocol");
  }
  return {};
}

// Checks one direction of a host call's batch boundaries against its slice count. call_path
// names the call; empty when the caller has no list to name.
template <class Call, class Ends>
[[nodiscard]] Result<void> validate_batch_ends(const Call& call, std::string_view call_path,
                                               std::string_view direction, const Ends& ends,
                                               std::size_t slice_count) {
  const std::string list = fmt::format("{}_batch_ends", direction);
  // Sizes hold every 32-bit boundary (see checked.hpp), so a boundary always converts.
  std::size_t previous = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const std::uint32_t end = ends[k];
    if (end <= previous || end > slice_count) {
      return invalid_at(element_path(call_path, list, k),
                        "host call {} has invalid {} batch boundary {}", QEL_FIELD(call, name),
                        direction, end);
    }
    previous = end;
  }
  if (previous != slice_count) {
    return invalid_at(field_path(call_path, list), "host call {} {} batches cover {} of {} slices",
                      QEL_FIELD(call, name), direction, previous, slice_count);
  }
  return {};
}

template <class Call, class Slices>
[[nodiscard]] Result<void> validate_host_slices(const Call& call, std::string_view call_path,
                                                std::string_view list, const Slices& slices,
                                                const HostPages& pages) {
  for (std::size_t j = 0; j < slices.size(); ++j) {
    decltype(auto) slice = slices[j];
    const auto page = pages.find(QEL_FIELD(slice, page));
    if (page == pages.end()) {
      return invalid_at(element_path(call_path, list, j), "host call {} references missing page",
                        QEL_FIELD(call, name));
    }
    const std::uint64_t size = QEL_FIELD(slice, size);
    const auto page_end = checked_add<std::uint64_t>(QEL_FIELD(slice, page_offset), size);
    const auto file_end = checked_add<std::uint64_t>(QEL_FIELD(slice, file_offset), size);
    if (!page_end || *page_end > page->second || !file_end) {
      return invalid_at(element_path(call_path, list, j), "host call {} has an invalid slice range",
                        QEL_FIELD(call, name));
    }
  }
  return {};
}

template <class Calls>
[[nodiscard]] Result<void> validate_host_calls(const Calls& calls, const HostPages& pages) {
  for (std::size_t i = 0; i < calls.size(); ++i) {
    decltype(auto) call = calls[i];
    const std::string call_path = element_path("host_exchange", "calls", i);
    if (QEL_FIELD(call, invocations) == 0) {
      return invalid_at(call_path, "host call {} has no invocations", QEL_FIELD(call, name));
    }
    const auto& inputs = QEL_FIELD(call, inputs);
    const auto& outputs = QEL_FIELD(call, outputs);
    QEL_TRY(validate_batch_ends(call, call_path, "input", QEL_FIELD(call, input_batch_ends),
                                inputs.size()));
    QEL_TRY(validate_batch_ends(call, call_path, "output", QEL_FIELD(call, output_batch_ends),
                                outputs.size()));
    QEL_TRY(validate_host_slices(call, call_path, "inputs", inputs, pages));
    QEL_TRY(validate_host_slices(call, call_path, "outputs", outputs, pages));
  }
  return {};
}

template <class Exchange>
[[nodiscard]] Result<void> validate_host_exchange(const Exchange& exchange) {
  HostPages pages;
  QEL_TRY(validate_host_page_table(exchange, pages));
  QEL_TRY(validate_host_startup(exchange, pages));
  return validate_host_calls(QEL_FIELD(exchange, calls), pages);
}

// Every rule in order; the first broken one is reported. The error is always Invalid.
template <class Application>
[[nodiscard]] Result<void> validate_application(const Application& application) {
  QEL_TRY(validate_tiles_present(application));
  QEL_TRY(validate_device_config_writes(QEL_FIELD(application, device_config_writes)));
  TileIds tile_ids;
  QEL_TRY(validate_tiles(QEL_FIELD(application, tiles), tile_ids));
  QEL_TRY(validate_profile_plans(QEL_FIELD(application, profile_tiles), tile_ids));
  QEL_TRY(validate_debug_map(QEL_FIELD(application, debug_symbols),
                             QEL_FIELD(application, debug_regions), tile_ids));
  QEL_TRY(validate_bindings(application, tile_ids));
  return validate_host_exchange(QEL_FIELD(application, host_exchange));
}

}  // namespace qel_package::detail
