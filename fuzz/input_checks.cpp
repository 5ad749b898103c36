#include "input_checks.hpp"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <vector>

#include <qel_package/qel_package.hpp>

namespace qel_package::fuzzing {
namespace {

std::string describe(std::string_view expectation, const PackageError& error) {
  std::ostringstream os;
  os << expectation << ": " << error;
  return os.str();
}

std::string rendering(const PackageError& error) {
  std::ostringstream os;
  os << error;
  if (const auto* invalid = error.get_if<PackageError::Invalid>()) {
    os << " at " << invalid->location;
  }
  return os.str();
}

// Both results failed alike, or both succeeded and equal gives the values' agreement.
template <class A, class B, class Equal>
std::optional<std::string> compare(std::string_view what, const A& a, const B& b, Equal equal) {
  if (static_cast<bool>(a) != static_cast<bool>(b)) {
    return std::string(what) + ": one way succeeds, the other fails with " +
           rendering(a ? b.error() : a.error());
  }
  if (!a) {
    if (rendering(a.error()) != rendering(b.error())) {
      return std::string(what) + ": " + rendering(a.error()) + " against " + rendering(b.error());
    }
    return std::nullopt;
  }
  if (!equal(*a, *b)) {
    return std::string(what) + ": the two ways give different values";
  }
  return std::nullopt;
}

template <class T>
bool equal_values(const T& a, const T& b) {
  return a == b;
}

std::optional<std::string> check_package_view(std::span<const std::uint8_t> bytes,
                                              const Result<Application>& application) {
  const auto view = ApplicationView::open(bytes);
  const auto same_package = [](const Application& a, const ApplicationView& v) {
    return v.to_application() == a;
  };
  if (auto broken = compare("package", application, view, same_package)) {
    return broken;
  }
  if (!view) {
    return std::nullopt;
  }
  for (const TileImage& tile : application->tiles) {
    if (auto broken = compare("tile image", application->tile_image(tile.physical_tile),
                              view->tile_image(tile.physical_tile),
                              equal_values<std::vector<std::uint8_t>>)) {
      return broken;
    }
  }
  const auto same_binding = [](const OutputBinding& a, const OutputBindingView& b) {
    return a.base == b.base && a.binding->name == b.binding.name();
  };
  for (const Binding& output : application->outputs) {
    if (auto broken = compare("output binding", application->output_binding(output.name),
                              view->output_binding(output.name), same_binding)) {
      return broken;
    }
  }
  if (auto broken = compare("missing output binding", application->output_binding("\xff"),
                            view->output_binding("\xff"), same_binding)) {
    return broken;
  }
  return compare("profile report", application->profile_report(bytes, 1),
                 view->profile_report(bytes, 1), equal_values<profile::ProfileReport>);
}

std::optional<std::string> check_report_view(std::span<const std::uint8_t> bytes) {
  const auto report = profile::ProfileReport::read(bytes);
  const auto view = profile::ProfileReportView::open(bytes);
  return compare("report", report, view,
                 [](const profile::ProfileReport& a, const profile::ProfileReportView& v) {
                   return v.to_report() == a;
                 });
}

}  // namespace

std::optional<std::string> check_view_agrees(std::span<const std::uint8_t> bytes) {
  // The same bytes one past a word boundary, which the views copy once.
  std::vector<std::uint8_t> shifted(bytes.size() + 1);
  std::copy(bytes.begin(), bytes.end(), shifted.begin() + 1);
  const auto unaligned = std::span<const std::uint8_t>(shifted).subspan(1);

  const auto application = Application::read(bytes);
  for (const auto input : {bytes, unaligned}) {
    if (auto broken = check_package_view(input, application)) {
      return broken;
    }
    if (auto broken = check_report_view(input)) {
      return broken;
    }
  }
  return std::nullopt;
}

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
