#pragma once

#include <cstdint>
#include <vector>

#include <capnp/message.h>
#include <capnp/serialize.h>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

namespace qel_package::testing {

// The package as a framed message, whether or not it is valid, for tests that hand broken
// packages to the views. The writer refuses those.
inline std::vector<std::uint8_t> unvalidated_bytes(const Application& application) {
  namespace wire = application_capnp;
  const auto text = [](const std::string& s) { return capnp::Text::Reader(s.data(), s.size()); };
  const auto u32s = [](auto output, const std::vector<std::uint32_t>& values) {
    for (unsigned i = 0; i < values.size(); ++i) {
      output.set(i, values[i]);
    }
  };
  const auto bindings = [&](auto output, const std::vector<Binding>& list) {
    for (unsigned i = 0; i < list.size(); ++i) {
      output[i].setName(text(list[i].name));
      output[i].setDtype(text(list[i].dtype));
      u32s(output[i].initShape(list[i].shape.size()), list[i].shape);
      auto slices = output[i].initSlices(list[i].slices.size());
      for (unsigned j = 0; j < slices.size(); ++j) {
        const RegionSlice& slice = list[i].slices[j];
        slices[j].setTile(slice.tile);
        slices[j].setTileAddress(slice.tile_address);
        slices[j].setFileOffset(slice.file_offset);
        slices[j].setSize(slice.size);
      }
    }
  };
  const auto host_slices = [](auto output, const std::vector<HostSlice>& list) {
    for (unsigned i = 0; i < list.size(); ++i) {
      output[i].setPage(list[i].page);
      output[i].setPageOffset(list[i].page_offset);
      output[i].setFileOffset(list[i].file_offset);
      output[i].setSize(list[i].size);
    }
  };

  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<wire::Application>();
  root.setSchemaVersion(SCHEMA_VERSION);
  root.setCompilerVersion(text(application.compiler_version));
  root.setTarget(capnp::Text::Reader(TARGET.data(), TARGET.size()));
  root.setTileMemoryBase(TILE_MEMORY_BASE);
  root.setTileMemorySize(TILE_MEMORY_SIZE);
  auto tiles = root.initTiles(application.tiles.size());
  for (unsigned i = 0; i < tiles.size(); ++i) {
    const TileImage& tile = application.tiles[i];
    tiles[i].setPhysicalTile(tile.physical_tile);
    tiles[i].setEntryPoint(tile.entry_point);
    tiles[i].setCommandAddress(tile.command_address);
    tiles[i].setDiagnosticAddress(tile.diagnostic_address);
    auto segments = tiles[i].initSegments(tile.segments.size());
    for (unsigned j = 0; j < segments.size(); ++j) {
      const Segment& segment = tile.segments[j];
      segments[j].setAddress(segment.address);
      segments[j].setMemorySize(segment.memory_size);
      segments[j].setData(capnp::Data::Reader(segment.data.data(), segment.data.size()));
      segments[j].setFlags(segment.flags);
    }
  }
  bindings(root.initInputs(application.inputs.size()), application.inputs);
  bindings(root.initOutputs(application.outputs.size()), application.outputs);
  bindings(root.initWeights(application.weights.size()), application.weights);
  const HostExchange& exchange = application.host_exchange;
  auto exchange_output = root.initHostExchange();
  exchange_output.setStartupMark(exchange.startup_mark);
  exchange_output.setCommandPage(exchange.command_page);
  exchange_output.setCommandOffset(exchange.command_offset);
  auto pages = exchange_output.initPages(exchange.pages.size());
  for (unsigned i = 0; i < pages.size(); ++i) {
    pages[i].setIndex(exchange.pages[i].index);
    pages[i].setSize(exchange.pages[i].size);
  }
  u32s(exchange_output.initAttachOrder(exchange.attach_order.size()), exchange.attach_order);
  auto calls = exchange_output.initCalls(exchange.calls.size());
  for (unsigned i = 0; i < calls.size(); ++i) {
    const HostCall& call = exchange.calls[i];
    calls[i].setName(text(call.name));
    calls[i].setCommand(call.command);
    calls[i].setPhases(call.phases);
    calls[i].setInvocations(call.invocations);
    host_slices(calls[i].initInputs(call.inputs.size()), call.inputs);
    host_slices(calls[i].initOutputs(call.outputs.size()), call.outputs);
    u32s(calls[i].initInputBatchEnds(call.input_batch_ends.size()), call.input_batch_ends);
    u32s(calls[i].initOutputBatchEnds(call.output_batch_ends.size()), call.output_batch_ends);
  }
  auto entry_points = root.initEntryPoints(application.entry_points.size());
  for (unsigned i = 0; i < entry_points.size(); ++i) {
    entry_points[i].setName(text(application.entry_points[i].name));
    entry_points[i].setCommand(application.entry_points[i].command);
    entry_points[i].setExternalSyncs(application.entry_points[i].external_syncs);
  }
  auto writes = root.initDeviceConfigWrites(application.device_config_writes.size());
  for (unsigned i = 0; i < writes.size(); ++i) {
    writes[i].setOffset(application.device_config_writes[i].offset);
    writes[i].setValue(application.device_config_writes[i].value);
  }
  auto plans = root.initProfileTiles(application.profile_tiles.size());
  for (unsigned i = 0; i < plans.size(); ++i) {
    const TileProfilePlan& plan = application.profile_tiles[i];
    plans[i].setPhysicalTile(plan.physical_tile);
    auto steps = plans[i].initSteps(plan.steps.size());
    for (unsigned j = 0; j < steps.size(); ++j) {
      plan.steps[j].write(steps[j]);
    }
  }
  auto symbols = root.initDebugSymbols(application.debug_symbols.size());
  for (unsigned i = 0; i < symbols.size(); ++i) {
    symbols[i].setName(text(application.debug_symbols[i].name));
    symbols[i].setAddress(application.debug_symbols[i].address);
  }
  auto regions = root.initDebugRegions(application.debug_regions.size());
  for (unsigned i = 0; i < regions.size(); ++i) {
    const DebugRegion& region = application.debug_regions[i];
    regions[i].setPhysicalTile(region.physical_tile);
    regions[i].setAddress(region.address);
    regions[i].setSize(region.size);
    regions[i].setName(text(region.name));
  }
  const auto words = capnp::messageToFlatArray(message);
  const auto bytes = words.asBytes();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace qel_package::testing
