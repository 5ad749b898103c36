#include <qel_package/application_view.hpp>

#include "lib/checked_message.hpp"
#include "lib/validate.hpp"
#include "lib/wire_check.hpp"

namespace qel_package {
namespace {

template <class List>
std::vector<std::uint32_t> to_numbers(const List& values) {
  return std::vector<std::uint32_t>(values.begin(), values.end());
}

std::vector<Segment> to_segments(const TileView& tile) {
  const auto segments = tile.segments();
  std::vector<Segment> result;
  result.reserve(segments.size());
  for (const SegmentView segment : segments) {
    const auto data = segment.data();
    result.push_back(Segment{
        .address = segment.address(),
        .memory_size = segment.memory_size(),
        .data = std::vector<std::uint8_t>(data.begin(), data.end()),
        .flags = segment.flags(),
    });
  }
  return result;
}

template <class List>
std::vector<Binding> to_bindings(const List& bindings) {
  std::vector<Binding> result;
  result.reserve(bindings.size());
  for (const BindingView binding : bindings) {
    Binding& converted = result.emplace_back();
    converted.name = binding.name();
    converted.dtype = binding.dtype();
    converted.shape = to_numbers(binding.shape());
    const auto slices = binding.slices();
    converted.slices.reserve(slices.size());
    for (const RegionSliceView slice : slices) {
      converted.slices.push_back(RegionSlice{
          .tile = slice.tile(),
          .tile_address = slice.tile_address(),
          .file_offset = slice.file_offset(),
          .size = slice.size(),
      });
    }
  }
  return result;
}

template <class List>
std::vector<HostSlice> to_host_slices(const List& slices) {
  std::vector<HostSlice> result;
  result.reserve(slices.size());
  for (const HostSliceView slice : slices) {
    result.push_back(HostSlice{
        .page = slice.page(),
        .page_offset = slice.page_offset(),
        .file_offset = slice.file_offset(),
        .size = slice.size(),
    });
  }
  return result;
}

HostExchange to_host_exchange(const HostExchangeView& exchange) {
  HostExchange result{
      .startup_mark = exchange.startup_mark(),
      .command_page = exchange.command_page(),
      .command_offset = exchange.command_offset(),
  };
  const auto pages = exchange.pages();
  result.pages.reserve(pages.size());
  for (const HostPageView page : pages) {
    result.pages.push_back(HostPage{.index = page.index(), .size = page.size()});
  }
  result.attach_order = to_numbers(exchange.attach_order());
  const auto calls = exchange.calls();
  result.calls.reserve(calls.size());
  for (const HostCallView call : calls) {
    result.calls.push_back(HostCall{
        .name = std::string(call.name()),
        .command = call.command(),
        .phases = call.phases(),
        .inputs = to_host_slices(call.inputs()),
        .outputs = to_host_slices(call.outputs()),
        .invocations = call.invocations(),
        .input_batch_ends = to_numbers(call.input_batch_ends()),
        .output_batch_ends = to_numbers(call.output_batch_ends()),
    });
  }
  return result;
}

}  // namespace

Result<ApplicationView> ApplicationView::open(std::span<const std::uint8_t> input) {
  auto opened =
      detail::open_checked<application_capnp::Application>(input, detail::check_application);
  if (!opened) {
    return tl::unexpected(std::move(opened).error());
  }
  ApplicationView view(std::move(opened->message), opened->root, opened->message_bytes);
  QEL_TRY(detail::validate_application(view));
  return view;
}

Application ApplicationView::to_application() const {
  Application application{.compiler_version = std::string(compiler_version())};

  const auto tile_views = tiles();
  application.tiles.reserve(tile_views.size());
  for (const TileView tile : tile_views) {
    application.tiles.push_back(TileImage{
        .physical_tile = tile.physical_tile(),
        .entry_point = tile.entry_point(),
        .command_address = tile.command_address(),
        .diagnostic_address = tile.diagnostic_address(),
        .segments = to_segments(tile),
    });
  }
  application.inputs = to_bindings(inputs());
  application.outputs = to_bindings(outputs());
  application.weights = to_bindings(weights());
  application.host_exchange = to_host_exchange(host_exchange());

  const auto entry_point_views = entry_points();
  application.entry_points.reserve(entry_point_views.size());
  for (const EntryPointView entry_point : entry_point_views) {
    application.entry_points.push_back(EntryPoint{
        .name = std::string(entry_point.name()),
        .command = entry_point.command(),
        .external_syncs = entry_point.external_syncs(),
    });
  }

  const auto write_views = device_config_writes();
  application.device_config_writes.reserve(write_views.size());
  for (const DeviceConfigWriteView write : write_views) {
    application.device_config_writes.push_back(
        DeviceConfigWrite{.offset = write.offset(), .value = write.value()});
  }

  const auto plan_views = profile_tiles();
  application.profile_tiles.reserve(plan_views.size());
  for (const TileProfilePlanView plan : plan_views) {
    TileProfilePlan& converted = application.profile_tiles.emplace_back();
    converted.physical_tile = plan.physical_tile();
    const auto steps = plan.steps();
    converted.steps.reserve(steps.size());
    for (const profile::ProfileStepView step : steps) {
      converted.steps.push_back(step.to_step());
    }
  }

  const auto symbol_views = debug_symbols();
  application.debug_symbols.reserve(symbol_views.size());
  for (const DebugSymbolView symbol : symbol_views) {
    application.debug_symbols.push_back(
        DebugSymbol{.name = std::string(symbol.name()), .address = symbol.address()});
  }

  const auto region_views = debug_regions();
  application.debug_regions.reserve(region_views.size());
  for (const DebugRegionView region : region_views) {
    application.debug_regions.push_back(DebugRegion{
        .physical_tile = region.physical_tile(),
        .address = region.address(),
        .size = region.size(),
        .name = std::string(region.name()),
    });
  }
  return application;
}

}  // namespace qel_package
