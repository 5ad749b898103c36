#include "input_checks.hpp"

#include <sstream>
#include <vector>

#include <qel_package/qel_package.hpp>

namespace qel_package::fuzzing {
namespace {

std::string describe(std::string_view expectation, const PackageError& error) {
  std::ostringstream os;
  os << expectation << ": " << error;
  return os.str();
}

}  // namespace

std::optional<std::string> check_package_input(std::span<const std::uint8_t> bytes) {
  const auto application = Application::read(bytes);
  if (!application) {
    return std::nullopt;
  }
  if (const auto valid = application->validate(); !valid) {
    return describe("a package that was read fails validation", valid.error());
  }
  std::vector<std::uint8_t> encoded;
  if (const auto written = application->write(encoded); !written) {
    return describe("a package that was read cannot be written", written.error());
  }
  const auto reread = Application::read(encoded);
  if (!reread) {
    return describe("a rewritten package cannot be read", reread.error());
  }
  if (*reread != *application) {
    return "a rewritten package reads back different";
  }
  for (const TileImage& tile : application->tiles) {
    if (tile.segments.empty()) {
      continue;
    }
    if (const auto image = application->tile_image(tile.physical_tile); !image) {
      return describe("a tile of a package that was read has no image", image.error());
    }
  }
  for (const Binding& output : application->outputs) {
    static_cast<void>(application->output_binding(output.name));
  }
  static_cast<void>(application->profile_report(bytes, 1));
  return std::nullopt;
}

std::optional<std::string> check_report_input(std::span<const std::uint8_t> bytes) {
  const auto report = profile::ProfileReport::read(bytes);
  if (!report) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> encoded;
  if (const auto written = report->write(encoded); !written) {
    return describe("a report that was read cannot be written", written.error());
  }
  const auto reread = profile::ProfileReport::read(encoded);
  if (!reread) {
    return describe("a rewritten report cannot be read", reread.error());
  }
  if (*reread != *report) {
    return "a rewritten report reads back different";
  }
  return std::nullopt;
}

}  // namespace qel_package::fuzzing
