#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

#include "lib/fail.hpp"
#include "lib/log.hpp"
#include "lib/message.hpp"
#include "lib/read_into.hpp"

namespace qel_package {
namespace {

namespace wire = application_capnp;

using detail::decode_text;
using detail::invalid;
using detail::read_into;

template <class T>
using ListReader = typename capnp::List<T>::Reader;

std::vector<std::uint32_t> read_u32s(ListReader<std::uint32_t> values) {
  std::vector<std::uint32_t> result;
  result.reserve(values.size());
  for (const std::uint32_t value : values) {
    result.push_back(value);
  }
  return result;
}

// Nothing of the package is converted before its header is known to be this format's.
[[nodiscard]] Result<void> check_header(wire::Application::Reader root) {
  if (root.getSchemaVersion() != SCHEMA_VERSION) {
    return invalid("incompatible package header");
  }
  std::string target;
  QEL_ASSIGN(target, decode_text(root.getTarget()));
  if (target != TARGET || root.getTileMemoryBase() != TILE_MEMORY_BASE ||
      root.getTileMemorySize() != TILE_MEMORY_SIZE) {
    return invalid("incompatible package header");
  }
  return {};
}

std::vector<TileImage> read_tiles(ListReader<wire::TileImage> tiles) {
  std::vector<TileImage> result;
  result.reserve(tiles.size());
  for (const auto tile : tiles) {
    TileImage& image = result.emplace_back();
    image.physical_tile = tile.getPhysicalTile();
    image.entry_point = tile.getEntryPoint();
    image.command_address = tile.getCommandAddress();
    image.diagnostic_address = tile.getDiagnosticAddress();
    const auto segments = tile.getSegments();
    image.segments.reserve(segments.size());
    for (const auto segment : segments) {
      const auto data = segment.getData();
      image.segments.push_back(Segment{
          .address = segment.getAddress(),
          .memory_size = segment.getMemorySize(),
          .data = std::vector<std::uint8_t>(data.begin(), data.end()),
          .flags = segment.getFlags(),
      });
    }
  }
  return result;
}

[[nodiscard]] Result<Binding> read_binding(wire::Binding::Reader binding) {
  Binding result;
  QEL_ASSIGN(result.name, decode_text(binding.getName()));
  QEL_ASSIGN(result.dtype, decode_text(binding.getDtype()));
  result.shape = read_u32s(binding.getShape());
  const auto slices = binding.getSlices();
  result.slices.reserve(slices.size());
  for (const auto slice : slices) {
    result.slices.push_back(RegionSlice{
        .tile = slice.getTile(),
        .tile_address = slice.getTileAddress(),
        .file_offset = slice.getFileOffset(),
        .size = slice.getSize(),
    });
  }
  return result;
}

std::vector<HostSlice> read_host_slices(ListReader<wire::HostSlice> slices) {
  std::vector<HostSlice> result;
  result.reserve(slices.size());
  for (const auto slice : slices) {
    result.push_back(HostSlice{
        .page = slice.getPage(),
        .page_offset = slice.getPageOffset(),
        .file_offset = slice.getFileOffset(),
        .size = slice.getSize(),
    });
  }
  return result;
}

[[nodiscard]] Result<HostCall> read_host_call(wire::HostCall::Reader call) {
  HostCall result;
  QEL_ASSIGN(result.name, decode_text(call.getName()));
  result.command = call.getCommand();
  result.phases = call.getPhases();
  result.invocations = call.getInvocations();
  result.inputs = read_host_slices(call.getInputs());
  result.outputs = read_host_slices(call.getOutputs());
  result.input_batch_ends = read_u32s(call.getInputBatchEnds());
  result.output_batch_ends = read_u32s(call.getOutputBatchEnds());
  return result;
}

[[nodiscard]] Result<HostExchange> read_host_exchange(wire::HostExchange::Reader exchange) {
  HostExchange result;
  result.startup_mark = exchange.getStartupMark();
  result.command_page = exchange.getCommandPage();
  result.command_offset = exchange.getCommandOffset();
  const auto pages = exchange.getPages();
  result.pages.reserve(pages.size());
  for (const auto page : pages) {
    result.pages.push_back(HostPage{.index = page.getIndex(), .size = page.getSize()});
  }
  result.attach_order = read_u32s(exchange.getAttachOrder());
  QEL_TRY(read_into<read_host_call>(result.calls, exchange.getCalls()));
  return result;
}

[[nodiscard]] Result<EntryPoint> read_entry_point(wire::EntryPoint::Reader entry_point) {
  EntryPoint result;
  QEL_ASSIGN(result.name, decode_text(entry_point.getName()));
  result.command = entry_point.getCommand();
  result.external_syncs = entry_point.getExternalSyncs();
  return result;
}

[[nodiscard]] Result<std::vector<TileProfilePlan>> read_profile_tiles(
    ListReader<wire::TileProfilePlan> plans) {
  std::vector<TileProfilePlan> result;
  result.reserve(plans.size());
  for (const auto plan : plans) {
    TileProfilePlan& converted = result.emplace_back();
    converted.physical_tile = plan.getPhysicalTile();
    QEL_TRY(read_into<profile::ProfileStep::read>(converted.steps, plan.getSteps()));
  }
  return result;
}

[[nodiscard]] Result<DebugSymbol> read_debug_symbol(wire::DebugSymbol::Reader symbol) {
  DebugSymbol result;
  QEL_ASSIGN(result.name, decode_text(symbol.getName()));
  result.address = symbol.getAddress();
  return result;
}

[[nodiscard]] Result<DebugRegion> read_debug_region(wire::DebugRegion::Reader region) {
  DebugRegion result;
  result.physical_tile = region.getPhysicalTile();
  result.address = region.getAddress();
  result.size = region.getSize();
  QEL_ASSIGN(result.name, decode_text(region.getName()));
  return result;
}

// Fields are converted in the order they are listed, so the first broken field is the one
// reported.
[[nodiscard]] Result<Application> read_application(wire::Application::Reader root) {
  QEL_TRY(check_header(root));
  Application application;
  QEL_ASSIGN(application.compiler_version, decode_text(root.getCompilerVersion()));
  application.tiles = read_tiles(root.getTiles());
  QEL_TRY(read_into<read_binding>(application.inputs, root.getInputs()));
  QEL_TRY(read_into<read_binding>(application.outputs, root.getOutputs()));
  QEL_TRY(read_into<read_binding>(application.weights, root.getWeights()));
  QEL_ASSIGN(application.host_exchange, read_host_exchange(root.getHostExchange()));
  QEL_TRY(read_into<read_entry_point>(application.entry_points, root.getEntryPoints()));
  const auto writes = root.getDeviceConfigWrites();
  application.device_config_writes.reserve(writes.size());
  for (const auto write : writes) {
    application.device_config_writes.push_back(
        DeviceConfigWrite{.offset = write.getOffset(), .value = write.getValue()});
  }
  QEL_ASSIGN(application.profile_tiles, read_profile_tiles(root.getProfileTiles()));
  QEL_TRY(read_into<read_debug_symbol>(application.debug_symbols, root.getDebugSymbols()));
  QEL_TRY(read_into<read_debug_region>(application.debug_regions, root.getDebugRegions()));
  return application;
}

}  // namespace

Result<Application> Application::read(std::span<const std::uint8_t> input) {
  const detail::EventLog log;
  log.info("reading application package");
  auto application = detail::read_message<wire::Application>(input, read_application);
  if (!application) {
    return application;
  }
  QEL_TRY(application->validate());
  log.info("application package read tiles={} compiler={}", application->tiles.size(),
           application->compiler_version);
  return application;
}

}  // namespace qel_package
