#include <cstdint>
#include <span>
#include <utility>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

#include "lib/fail.hpp"
#include "lib/log.hpp"
#include "lib/message.hpp"
#include "lib/message_measure.hpp"
#include "lib/sink_message_builder.hpp"
#include "lib/write_application.hpp"
#include "profile/measure_step.hpp"

namespace qel_package {
namespace {

namespace wire = application_capnp;

using detail::element_count;
using detail::MessageMeasure;
using detail::text_of;

// The measure_* functions count the words of everything the write_* functions below
// allocate, and refuse what the reader would refuse, in the order it meets it.

void measure_tiles(std::span<const TileImage> tiles, MessageMeasure& measure) {
  measure.add_struct_list<wire::TileImage>(tiles.size());
  for (const TileImage& tile : tiles) {
    measure.add_struct_list<wire::Segment>(tile.segments.size());
    for (const Segment& segment : tile.segments) {
      measure.add_data(segment.data.size());
    }
  }
}

void measure_bindings(std::span<const Binding> bindings, MessageMeasure& measure) {
  measure.add_struct_list<wire::Binding>(bindings.size());
  for (const Binding& binding : bindings) {
    measure.add_text(binding.name);
    measure.add_text(binding.dtype);
    measure.add_u32_list(binding.shape.size());
    measure.add_struct_list<wire::RegionSlice>(binding.slices.size());
  }
}

void measure_host_exchange(const HostExchange& exchange, MessageMeasure& measure) {
  measure.add_struct<wire::HostExchange>();
  measure.add_struct_list<wire::HostPage>(exchange.pages.size());
  measure.add_u32_list(exchange.attach_order.size());
  measure.add_struct_list<wire::HostCall>(exchange.calls.size());
  for (const HostCall& call : exchange.calls) {
    measure.add_text(call.name);
    measure.add_u32_list(call.input_batch_ends.size());
    measure.add_u32_list(call.output_batch_ends.size());
    measure.add_struct_list<wire::HostSlice>(call.inputs.size());
    measure.add_struct_list<wire::HostSlice>(call.outputs.size());
  }
}

void measure_profile_tiles(std::span<const TileProfilePlan> plans, MessageMeasure& measure) {
  measure.add_struct_list<wire::TileProfilePlan>(plans.size());
  for (const TileProfilePlan& plan : plans) {
    measure.add_struct_list<profile_capnp::ProfileStep>(plan.steps.size());
    for (const profile::ProfileStep& step : plan.steps) {
      profile::measure_step(step, measure);
    }
  }
}

void measure_application(const Application& application, MessageMeasure& measure) {
  measure.add_struct<wire::Application>();
  measure.add_text(application.compiler_version);
  measure.add_text(TARGET);
  measure_tiles(application.tiles, measure);
  measure_bindings(application.inputs, measure);
  measure_bindings(application.outputs, measure);
  measure_bindings(application.weights, measure);
  measure_host_exchange(application.host_exchange, measure);
  measure.add_struct_list<wire::EntryPoint>(application.entry_points.size());
  for (const EntryPoint& entry_point : application.entry_points) {
    measure.add_text(entry_point.name);
  }
  measure.add_struct_list<wire::DeviceConfigWrite>(application.device_config_writes.size());
  measure_profile_tiles(application.profile_tiles, measure);
  measure.add_struct_list<wire::DebugSymbol>(application.debug_symbols.size());
  for (const DebugSymbol& symbol : application.debug_symbols) {
    measure.add_text(symbol.name);
  }
  measure.add_struct_list<wire::DebugRegion>(application.debug_regions.size());
  for (const DebugRegion& region : application.debug_regions) {
    measure.add_text(region.name);
  }
}

template <class T>
using ListBuilder = typename capnp::List<T>::Builder;

capnp::Data::Reader data_of(const std::vector<std::uint8_t>& data) {
  return capnp::Data::Reader(data.data(), data.size());
}

void write_u32s(ListBuilder<std::uint32_t> output, std::span<const std::uint32_t> values) {
  for (unsigned i = 0; i < output.size(); ++i) {
    output.set(i, values[i]);
  }
}

void write_tiles(ListBuilder<wire::TileImage> output, std::span<const TileImage> tiles) {
  for (unsigned i = 0; i < output.size(); ++i) {
    const TileImage& tile = tiles[i];
    auto tile_output = output[i];
    tile_output.setPhysicalTile(tile.physical_tile);
    tile_output.setEntryPoint(tile.entry_point);
    tile_output.setCommandAddress(tile.command_address);
    tile_output.setDiagnosticAddress(tile.diagnostic_address);
    auto segments = tile_output.initSegments(element_count(tile.segments.size()));
    for (unsigned j = 0; j < segments.size(); ++j) {
      const Segment& segment = tile.segments[j];
      segments[j].setAddress(segment.address);
      segments[j].setMemorySize(segment.memory_size);
      segments[j].setData(data_of(segment.data));
      segments[j].setFlags(segment.flags);
    }
  }
}

void write_bindings(ListBuilder<wire::Binding> output, std::span<const Binding> bindings) {
  for (unsigned i = 0; i < output.size(); ++i) {
    const Binding& binding = bindings[i];
    auto binding_output = output[i];
    binding_output.setName(text_of(binding.name));
    binding_output.setDtype(text_of(binding.dtype));
    write_u32s(binding_output.initShape(element_count(binding.shape.size())), binding.shape);
    auto slices = binding_output.initSlices(element_count(binding.slices.size()));
    for (unsigned j = 0; j < slices.size(); ++j) {
      const RegionSlice& slice = binding.slices[j];
      slices[j].setTile(slice.tile);
      slices[j].setTileAddress(slice.tile_address);
      slices[j].setFileOffset(slice.file_offset);
      slices[j].setSize(slice.size);
    }
  }
}

void write_host_slices(ListBuilder<wire::HostSlice> output, std::span<const HostSlice> slices) {
  for (unsigned i = 0; i < output.size(); ++i) {
    output[i].setPage(slices[i].page);
    output[i].setPageOffset(slices[i].page_offset);
    output[i].setFileOffset(slices[i].file_offset);
    output[i].setSize(slices[i].size);
  }
}

void write_host_exchange(wire::HostExchange::Builder output, const HostExchange& exchange) {
  output.setStartupMark(exchange.startup_mark);
  output.setCommandPage(exchange.command_page);
  output.setCommandOffset(exchange.command_offset);
  auto pages = output.initPages(element_count(exchange.pages.size()));
  for (unsigned i = 0; i < pages.size(); ++i) {
    pages[i].setIndex(exchange.pages[i].index);
    pages[i].setSize(exchange.pages[i].size);
  }
  write_u32s(output.initAttachOrder(element_count(exchange.attach_order.size())),
             exchange.attach_order);
  auto calls = output.initCalls(element_count(exchange.calls.size()));
  for (unsigned i = 0; i < calls.size(); ++i) {
    const HostCall& call = exchange.calls[i];
    auto call_output = calls[i];
    call_output.setName(text_of(call.name));
    call_output.setCommand(call.command);
    call_output.setPhases(call.phases);
    call_output.setInvocations(call.invocations);
    write_u32s(call_output.initInputBatchEnds(element_count(call.input_batch_ends.size())),
               call.input_batch_ends);
    write_u32s(call_output.initOutputBatchEnds(element_count(call.output_batch_ends.size())),
               call.output_batch_ends);
    write_host_slices(call_output.initInputs(element_count(call.inputs.size())), call.inputs);
    write_host_slices(call_output.initOutputs(element_count(call.outputs.size())), call.outputs);
  }
}

void write_profile_tiles(ListBuilder<wire::TileProfilePlan> output,
                         std::span<const TileProfilePlan> plans) {
  for (unsigned i = 0; i < output.size(); ++i) {
    const TileProfilePlan& plan = plans[i];
    output[i].setPhysicalTile(plan.physical_tile);
    auto steps = output[i].initSteps(element_count(plan.steps.size()));
    for (unsigned j = 0; j < steps.size(); ++j) {
      plan.steps[j].write(steps[j]);
    }
  }
}

}  // namespace

void detail::write_application(wire::Application::Builder root, const Application& application) {
  root.setSchemaVersion(SCHEMA_VERSION);
  root.setCompilerVersion(text_of(application.compiler_version));
  root.setTarget(capnp::Text::Reader(TARGET.data(), TARGET.size()));
  root.setTileMemoryBase(TILE_MEMORY_BASE);
  root.setTileMemorySize(TILE_MEMORY_SIZE);
  write_tiles(root.initTiles(element_count(application.tiles.size())), application.tiles);
  write_bindings(root.initInputs(element_count(application.inputs.size())), application.inputs);
  write_bindings(root.initOutputs(element_count(application.outputs.size())), application.outputs);
  write_bindings(root.initWeights(element_count(application.weights.size())), application.weights);
  write_host_exchange(root.initHostExchange(), application.host_exchange);
  auto entry_points = root.initEntryPoints(element_count(application.entry_points.size()));
  for (unsigned i = 0; i < entry_points.size(); ++i) {
    const EntryPoint& entry_point = application.entry_points[i];
    entry_points[i].setName(text_of(entry_point.name));
    entry_points[i].setCommand(entry_point.command);
    entry_points[i].setExternalSyncs(entry_point.external_syncs);
  }
  auto writes = root.initDeviceConfigWrites(element_count(application.device_config_writes.size()));
  for (unsigned i = 0; i < writes.size(); ++i) {
    writes[i].setOffset(application.device_config_writes[i].offset);
    writes[i].setValue(application.device_config_writes[i].value);
  }
  write_profile_tiles(root.initProfileTiles(element_count(application.profile_tiles.size())),
                      application.profile_tiles);
  auto symbols = root.initDebugSymbols(element_count(application.debug_symbols.size()));
  for (unsigned i = 0; i < symbols.size(); ++i) {
    symbols[i].setName(text_of(application.debug_symbols[i].name));
    symbols[i].setAddress(application.debug_symbols[i].address);
  }
  auto regions = root.initDebugRegions(element_count(application.debug_regions.size()));
  for (unsigned i = 0; i < regions.size(); ++i) {
    const DebugRegion& region = application.debug_regions[i];
    regions[i].setPhysicalTile(region.physical_tile);
    regions[i].setAddress(region.address);
    regions[i].setSize(region.size);
    regions[i].setName(text_of(region.name));
  }
}

// What reading the package back would refuse is refused first, in the order the reader
// meets it: its texts and enumerations, then the package rules.
Result<void> Application::write(std::vector<std::uint8_t>& sink) const {
  MessageMeasure measure;
  measure_application(*this, measure);
  const std::uint64_t message_words = measure.words();
  QEL_TRY(std::move(measure).outcome());
  QEL_TRY(validate());
  const detail::EventLog log;
  log.info("writing application package tiles={}", tiles.size());
  QEL_TRY(detail::write_message<wire::Application>(
      sink, message_words,
      [this](wire::Application::Builder root) { detail::write_application(root, *this); }));
  log.info("application package written");
  return {};
}

}  // namespace qel_package
