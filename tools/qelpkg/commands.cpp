#include "commands.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>

#include <fmt/format.h>

#include <qel_package/application.hpp>
#include <qel_package/application_view.hpp>
#include <qel_package/chrome_trace.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_summary.hpp>
#include <qel_package/profile_view.hpp>
#include <qel_package/timeline_svg.hpp>

#include "file_io.hpp"
#include "json_writer.hpp"
#include "package_info.hpp"
#include "profile_diff.hpp"
#include "record_json.hpp"
#include "record_json_reader.hpp"
#include "terminal_text.hpp"
#include "tile_extent.hpp"

namespace qelpkg {
namespace {

using qel_package::Application;
using qel_package::ApplicationView;
using qel_package::profile::CycleSample;
using qel_package::profile::ProfileReport;
using qel_package::profile::ProfileReportView;
using qel_package::profile::ProfileSummarizer;
using qel_package::profile::ProfileSummary;
using qel_package::profile::TileProfileView;
using qel_package::profile::TimelineOptions;

// Returns early with the failure of an Outcome; keeps the commands flat.
#define QELPKG_TRY(expression)                                 \
  do {                                                         \
    if (auto&& qelpkg_result = (expression); !qelpkg_result) { \
      return ::tl::unexpected(qelpkg_result.error());          \
    }                                                          \
  } while (false)

constexpr std::string_view kind_name(bool package) {
  return package ? "an application package" : "a cycle profile report";
}

// Whether a package failed on its header, as the other kind of file does.
bool wrong_header(const qel_package::PackageError& error) {
  const auto* invalid = error.get_if<qel_package::PackageError::Invalid>();
  return invalid != nullptr && invalid->message == "incompatible package header";
}

// Opens the bytes of path in place as a package (ApplicationView) or a report
// (ProfileReportView). The header fields of the two overlap: a package opens as a plausible
// report, and a report fails as a package only on its header. So a report is also tried as
// a package, and a package whose header is wrong as a report, to say which kind it holds.
template <class View>
Outcome<View> open_view(const std::string& path, std::span<const std::uint8_t> bytes) {
  constexpr bool package = std::is_same_v<View, ApplicationView>;
  using Other = std::conditional_t<package, ProfileReportView, ApplicationView>;
  auto view = View::open(bytes);
  if (!package || (!view && wrong_header(view.error()))) {
    if (Other::open(bytes)) {
      return tl::unexpected(
          Failure{path, fmt::format("holds {}, not {}", kind_name(!package), kind_name(package))});
    }
  }
  if (!view) {
    return failure(path, view.error());
  }
  return *std::move(view);
}

// The records of a package (Application) or a report (ProfileReport) in path.
template <class Record>
Outcome<Record> read_record(const std::string& path) {
  const auto input = read_message_input(path);
  QELPKG_TRY(input);
  if constexpr (std::is_same_v<Record, Application>) {
    const auto view = open_view<ApplicationView>(path, input->bytes());
    QELPKG_TRY(view);
    return view->to_application();
  } else {
    const auto view = open_view<ProfileReportView>(path, input->bytes());
    QELPKG_TRY(view);
    return view->to_report();
  }
}

// A report read in place from the bytes of path, checked as ProfileReport::read checks it and
// refused in the same way when it is a package; input must outlive the view.
Outcome<ProfileReportView> open_report(const std::string& path, const Input& input) {
  return open_view<ProfileReportView>(path, input.bytes());
}

// The JSON form of a document, indented, on standard output.
Outcome<void> print_json(const Json& json) { return write_stdout(json.dump(2) + '\n'); }

std::string_view text_of(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

Outcome<bool> validate(const std::vector<std::string>& packages) {
  bool all_valid = true;
  for (const std::string& path : packages) {
    const auto valid = [&]() -> Outcome<void> {
      const auto input = read_message_input(path);
      QELPKG_TRY(input);
      QELPKG_TRY(open_view<ApplicationView>(path, input->bytes()));
      return {};
    }();
    all_valid = all_valid && valid.has_value();
    QELPKG_TRY(write_stdout(
        fmt::format("{}: {}\n", printable(path), valid ? "ok" : printable(valid.error().message))));
  }
  return all_valid;
}

Outcome<void> info(const std::string& package, bool json) {
  const auto input = read_message_input(package);
  QELPKG_TRY(input);
  const auto view = open_view<ApplicationView>(package, input->bytes());
  QELPKG_TRY(view);
  const Application application = view->to_application();
  const MessageSize size{
      .message = view->message_bytes(),
      .file = input->whole() ? std::optional(input->bytes().size()) : std::nullopt};
  if (json) {
    auto info = package_info_json(application, size);
    if (!info) {
      return failure(package, info.error());
    }
    return print_json(*info);
  }
  auto text = package_info_text(application, size);
  if (!text) {
    return failure(package, text.error());
  }
  return write_stdout(*text);
}

Outcome<void> dump(const std::string& package) {
  const auto application = read_record<Application>(package);
  QELPKG_TRY(application);
  StdoutWriter out;
  write_json(*application, [&](std::string_view text) { out.append(text); });
  return out.finish();
}

Outcome<void> pack(const std::string& json_file, const std::string& package) {
  tl::expected<Application, std::string> application;
  {
    const auto input = read_whole_input(json_file);
    QELPKG_TRY(input);
    application = from_json_text<Application>(text_of(input->bytes()));
  }
  if (!application) {
    return tl::unexpected(Failure{json_file, application.error()});
  }
  std::vector<std::uint8_t> output;
  if (auto written = application->write(output); !written) {
    return failure(json_file, written.error());
  }
  return write_output(package, output);
}

Outcome<void> image(const std::string& package, std::uint32_t tile, const std::string& output) {
  const auto input = read_message_input(package);
  QELPKG_TRY(input);
  const auto view = open_view<ApplicationView>(package, input->bytes());
  QELPKG_TRY(view);
  const auto image = view->tile_image(tile);
  if (!image) {
    return failure(package, image.error());
  }
  QELPKG_TRY(write_output(output, *image));
  // tile_image succeeded, so the tile exists and has segments.
  const auto tiles = view->tiles();
  const auto found = std::find_if(tiles.begin(), tiles.end(), [&](const auto& candidate) {
    return candidate.physical_tile() == tile;
  });
  const std::string summary = fmt::format("tile {}: load base 0x{:x}, {} bytes\n", tile,
                                          tile_extent(*found)->load_base, image->size());
  // With the image on standard output, the summary goes with the messages.
  if (output == STANDARD_STREAM) {
    write_stderr(summary);
    return {};
  }
  return write_stdout(summary);
}

Outcome<void> profile_build(const std::string& package, const std::string& run_output,
                            std::uint64_t clock_hz, const std::string& report) {
  const auto input = read_message_input(package);
  QELPKG_TRY(input);
  const auto view = open_view<ApplicationView>(package, input->bytes());
  QELPKG_TRY(view);
  const auto output = read_whole_input(run_output);
  QELPKG_TRY(output);
  const auto built = view->profile_report(output->bytes(), clock_hz);
  if (!built) {
    return failure(package, built.error());
  }
  std::vector<std::uint8_t> bytes;
  if (auto written = built->write(bytes); !written) {
    return failure(report, written.error());
  }
  return write_output(report, bytes);
}

// Reports are read in place, a sample at a time: memory does not grow with their samples.
Outcome<void> profile_show(const std::string& report, bool json, const ShowOptions& options) {
  const auto input = read_message_input(report);
  QELPKG_TRY(input);
  const auto view = open_report(report, *input);
  QELPKG_TRY(view);
  std::vector<TileProfileView> tiles;
  for (const TileProfileView tile : view->tiles()) {
    if (!options.tile || tile.physical_tile() == *options.tile) {
      tiles.push_back(tile);
    }
  }
  if (options.tile && tiles.empty()) {
    return tl::unexpected(Failure{report, fmt::format("report has no tile {}", *options.tile)});
  }
  ProfileSummarizer summarizer(view->clock_hz());
  for (const TileProfileView& tile : tiles) {
    summarizer.add_tile(tile.physical_tile());
    for (const auto sample : tile.samples()) {
      summarizer.add_sample(sample);
    }
  }
  const ProfileSummary summary = std::move(summarizer).finish();
  // Each tile is printed as it is rendered, so that no more than one tile is held as text.
  if (json) {
    QELPKG_TRY(write_stdout(fmt::format(R"({{"clock_hz":{},"summary":{},"tiles":[)",
                                        view->clock_hz(), summary_json(summary, options).dump())));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      QELPKG_TRY(
          write_stdout((i == 0 ? "\n" : ",\n") +
                       tile_samples_json(tiles[i], summary.tiles[i], view->clock_hz()).dump()));
    }
    return write_stdout("\n]}\n");
  }
  QELPKG_TRY(write_stdout(summary_text(summary, options)));
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    QELPKG_TRY(write_stdout(tile_samples_text(tiles[i], summary.tiles[i], view->clock_hz())));
  }
  return {};
}

// Writes one rendering of the report (a trace, an image) to output.
template <class Render>
Outcome<void> render_report(const std::string& report, const std::string& output, Render&& render) {
  const auto input = read_message_input(report);
  QELPKG_TRY(input);
  const auto view = open_report(report, *input);
  QELPKG_TRY(view);
  std::ostringstream text;
  if (auto written = render(*view, text); !written) {
    return failure(report, written.error());
  }
  const std::string bytes = std::move(text).str();
  return write_output(output, bytes_of(bytes));
}

Outcome<void> profile_trace(const std::string& report, const std::string& trace,
                            const TimelineOptions& options) {
  return render_report(report, trace, [&](const ProfileReportView& view, std::ostream& text) {
    return qel_package::profile::write_chrome_trace(view, text, options);
  });
}

Outcome<void> profile_plot(const std::string& report, const std::string& image,
                           const TimelineOptions& options) {
  return render_report(report, image, [&](const ProfileReportView& view, std::ostream& text) {
    return qel_package::profile::write_timeline_svg(view, text, options);
  });
}

Outcome<void> profile_diff(const std::string& old_report, const std::string& new_report, bool json,
                           std::size_t top_steps) {
  const auto old_input = read_message_input(old_report);
  QELPKG_TRY(old_input);
  const auto old_view = open_report(old_report, *old_input);
  QELPKG_TRY(old_view);
  const auto new_input = read_message_input(new_report);
  QELPKG_TRY(new_input);
  const auto new_view = open_report(new_report, *new_input);
  QELPKG_TRY(new_view);
  const ProfileDiff diff = diff_profiles(*old_view, *new_view, top_steps);
  if (json) {
    return print_json(diff_json(diff));
  }
  return write_stdout(diff_text(diff, old_report, new_report));
}

}  // namespace qelpkg
