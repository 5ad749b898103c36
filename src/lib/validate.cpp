#include <algorithm>
#include <limits>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

#include "lib/checked.hpp"
#include "lib/fail.hpp"
#include "lib/validate.hpp"

namespace qel_package {

namespace detail {

Result<void> validate_segment(const TileImage& tile, const Segment& segment) {
  const auto end = checked_add(segment.address, segment.memory_size);
  if (!end) {
    return invalid("segment address overflow");
  }
  if (segment.address < TILE_MEMORY_BASE || *end > TILE_MEMORY_END ||
      segment.data.size() > segment.memory_size) {
    return invalid(
        "invalid segment on tile {}: address=0x{:x} end=0x{:x} memory_size={} data_size={}",
        tile.physical_tile, segment.address, *end, segment.memory_size, segment.data.size());
  }
  return {};
}

}  // namespace detail

namespace {

using detail::checked_add;
using detail::invalid;
using detail::validate_segment;

using TileIds = std::unordered_set<std::uint32_t>;
// Host page index to page size.
using HostPages = std::unordered_map<std::uint32_t, std::uint64_t>;

[[nodiscard]] Result<void> validate_tiles_present(const Application& application) {
  if (application.tiles.empty()) {
    return invalid("application has no tiles");
  }
  return {};
}

[[nodiscard]] Result<void> validate_device_config_writes(
    std::span<const DeviceConfigWrite> writes) {
  std::unordered_set<std::uint32_t> config_offsets;
  config_offsets.reserve(writes.size());
  for (const DeviceConfigWrite& write : writes) {
    if (write.offset % 4 != 0 || !config_offsets.insert(write.offset).second) {
      return invalid("unaligned or duplicate device configuration write");
    }
  }
  return {};
}

// Start and end of a segment's memory.
using SegmentRanges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Runs after validate_segment has passed for every segment of the tile, so no end
// overflows. After sorting, any overlap shows between neighbours. ranges is scratch space,
// kept from tile to tile so that it is allocated about once per package.
[[nodiscard]] Result<void> validate_segment_overlap(const TileImage& tile, SegmentRanges& ranges) {
  ranges.clear();
  for (const Segment& segment : tile.segments) {
    if (segment.memory_size != 0) {
      ranges.emplace_back(segment.address, segment.address + segment.memory_size);
    }
  }
  std::sort(ranges.begin(), ranges.end());
  const auto overlap =
      std::adjacent_find(ranges.begin(), ranges.end(),
                         [](const auto& a, const auto& b) { return a.second > b.first; });
  if (overlap != ranges.end()) {
    const auto& a = *overlap;
    const auto& b = *std::next(overlap);
    return invalid("overlapping segments on tile {}: 0x{:x}..0x{:x} and 0x{:x}..0x{:x}",
                   tile.physical_tile, a.first, a.second, b.first, b.second);
  }
  return {};
}

[[nodiscard]] Result<void> validate_tiles(std::span<const TileImage> tiles, TileIds& tile_ids) {
  tile_ids.reserve(tiles.size());
  SegmentRanges ranges;
  for (const TileImage& tile : tiles) {
    if (!tile_ids.insert(tile.physical_tile).second) {
      return invalid("duplicate physical tile {}", tile.physical_tile);
    }
    for (const Segment& segment : tile.segments) {
      QEL_TRY(validate_segment(tile, segment));
    }
    QEL_TRY(validate_segment_overlap(tile, ranges));
  }
  return {};
}

bool steps_are_numbered(const TileProfilePlan& plan) {
  for (std::size_t position = 0; position < plan.steps.size(); ++position) {
    if (plan.steps[position].local_index != position) {
      return false;
    }
  }
  return true;
}

[[nodiscard]] Result<void> validate_profile_plans(std::span<const TileProfilePlan> plans,
                                                  const TileIds& tile_ids) {
  std::unordered_set<std::uint32_t> profile_tile_ids;
  profile_tile_ids.reserve(plans.size());
  for (const TileProfilePlan& plan : plans) {
    if (!tile_ids.contains(plan.physical_tile) ||
        !profile_tile_ids.insert(plan.physical_tile).second || !steps_are_numbered(plan)) {
      return invalid("invalid tile profile plan");
    }
  }
  return {};
}

// Marks a debug region that belongs to no particular tile.
constexpr std::uint32_t NO_TILE = std::numeric_limits<std::uint32_t>::max();

bool is_valid_debug_region(const DebugRegion& region, const TileIds& tile_ids) {
  return !region.name.empty() && region.size != 0 &&
         checked_add(region.address, region.size).has_value() &&
         (region.physical_tile == NO_TILE || tile_ids.contains(region.physical_tile));
}

[[nodiscard]] Result<void> validate_debug_map(std::span<const DebugSymbol> symbols,
                                              std::span<const DebugRegion> regions,
                                              const TileIds& tile_ids) {
  const auto unnamed = [](const DebugSymbol& symbol) { return symbol.name.empty(); };
  const auto valid = [&](const DebugRegion& region) {
    return is_valid_debug_region(region, tile_ids);
  };
  if (std::any_of(symbols.begin(), symbols.end(), unnamed) ||
      !std::all_of(regions.begin(), regions.end(), valid)) {
    return invalid("invalid package debug map");
  }
  return {};
}

[[nodiscard]] Result<void> validate_binding_slice(const Binding& binding, const RegionSlice& slice,
                                                  const TileIds& tile_ids) {
  if (slice.size > std::numeric_limits<std::uint32_t>::max()) {
    return invalid("binding {} slice is too large", binding.name);
  }
  const auto end = checked_add(slice.tile_address, static_cast<std::uint32_t>(slice.size));
  if (!end) {
    return invalid("binding address overflow");
  }
  if (!tile_ids.contains(slice.tile) || slice.tile_address < TILE_MEMORY_BASE ||
      *end > TILE_MEMORY_END) {
    return invalid("binding {} references invalid tile memory", binding.name);
  }
  return {};
}

[[nodiscard]] Result<void> validate_bindings(const Application& application,
                                             const TileIds& tile_ids) {
  std::unordered_set<std::string_view> binding_names;
  binding_names.reserve(application.inputs.size() + application.outputs.size() +
                        application.weights.size());
  for (const auto* list : {&application.inputs, &application.outputs, &application.weights}) {
    for (const Binding& binding : *list) {
      if (binding.name.empty() || !binding_names.insert(binding.name).second) {
        return invalid("empty or duplicate binding {}", binding.name);
      }
      QEL_TRY(binding.byte_len());
      for (const RegionSlice& slice : binding.slices) {
        QEL_TRY(validate_binding_slice(binding, slice, tile_ids));
      }
    }
  }
  return {};
}

[[nodiscard]] Result<void> validate_host_page_table(const HostExchange& exchange,
                                                    HostPages& pages) {
  pages.reserve(exchange.pages.size());
  for (const HostPage& page : exchange.pages) {
    pages.emplace(page.index, page.size);
  }
  const bool attach_order_valid =
      std::all_of(exchange.attach_order.begin(), exchange.attach_order.end(),
                  [&](std::uint32_t index) { return pages.contains(index); });
  if (pages.size() < exchange.pages.size() || !attach_order_valid) {
    return invalid("invalid host page table");
  }
  return {};
}

// The 4-byte command word must lie inside the command page; only checked when the device
// makes host calls at all.
[[nodiscard]] Result<void> validate_host_startup(const HostExchange& exchange,
                                                 const HostPages& pages) {
  if (exchange.calls.empty()) {
    return {};
  }
  const auto page = pages.find(exchange.command_page);
  if (page == pages.end()) {
    return invalid("invalid host startup protocol");
  }
  const auto end = checked_add<std::uint64_t>(exchange.command_offset, 4);
  if (!end || *end > page->second) {
    return invalid("invalid host startup protocol");
  }
  return {};
}

[[nodiscard]] Result<void> validate_host_slice(const HostCall& call, const HostSlice& slice,
                                               const HostPages& pages) {
  const auto page = pages.find(slice.page);
  if (page == pages.end()) {
    return invalid("host call {} references missing page", call.name);
  }
  const auto page_end = checked_add(slice.page_offset, slice.size);
  const auto file_end = checked_add(slice.file_offset, slice.size);
  if (!page_end || *page_end > page->second || !file_end) {
    return invalid("host call {} has an invalid slice range", call.name);
  }
  return {};
}

[[nodiscard]] Result<void> validate_host_calls(std::span<const HostCall> calls,
                                               const HostPages& pages) {
  for (const HostCall& call : calls) {
    if (call.invocations == 0) {
      return invalid("host call {} has no invocations", call.name);
    }
    QEL_TRY(validate_host_batch_ends(call, "input", call.input_batch_ends, call.inputs.size()));
    QEL_TRY(validate_host_batch_ends(call, "output", call.output_batch_ends, call.outputs.size()));
    for (const auto* slices : {&call.inputs, &call.outputs}) {
      for (const HostSlice& slice : *slices) {
        QEL_TRY(validate_host_slice(call, slice, pages));
      }
    }
  }
  return {};
}

[[nodiscard]] Result<void> validate_host_exchange(const HostExchange& exchange) {
  HostPages pages;
  QEL_TRY(validate_host_page_table(exchange, pages));
  QEL_TRY(validate_host_startup(exchange, pages));
  return validate_host_calls(exchange.calls, pages);
}

}  // namespace

Result<void> Application::validate() const {
  QEL_TRY(validate_tiles_present(*this));
  QEL_TRY(validate_device_config_writes(device_config_writes));
  TileIds tile_ids;
  QEL_TRY(validate_tiles(tiles, tile_ids));
  QEL_TRY(validate_profile_plans(profile_tiles, tile_ids));
  QEL_TRY(validate_debug_map(debug_symbols, debug_regions, tile_ids));
  QEL_TRY(validate_bindings(*this, tile_ids));
  return validate_host_exchange(host_exchange);
}

// Sizes hold every 32-bit boundary (see checked.hpp), so a boundary always converts.
Result<void> validate_host_batch_ends(const HostCall& call, std::string_view direction,
                                      std::span<const std::uint32_t> ends,
                                      std::size_t slice_count) {
  std::size_t previous = 0;
  for (const std::uint32_t end : ends) {
    if (end <= previous || end > slice_count) {
      return invalid("host call {} has invalid {} batch boundary {}", call.name, direction, end);
    }
    previous = end;
  }
  if (previous != slice_count) {
    return invalid("host call {} {} batches cover {} of {} slices", call.name, direction, previous,
                   slice_count);
  }
  return {};
}

}  // namespace qel_package
