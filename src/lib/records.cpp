#include <ostream>

#include <qel_package/application.hpp>

#include "lib/debug_render.hpp"

namespace qel_package {

using detail::StructRenderer;

std::ostream& operator<<(std::ostream& os, const Segment& segment) {
  return StructRenderer(os, "Segment")
      .field("address", segment.address)
      .field("memory_size", segment.memory_size)
      .field("data", segment.data)
      .field("flags", segment.flags)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const TileImage& tile) {
  return StructRenderer(os, "TileImage")
      .field("physical_tile", tile.physical_tile)
      .field("entry_point", tile.entry_point)
      .field("command_address", tile.command_address)
      .field("diagnostic_address", tile.diagnostic_address)
      .field("segments", tile.segments)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const RegionSlice& slice) {
  return StructRenderer(os, "RegionSlice")
      .field("tile", slice.tile)
      .field("tile_address", slice.tile_address)
      .field("file_offset", slice.file_offset)
      .field("size", slice.size)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const Binding& binding) {
  return StructRenderer(os, "Binding")
      .field("name", binding.name)
      .field("dtype", binding.dtype)
      .field("shape", binding.shape)
      .field("slices", binding.slices)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const HostPage& page) {
  return StructRenderer(os, "HostPage")
      .field("index", page.index)
      .field("size", page.size)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const HostSlice& slice) {
  return StructRenderer(os, "HostSlice")
      .field("page", slice.page)
      .field("page_offset", slice.page_offset)
      .field("file_offset", slice.file_offset)
      .field("size", slice.size)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const HostCall& call) {
  return StructRenderer(os, "HostCall")
      .field("name", call.name)
      .field("command", call.command)
      .field("phases", call.phases)
      .field("inputs", call.inputs)
      .field("outputs", call.outputs)
      .field("invocations", call.invocations)
      .field("input_batch_ends", call.input_batch_ends)
      .field("output_batch_ends", call.output_batch_ends)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const HostExchange& exchange) {
  return StructRenderer(os, "HostExchange")
      .field("startup_mark", exchange.startup_mark)
      .field("command_page", exchange.command_page)
      .field("command_offset", exchange.command_offset)
      .field("pages", exchange.pages)
      .field("attach_order", exchange.attach_order)
      .field("calls", exchange.calls)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const EntryPoint& entry_point) {
  return StructRenderer(os, "EntryPoint")
      .field("name", entry_point.name)
      .field("command", entry_point.command)
      .field("external_syncs", entry_point.external_syncs)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const DeviceConfigWrite& write) {
  return StructRenderer(os, "DeviceConfigWrite")
      .field("offset", write.offset)
      .field("value", write.value)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const DebugSymbol& symbol) {
  return StructRenderer(os, "DebugSymbol")
      .field("name", symbol.name)
      .field("address", symbol.address)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const DebugRegion& region) {
  return StructRenderer(os, "DebugRegion")
      .field("physical_tile", region.physical_tile)
      .field("address", region.address)
      .field("size", region.size)
      .field("name", region.name)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const TileProfilePlan& plan) {
  return StructRenderer(os, "TileProfilePlan")
      .field("physical_tile", plan.physical_tile)
      .field("steps", plan.steps)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const OutputBinding& found) {
  return StructRenderer(os, "OutputBinding")
      .field("binding", found.binding->name)
      .field("base", found.base)
      .finish();
}

std::ostream& operator<<(std::ostream& os, BindingKind kind) {
  switch (kind) {
    case BindingKind::Input:
      return os << "Input";
    case BindingKind::Output:
      return os << "Output";
    case BindingKind::Weight:
      return os << "Weight";
  }
  return os << "BindingKind(" << +static_cast<std::uint8_t>(kind) << ')';
}

std::ostream& operator<<(std::ostream& os, const NamedBinding& found) {
  return StructRenderer(os, "NamedBinding")
      .field("kind", found.kind)
      .field("binding", found.binding->name)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const TileLoadImage& loaded) {
  return StructRenderer(os, "TileLoadImage")
      .field("load_base", loaded.load_base)
      .field("image", loaded.image)
      .finish();
}

std::ostream& operator<<(std::ostream& os, const Application& application) {
  return StructRenderer(os, "Application")
      .field("compiler_version", application.compiler_version)
      .field("tiles", application.tiles)
      .field("inputs", application.inputs)
      .field("outputs", application.outputs)
      .field("weights", application.weights)
      .field("host_exchange", application.host_exchange)
      .field("entry_points", application.entry_points)
      .field("device_config_writes", application.device_config_writes)
      .field("profile_tiles", application.profile_tiles)
      .field("debug_symbols", application.debug_symbols)
      .field("debug_regions", application.debug_regions)
      .finish();
}

}  // namespace qel_package
