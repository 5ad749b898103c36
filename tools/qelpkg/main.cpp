#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "commands.hpp"
#include "file_io.hpp"
#include "option_number.hpp"
#include "terminal_text.hpp"

namespace {

// Exit statuses: 0 success, 1 bad input, 2 a usage error.
constexpr int EXIT_BAD_INPUT = 1;
constexpr int EXIT_USAGE = 2;

int report(const qelpkg::Outcome<void>& outcome) {
  if (outcome) {
    return EXIT_SUCCESS;
  }
  qelpkg::write_stderr(fmt::format("qelpkg: {}: {}\n", qelpkg::printable(outcome.error().file),
                                   qelpkg::printable(outcome.error().message)));
  return EXIT_BAD_INPUT;
}

// "qelpkg: <problem>" and where to find the usage of the command that was being parsed.
std::string usage_failure(const CLI::App* app, const CLI::Error& error) {
  std::string command = app->get_name();
  for (const CLI::App* sub = app; !sub->get_subcommands().empty();) {
    sub = sub->get_subcommands().front();
    command += ' ' + sub->get_name();
  }
  return fmt::format("qelpkg: {}\nRun '{} --help' for usage.\n", qelpkg::printable(error.what()),
                     command);
}

// An option that takes an unsigned decimal number (parse_option_number).
template <class T>
CLI::Option* add_number(CLI::App* command, const std::string& name, T& value,
                        const std::string& description, T minimum = 0) {
  return command
      ->add_option_function<std::string>(
          name,
          [&value, minimum, name](const std::string& text) {
            const auto number = qelpkg::parse_option_number<T>(text, minimum);
            if (!number) {
              throw CLI::ValidationError(name, number.error());
            }
            value = *number;
          },
          description)
      ->type_name("N");
}

// What a command reads and writes, and an example, below its options in --help.
std::string manual(std::string_view reads_and_writes, std::string_view example) {
  return fmt::format("{}\n\nExample:\n  {}", reads_and_writes, example);
}

constexpr std::string_view FILES_NOTE =
    "A file name of \"-\" reads standard input or writes standard output.";

int run(int argc, char** argv) {
  CLI::App app("Inspects application packages and cycle profiles, and builds packages from JSON.",
               "qelpkg");
  app.footer(fmt::format(
      "{}\nAn output file is replaced only once it is complete; it keeps its mode, a symbolic\n"
      "link is written through, and a device or FIFO is written in place.\n"
      "Exit status: 0 on success, 1 for bad input, 2 for a usage error.\n\n"
      "Example:\n  qelpkg validate app.qel",
      FILES_NOTE));
  app.set_version_flag("--version", "qelpkg " QELPKG_VERSION, "Print the version and exit");
  // At most one command: with none, the parser would report a missing command before an
  // unknown one, so that case is reported below instead.
  app.require_subcommand(0, 1);
  app.failure_message(usage_failure);

  // The chosen subcommand's work, run once the whole command line has been parsed.
  std::function<int()> command;

  std::vector<std::string> packages;
  auto* validate =
      app.add_subcommand("validate", "Read each package; print \"PACKAGE: ok\" or its error");
  validate->add_option("PACKAGE", packages, "Package files")->required();
  validate->footer(
      manual("Reads every PACKAGE, even after one fails, and prints one line for each on standard\n"
             "output. Exit status 1 when any package is not valid.",
             "qelpkg validate app.qel other.qel"));
  validate->callback([&] {
    command = [&] {
      const auto valid = qelpkg::validate(packages);
      if (!valid) {
        return report(tl::unexpected(valid.error()));
      }
      return *valid ? EXIT_SUCCESS : EXIT_BAD_INPUT;
    };
  });

  std::string package;
  bool json = false;
  auto* info = app.add_subcommand("info", "Print a summary of a package");
  info->add_option("PACKAGE", package, "Package file, or - for standard input")->required();
  info->add_flag("--json", json, "Print the summary as JSON");
  info->footer(manual(
      "Reads PACKAGE and prints on standard output the size of its message and of what\n"
      "follows it, then every part of the package: tiles and their segments, bindings, host\n"
      "exchange, entry points, device configuration writes, profile plans and debug map.",
      "qelpkg info app.qel --json"));
  info->callback([&] { command = [&] { return report(qelpkg::info(package, json)); }; });

  auto* dump = app.add_subcommand("dump", "Print a whole package as JSON");
  dump->add_option("PACKAGE", package, "Package file, or - for standard input")->required();
  dump->footer(
      manual("Reads PACKAGE and prints all of it as JSON on standard output, in the form that\n"
             "pack reads: record field names, byte data as lower-case hex, enumerations by name.",
             "qelpkg dump app.qel > app.json"));
  dump->callback([&] { command = [&] { return report(qelpkg::dump(package)); }; });

  std::string input;
  std::string output;
  auto* pack = app.add_subcommand("pack", "Build a package from its JSON form, as dump prints it");
  pack->add_option("JSON", input, "JSON file, or - for standard input")->required();
  pack->add_option("-o,--output", output, "Package file to write, or - for standard output")
      ->required();
  pack->footer(manual(
      "Reads JSON, which must hold every field of the package once and nothing else, checks\n"
      "the package and writes it to the output. Packing a dump gives the same bytes.",
      "qelpkg pack app.json -o app.qel"));
  pack->callback([&] { command = [&] { return report(qelpkg::pack(input, output)); }; });

  std::uint32_t tile = 0;
  auto* image = app.add_subcommand("image", "Write the memory image of one tile");
  image->add_option("PACKAGE", package, "Package file, or - for standard input")->required();
  add_number(image, "--tile", tile, "Physical tile number")->required();
  image->add_option("-o,--output", output, "Image file to write, or - for standard output")
      ->required();
  image->footer(manual(
      "Reads PACKAGE and writes the tile's memory image, as the tile loads it, to the output;\n"
      "prints its load base and size on standard output (on standard error with -o -).",
      "qelpkg image app.qel --tile 0 -o tile0.bin"));
  image->callback([&] { command = [&] { return report(qelpkg::image(package, tile, output)); }; });

  auto* profile = app.add_subcommand("profile", "Build, print and export cycle profile reports");
  profile->require_subcommand(0, 1);
  profile->footer(manual("Run 'qelpkg profile COMMAND --help' for each command.",
                         "qelpkg profile show run.profile"));

  std::uint64_t clock_hz = 0;
  auto* build = profile->add_subcommand(
      "build", "Build the cycle profile report of a run from its output buffer");
  build->add_option("PACKAGE", package, "Package file of the profiled application")->required();
  build->add_option("OUTPUT", input, "Output buffer of the run")->required();
  add_number(build, "--clock-hz", clock_hz, "Clock frequency of the device in hertz",
             std::uint64_t{1})
      ->required();
  build->add_option("-o,--output", output, "Report file to write, or - for standard output")
      ->required();
  build->footer(manual(
      "Reads PACKAGE and the whole OUTPUT buffer that a run of it produced (either may be -),\n"
      "takes the cycle counters of the output \"profile.cycles\" and writes the report.",
      "qelpkg profile build app.qel run.out --clock-hz 1500000000 -o run.profile"));
  build->callback([&] {
    command = [&] { return report(qelpkg::profile_build(package, input, clock_hz, output)); };
  });

  qelpkg::ShowOptions show_options;
  std::size_t top = 0;
  std::uint32_t show_tile = 0;
  auto* show = profile->add_subcommand(
      "show", "Print totals by kind, kernel, operation and tile, then every sample");
  show->add_option("REPORT", input, "Report file, or - for standard input")->required();
  show->add_flag("--json", json, "Print the summary and the samples as JSON");
  auto* top_option =
      show->add_option("--top", top, "Only the N kernels and operations with the most cycles")
          ->check(CLI::PositiveNumber);
  auto* tile_option = show->add_option("--tile", show_tile, "Only this physical tile");
  show->footer(manual(
      "Reads REPORT and prints on standard output its summary first (totals by step kind,\n"
      "kernel and operation, and each tile's busy cycles and extent), then each tile's samples.",
      "qelpkg profile show run.profile --top 10 --tile 3"));
  show->callback([&] {
    if (top_option->count() != 0) {
      show_options.top = top;
    }
    if (tile_option->count() != 0) {
      show_options.tile = show_tile;
    }
    command = [&] { return report(qelpkg::profile_show(input, json, show_options)); };
  });

  qel_package::profile::TimelineOptions timeline;
  auto* trace = profile->add_subcommand(
      "trace", "Export a report as Chrome trace events, for Perfetto (ui.perfetto.dev)");
  trace->add_option("REPORT", input, "Report file, or - for standard input")->required();
  trace->add_option("-o,--output", output, "Trace file to write, or - for standard output")
      ->required();
  trace->add_flag("--align", timeline.align,
                  "Start every tile's track at time 0 rather than at its counter value");
  trace->footer(
      manual("Reads REPORT and writes its samples as trace events, one track per tile, with the\n"
             "exchange activities of each step on its track.",
             "qelpkg profile trace run.profile --align -o trace.json"));
  trace->callback(
      [&] { command = [&] { return report(qelpkg::profile_trace(input, output, timeline)); }; });

  auto* plot =
      profile->add_subcommand("plot", "Draw a report's timeline as an SVG image, viewable offline");
  plot->add_option("REPORT", input, "Report file, or - for standard input")->required();
  plot->add_option("-o,--output", output, "SVG file to write, or - for standard output")
      ->required();
  plot->add_flag("--align", timeline.align,
                 "Start every tile's lane at time 0 rather than at its counter value");
  plot->footer(
      manual("Reads REPORT and draws a lane per tile, each step coloured by its kind, with a time\n"
             "axis in microseconds and a tooltip per step. Steps narrower than a pixel are merged.",
             "qelpkg profile plot run.profile -o run.svg"));
  plot->callback(
      [&] { command = [&] { return report(qelpkg::profile_plot(input, output, timeline)); }; });

  std::string new_input;
  std::size_t top_steps = 10;
  auto* diff = profile->add_subcommand("diff", "Compare two runs: cycles by kind, kernel and step");
  diff->add_option("OLD", input, "Report file of the earlier run")->required();
  diff->add_option("NEW", new_input, "Report file of the later run")->required();
  diff->add_flag("--json", json, "Print the comparison as JSON");
  diff->add_option("--top", top_steps, "List at most N changed steps")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  diff->footer(manual(
      "Reads OLD and NEW and prints the cycles of each step kind and each kernel in both, the\n"
      "largest change first; when both come from the same plan (same tiles, same steps), also\n"
      "the steps whose cycles changed most. Exits with 0 whatever the difference.",
      "qelpkg profile diff before.profile after.profile"));
  diff->callback([&] {
    command = [&] { return report(qelpkg::profile_diff(input, new_input, json, top_steps)); };
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? EXIT_SUCCESS : EXIT_USAGE;
  }
  if (!command) {
    const bool in_profile = profile->parsed();
    qelpkg::write_stderr(
        fmt::format("qelpkg: a {}command is required\nRun '{} --help' for usage.\n",
                    in_profile ? "profile " : "", in_profile ? "qelpkg profile" : "qelpkg"));
    return EXIT_USAGE;
  }
  return command();
}

}  // namespace

int main(int argc, char** argv) {
  qelpkg::install_signal_cleanup();
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    qelpkg::write_stderr("qelpkg: out of memory\n");
  } catch (const std::exception& error) {
    // Nothing is expected to throw; should anything, it is still reported.
    qelpkg::write_stderr("qelpkg: ");
    qelpkg::write_stderr(error.what());
    qelpkg::write_stderr("\n");
  }
  return EXIT_BAD_INPUT;
}
