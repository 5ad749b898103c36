#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "commands.hpp"

namespace {

// Exit statuses: 0 success, 1 bad input, 2 a usage error.
constexpr int EXIT_BAD_INPUT = 1;
constexpr int EXIT_USAGE = 2;

int report(const qelpkg::Outcome<void>& outcome) {
  if (outcome) {
    return EXIT_SUCCESS;
  }
  fmt::print(stderr, "qelpkg: {}: {}\n", outcome.error().file, outcome.error().message);
  return EXIT_BAD_INPUT;
}

// "qelpkg: <problem>" and where to find the usage of the command that was being parsed.
std::string usage_failure(const CLI::App* app, const CLI::Error& error) {
  std::string command = app->get_name();
  for (const CLI::App* sub = app; !sub->get_subcommands().empty();) {
    sub = sub->get_subcommands().front();
    command += ' ' + sub->get_name();
  }
  return fmt::format("qelpkg: {}\nRun '{} --help' for usage.\n", error.what(), command);
}

int run(int argc, char** argv) {
  CLI::App app("Inspects application packages and cycle profiles, and builds packages from JSON.",
               "qelpkg");
  app.footer("Exit status: 0 on success, 1 for bad input, 2 for a usage error.");
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
  info->add_option("PACKAGE", package, "Package file")->required();
  info->add_flag("--json", json, "Print the summary as JSON");
  info->callback([&] { command = [&] { return report(qelpkg::info(package, json)); }; });

  auto* dump = app.add_subcommand("dump", "Print a whole package as JSON");
  dump->add_option("PACKAGE", package, "Package file")->required();
  dump->callback([&] { command = [&] { return report(qelpkg::dump(package)); }; });

  std::string input;
  std::string output;
  auto* pack = app.add_subcommand("pack", "Build a package from its JSON form, as dump prints it");
  pack->add_option("JSON", input, "JSON file")->required();
  pack->add_option("-o,--output", output, "Package file to write")->required();
  pack->callback([&] { command = [&] { return report(qelpkg::pack(input, output)); }; });

  std::uint32_t tile = 0;
  auto* image = app.add_subcommand("image", "Write the memory image of one tile");
  image->add_option("PACKAGE", package, "Package file")->required();
  image->add_option("--tile", tile, "Physical tile number")->required();
  image->add_option("-o,--output", output, "Image file to write")->required();
  image->callback([&] { command = [&] { return report(qelpkg::image(package, tile, output)); }; });

  auto* profile = app.add_subcommand("profile", "Build, print and export cycle profile reports");
  profile->require_subcommand(0, 1);

  std::uint64_t clock_hz = 0;
  auto* build = profile->add_subcommand(
      "build", "Build the cycle profile report of a run from its output buffer");
  build->add_option("PACKAGE", package, "Package file of the profiled application")->required();
  build->add_option("OUTPUT", input, "Output buffer of the run")->required();
  build->add_option("--clock-hz", clock_hz, "Clock frequency of the device in hertz")
      ->required()
      ->check(CLI::Range(std::uint64_t{1}, std::numeric_limits<std::uint64_t>::max()));
  build->add_option("-o,--output", output, "Report file to write")->required();
  build->callback([&] {
    command = [&] { return report(qelpkg::profile_build(package, input, clock_hz, output)); };
  });

  auto* show = profile->add_subcommand(
      "show", "Print each step's cycles and microseconds and the totals per kind");
  show->add_option("REPORT", input, "Report file")->required();
  show->add_flag("--json", json, "Print the tables as JSON");
  show->callback([&] { command = [&] { return report(qelpkg::profile_show(input, json)); }; });

  auto* trace = profile->add_subcommand(
      "trace", "Export a report as Chrome trace events (Perfetto, chrome://tracing)");
  trace->add_option("REPORT", input, "Report file")->required();
  trace->add_option("-o,--output", output, "Trace file to write")->required();
  trace->callback([&] { command = [&] { return report(qelpkg::profile_trace(input, output)); }; });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? EXIT_SUCCESS : EXIT_USAGE;
  }
  if (!command) {
    const bool in_profile = profile->parsed();
    fmt::print(stderr, "qelpkg: a {}command is required\nRun '{} --help' for usage.\n",
               in_profile ? "profile " : "", in_profile ? "qelpkg profile" : "qelpkg");
    return EXIT_USAGE;
  }
  return command();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    // Nothing is expected to throw; should anything (out of memory) it is still reported.
    fmt::print(stderr, "qelpkg: {}\n", error.what());
    return EXIT_BAD_INPUT;
  }
}
