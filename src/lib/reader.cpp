#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>
#include <qel_package/constants.hpp>

#include "lib/fail.hpp"
#include "lib/log.hpp"
#include "lib/wire_check.hpp"

namespace qel_package {
namespace detail {
namespace {

namespace wire = application_capnp;

// Nothing of the package is checked before its header is known to be this format's. A
// wrong version is refused before the target is looked at.
[[nodiscard]] Result<void> check_header(wire::Application::Reader root) {
  if (root.getSchemaVersion() != SCHEMA_VERSION) {
    return invalid("incompatible package header");
  }
  const auto target = root.getTarget();
  QEL_TRY(check_text(target));
  if (std::string_view(target.begin(), target.size()) != TARGET ||
      root.getTileMemoryBase() != TILE_MEMORY_BASE ||
      root.getTileMemorySize() != TILE_MEMORY_SIZE) {
    return invalid("incompatible package header");
  }
  return {};
}

void check_tiles(capnp::List<wire::TileImage>::Reader tiles) {
  for (const auto tile : tiles) {
    for (const auto segment : tile.getSegments()) {
      static_cast<void>(segment.getData());
    }
  }
}

[[nodiscard]] Result<void> check_bindings(capnp::List<wire::Binding>::Reader bindings) {
  for (const auto binding : bindings) {
    QEL_TRY(check_text(binding.getName()));
    QEL_TRY(check_text(binding.getDtype()));
    static_cast<void>(binding.getShape());
    static_cast<void>(binding.getSlices());
  }
  return {};
}

[[nodiscard]] Result<void> check_host_exchange(wire::HostExchange::Reader exchange) {
  static_cast<void>(exchange.getPages());
  static_cast<void>(exchange.getAttachOrder());
  for (const auto call : exchange.getCalls()) {
    QEL_TRY(check_text(call.getName()));
    static_cast<void>(call.getInputs());
    static_cast<void>(call.getOutputs());
    static_cast<void>(call.getInputBatchEnds());
    static_cast<void>(call.getOutputBatchEnds());
  }
  return {};
}

[[nodiscard]] Result<void> check_profile_tiles(capnp::List<wire::TileProfilePlan>::Reader plans) {
  for (const auto plan : plans) {
    for (const auto step : plan.getSteps()) {
      QEL_TRY(check_step(step));
    }
  }
  return {};
}

}  // namespace

Result<void> check_application(wire::Application::Reader root) {
  QEL_TRY(check_header(root));
  QEL_TRY(check_text(root.getCompilerVersion()));
  check_tiles(root.getTiles());
  QEL_TRY(check_bindings(root.getInputs()));
  QEL_TRY(check_bindings(root.getOutputs()));
  QEL_TRY(check_bindings(root.getWeights()));
  QEL_TRY(check_host_exchange(root.getHostExchange()));
  for (const auto entry_point : root.getEntryPoints()) {
    QEL_TRY(check_text(entry_point.getName()));
  }
  static_cast<void>(root.getDeviceConfigWrites());
  QEL_TRY(check_profile_tiles(root.getProfileTiles()));
  for (const auto symbol : root.getDebugSymbols()) {
    QEL_TRY(check_text(symbol.getName()));
  }
  for (const auto region : root.getDebugRegions()) {
    QEL_TRY(check_text(region.getName()));
  }
  return {};
}

}  // namespace detail

Result<Application> Application::read(std::span<const std::uint8_t> input) {
  const detail::EventLog log;
  log.info("reading application package");
  auto view = ApplicationView::open(input);
  if (!view) {
    return tl::unexpected(std::move(view).error());
  }
  Application application = view->to_application();
  log.info("application package read tiles={} compiler={}", application.tiles.size(),
           application.compiler_version);
  return application;
}

}  // namespace qel_package
