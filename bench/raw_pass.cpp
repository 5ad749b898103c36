#include "raw_pass.hpp"

#include <qel_package/application.capnp.h>
#include <qel_package/profile.capnp.h>

#include "lib/message.hpp"

namespace qel_package::bench {
namespace {

namespace app = application_capnp;
namespace prof = profile_capnp;

class Checksum {
 public:
  void add(std::uint64_t value) { sum_ = sum_ * 31 + value; }
  template <class Blob>
  void add_blob(Blob blob) {
    add(blob.size());
  }
  template <class List>
  void add_numbers(List list) {
    for (const auto value : list) {
      add(value);
    }
  }
  std::uint64_t sum() const { return sum_; }

 private:
  std::uint64_t sum_ = 0;
};

void add_step(Checksum& sum, prof::ProfileStep::Reader step) {
  sum.add(step.getLocalIndex());
  sum.add(step.getPhase());
  sum.add(step.getEpoch());
  sum.add_blob(step.getOperation());
  sum.add(static_cast<std::uint16_t>(step.getKind()));
  sum.add_blob(step.getKernel());
  for (const auto entry : step.getMetadata()) {
    sum.add_blob(entry.getName());
    sum.add_blob(entry.getValue());
  }
  for (const auto activity : step.getExchangeActivities()) {
    sum.add(activity.getFanout());
    sum.add(activity.getPaired());
    sum.add(static_cast<std::uint16_t>(activity.getKind()));
    sum.add(activity.getStartCycle());
    sum.add(activity.getEndCycle());
  }
  sum.add(step.getExchangeEventCycles());
}

void add_bindings(Checksum& sum, capnp::List<app::Binding>::Reader bindings) {
  for (const auto binding : bindings) {
    sum.add_blob(binding.getName());
    sum.add_blob(binding.getDtype());
    sum.add_numbers(binding.getShape());
    for (const auto slice : binding.getSlices()) {
      sum.add(slice.getTile());
      sum.add(slice.getTileAddress());
      sum.add(slice.getFileOffset());
      sum.add(slice.getSize());
    }
  }
}

void add_host_slices(Checksum& sum, capnp::List<app::HostSlice>::Reader slices) {
  for (const auto slice : slices) {
    sum.add(slice.getPage());
    sum.add(slice.getPageOffset());
    sum.add(slice.getFileOffset());
    sum.add(slice.getSize());
  }
}

void add_host_exchange(Checksum& sum, app::HostExchange::Reader exchange) {
  sum.add(exchange.getStartupMark());
  sum.add(exchange.getCommandPage());
  sum.add(exchange.getCommandOffset());
  for (const auto page : exchange.getPages()) {
    sum.add(page.getIndex());
    sum.add(page.getSize());
  }
  sum.add_numbers(exchange.getAttachOrder());
  for (const auto call : exchange.getCalls()) {
    sum.add_blob(call.getName());
    sum.add(call.getCommand());
    sum.add(call.getPhases());
    add_host_slices(sum, call.getInputs());
    add_host_slices(sum, call.getOutputs());
    sum.add(call.getInvocations());
    sum.add_numbers(call.getInputBatchEnds());
    sum.add_numbers(call.getOutputBatchEnds());
  }
}

[[nodiscard]] Result<std::uint64_t> add_package(app::Application::Reader root) {
  Checksum sum;
  sum.add(root.getSchemaVersion());
  sum.add_blob(root.getCompilerVersion());
  sum.add_blob(root.getTarget());
  sum.add(root.getTileMemoryBase());
  sum.add(root.getTileMemorySize());
  for (const auto tile : root.getTiles()) {
    sum.add(tile.getPhysicalTile());
    sum.add(tile.getEntryPoint());
    sum.add(tile.getCommandAddress());
    sum.add(tile.getDiagnosticAddress());
    for (const auto segment : tile.getSegments()) {
      sum.add(segment.getAddress());
      sum.add(segment.getMemorySize());
      sum.add_blob(segment.getData());
      sum.add(segment.getFlags());
    }
  }
  add_bindings(sum, root.getInputs());
  add_bindings(sum, root.getOutputs());
  add_bindings(sum, root.getWeights());
  add_host_exchange(sum, root.getHostExchange());
  for (const auto entry_point : root.getEntryPoints()) {
    sum.add_blob(entry_point.getName());
    sum.add(entry_point.getCommand());
    sum.add(entry_point.getExternalSyncs());
  }
  for (const auto write : root.getDeviceConfigWrites()) {
    sum.add(write.getOffset());
    sum.add(write.getValue());
  }
  for (const auto plan : root.getProfileTiles()) {
    sum.add(plan.getPhysicalTile());
    for (const auto step : plan.getSteps()) {
      add_step(sum, step);
    }
  }
  for (const auto symbol : root.getDebugSymbols()) {
    sum.add_blob(symbol.getName());
    sum.add(symbol.getAddress());
  }
  for (const auto region : root.getDebugRegions()) {
    sum.add(region.getPhysicalTile());
    sum.add(region.getAddress());
    sum.add(region.getSize());
    sum.add_blob(region.getName());
  }
  return sum.sum();
}

[[nodiscard]] Result<std::uint64_t> add_report(prof::Profile::Reader root) {
  Checksum sum;
  sum.add(root.getSchemaVersion());
  sum.add(root.getClockHz());
  for (const auto tile : root.getTiles()) {
    sum.add(tile.getPhysicalTile());
    for (const auto sample : tile.getSamples()) {
      add_step(sum, sample.getStep());
      sum.add(sample.getStartCycle());
      sum.add(sample.getEndCycle());
    }
  }
  return sum.sum();
}

}  // namespace

Result<std::uint64_t> raw_package_pass(std::span<const std::uint8_t> input) {
  return detail::read_message<app::Application>(input, add_package);
}

Result<std::uint64_t> raw_report_pass(std::span<const std::uint8_t> input) {
  return detail::read_message<prof::Profile>(input, add_report);
}

}  // namespace qel_package::bench
