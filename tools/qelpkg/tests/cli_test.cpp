// Runs the qelpkg program itself on files in a temporary directory.
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <capnp/message.h>
#include <capnp/serialize.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <qel_package/application.capnp.h>
#include <qel_package/constants.hpp>
#include <qel_package/profile.hpp>

#include "xml_tree.hpp"

#include "cli_fixture.hpp"

namespace qelpkg_cli {
namespace {

using Json = nlohmann::json;

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

TEST_F(Cli, PackInfoValidateDumpAndPackAgain) {
  const Outcome pack = qelpkg({"pack", (FIXTURES / "full_package.json").string(), "-o", "app.qel"});
  EXPECT_EQ(pack.status, 0);
  EXPECT_EQ(pack.out, "");
  EXPECT_EQ(pack.err, "");

  const Outcome info = qelpkg({"info", "app.qel"});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out, read_text(FIXTURES / "full_package.info"));

  const Outcome info_json = qelpkg({"info", "app.qel", "--json"});
  EXPECT_EQ(info_json.status, 0);
  const Json summary = Json::parse(info_json.out);
  EXPECT_EQ(summary["tiles"][0]["load_base"], 0x4c000);
  EXPECT_EQ(summary["tiles"][0]["image_size"], 20);
  EXPECT_EQ(summary["outputs"][1]["byte_len"], 24);

  const Outcome validate = qelpkg({"validate", "app.qel"});
  EXPECT_EQ(validate.status, 0);
  EXPECT_EQ(validate.out, "app.qel: ok\n");

  const Outcome dump = qelpkg({"dump", "app.qel"});
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(Json::parse(dump.out), Json::parse(read_text(FIXTURES / "full_package.json")));

  write_text(path("dump.json"), dump.out);
  const Outcome again = qelpkg({"pack", "dump.json", "-o", "again.qel"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(read_bytes(path("again.qel")), read_bytes(path("app.qel")));
}

TEST_F(Cli, ValidateReportsEveryFile) {
  pack_fixture();
  // A well-formed package with a correct header and no tiles, which no writer produces.
  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<qel_package::application_capnp::Application>();
  root.setSchemaVersion(qel_package::SCHEMA_VERSION);
  root.setTarget("qel21");
  root.setTileMemoryBase(qel_package::TILE_MEMORY_BASE);
  root.setTileMemorySize(qel_package::TILE_MEMORY_SIZE);
  const auto words = capnp::messageToFlatArray(message);
  const auto bytes = words.asBytes();
  write_bytes(path("no-tiles.qel"), {bytes.begin(), bytes.end()});

  const Outcome run = qelpkg({"validate", "app.qel", "no-tiles.qel", "missing.qel"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "app.qel: ok\n"
            "no-tiles.qel: application has no tiles\n"
            "missing.qel: cannot open: No such file or directory\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(Cli, TruncatedPackage) {
  pack_fixture();
  std::vector<std::uint8_t> bytes = read_bytes(path("app.qel"));
  // One segment: an 8-byte table, then the words it announces.
  ASSERT_EQ(bytes[0], 0);
  const std::size_t words = (bytes.size() - 8) / 8;
  bytes.resize(bytes.size() / 2);
  write_bytes(path("truncated.qel"), bytes);
  for (const char* command : {"info", "dump", "validate"}) {
    SCOPED_TRACE(command);
    const Outcome run = qelpkg({command, "truncated.qel"});
    EXPECT_EQ(run.status, 1);
    const std::string message = "not a well-formed message: message claims " +
                                std::to_string(words) + " words of segments but only " +
                                std::to_string((bytes.size() - 8) / 8) +
                                " follow its segment table";
    if (command == std::string("validate")) {
      EXPECT_EQ(run.out, "truncated.qel: " + message + "\n");
    } else {
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "qelpkg: truncated.qel: " + message + "\n");
    }
  }
}

TEST_F(Cli, TileImage) {
  pack_fixture();
  const Outcome run = qelpkg({"image", "app.qel", "--tile", "0", "-o", "tile0.bin"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "tile 0: load base 0x4c000, 20 bytes\n");
  // Segment data, zeros up to each memory size and across the gap between the segments.
  EXPECT_EQ(read_bytes(path("tile0.bin")),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0, 0,    0,    0,    0,
                                       0, 0, 0, 0, 0, 0, 0xaa, 0xbb, 0xcc, 0xdd}));

  const Outcome unknown = qelpkg({"image", "app.qel", "--tile", "5", "-o", "tile5.bin"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "qelpkg: app.qel: unknown tile 5\n");
  EXPECT_FALSE(fs::exists(path("tile5.bin")));
}

// The run output of the fixture package: 12 bytes of "y", then "profile.cycles" at 12, whose
// slice for tile 0 lies at its offset 0 and for tile 17 at its offset 12. Tile 0's counter
// wraps.
std::vector<std::uint8_t> fixture_run_output(const std::vector<std::uint32_t>& tile0,
                                             const std::vector<std::uint32_t>& tile17) {
  std::vector<std::uint8_t> output(36, 0xEE);
  for (std::size_t k = 0; k < 3; ++k) {
    put_le32(output, 12 + 4 * k, tile0[k]);
    put_le32(output, 24 + 4 * k, tile17[k]);
  }
  return output;
}

TEST_F(Cli, ProfileBuild) {
  pack_fixture();
  std::vector<std::uint8_t> output =
      fixture_run_output({4294967000u, 4294967200u, 104}, {10, 30, 70});
  write_bytes(path("run.out"), output);
  const Outcome build = qelpkg(
      {"profile", "build", "app.qel", "run.out", "--clock-hz", "2000000", "-o", "run.profile"});
  EXPECT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(build.out, "");
  EXPECT_TRUE(fs::exists(path("run.profile")));

  // A run output too short for the counters.
  output.resize(35);
  write_bytes(path("short.out"), output);
  const Outcome short_output = qelpkg(
      {"profile", "build", "app.qel", "short.out", "--clock-hz", "2000000", "-o", "short.profile"});
  EXPECT_EQ(short_output.status, 1);
  EXPECT_EQ(short_output.err, "qelpkg: app.qel: profile binding exceeds runtime output\n");
  EXPECT_FALSE(fs::exists(path("short.profile")));
}

class ProfileCli : public Cli {
 protected:
  void SetUp() override {
    Cli::SetUp();
    pack_fixture();
    build_report("run", {4294967000u, 4294967200u, 104}, {10, 30, 70});
  }

  // Builds NAME.profile at 2 MHz from the counters of the fixture's two tiles.
  void build_report(const std::string& name, const std::vector<std::uint32_t>& tile0,
                    const std::vector<std::uint32_t>& tile17) {
    write_bytes(path(name + ".out"), fixture_run_output(tile0, tile17));
    const Outcome build = qelpkg({"profile", "build", "app.qel", name + ".out", "--clock-hz",
                                  "2000000", "-o", name + ".profile"});
    ASSERT_EQ(build.status, 0) << build.err;
  }
};

TEST_F(ProfileCli, Show) {
  const Outcome show = qelpkg({"profile", "show", "run.profile"});
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out,
            "clock: 2000000 Hz\n"
            "total: 4 samples on 2 tiles, 460 cycles, 230.000 us\n"
            "\n"
            "kinds:\n"
            "  kind             samples  cycles       us     %\n"
            "  Exchange               1     200  100.000  43.5\n"
            "  Compute                1     200  100.000  43.5\n"
            "  Synchronization        1      20   10.000   4.3\n"
            "  Idle                   1      40   20.000   8.7\n"
            "\n"
            "kernels:\n"
            "  kernel               samples  cycles       us     %\n"
            "  gemm_f32_accumulate        1     200  100.000  43.5\n"
            "  multicast                  1     200  100.000  43.5\n"
            "  (none)                     1      40   20.000   8.7\n"
            "  barrier                    1      20   10.000   4.3\n"
            "\n"
            "operations:\n"
            "  operation    samples  cycles       us     %\n"
            "  accumulate         1     200  100.000  43.5\n"
            "  operation.4        1     200  100.000  43.5\n"
            "  rest               1      40   20.000   8.7\n"
            "  wait               1      20   10.000   4.3\n"
            "\n"
            "tiles:\n"
            "  tile  samples  busy cycles  busy us  first start    last end\n"
            "     0        2          400  200.000   4294967000  4294967400\n"
            "    17        2           60   30.000           10          70\n"
            "\n"
            "tile 0 (2 samples):\n"
            "  index  kind      operation    kernel                    start         end  cycles"
            "       us\n"
            "      0  Compute   accumulate   gemm_f32_accumulate  4294967000  4294967200     200"
            "  100.000\n"
            "      1  Exchange  operation.4  multicast            4294967200         104     200"
            "  100.000\n"
            "  totals:\n"
            "    kind      cycles       us\n"
            "    Exchange     200  100.000\n"
            "    Compute      200  100.000\n"
            "\n"
            "tile 17 (2 samples):\n"
            "  index  kind             operation  kernel   start  end  cycles      us\n"
            "      0  Synchronization  wait       barrier     10   30      20  10.000\n"
            "      1  Idle             rest                   30   70      40  20.000\n"
            "  totals:\n"
            "    kind             cycles      us\n"
            "    Synchronization      20  10.000\n"
            "    Idle                 40  20.000\n");

  const Outcome one_tile = qelpkg({"profile", "show", "run.profile", "--tile", "17", "--top", "1"});
  EXPECT_EQ(one_tile.status, 0) << one_tile.err;
  EXPECT_EQ(one_tile.out.substr(0, one_tile.out.find("\ntiles:")),
            "clock: 2000000 Hz\n"
            "total: 2 samples on 1 tile, 60 cycles, 30.000 us\n"
            "\n"
            "kinds:\n"
            "  kind             samples  cycles      us     %\n"
            "  Synchronization        1      20  10.000  33.3\n"
            "  Idle                   1      40  20.000  66.7\n"
            "\n"
            "kernels (top 1 of 2):\n"
            "  kernel  samples  cycles      us     %\n"
            "  (none)        1      40  20.000  66.7\n"
            "\n"
            "operations (top 1 of 2):\n"
            "  operation  samples  cycles      us     %\n"
            "  rest             1      40  20.000  66.7\n");
  EXPECT_EQ(one_tile.out.find("tile 0 "), std::string::npos);

  const Outcome json = qelpkg({"profile", "show", "run.profile", "--json", "--tile", "17"});
  EXPECT_EQ(json.status, 0) << json.err;
  const Json parsed = Json::parse(json.out);
  EXPECT_EQ(parsed["clock_hz"], 2000000);
  EXPECT_EQ(parsed["summary"]["cycles"], 60);
  ASSERT_EQ(parsed["tiles"].size(), 1u);
  EXPECT_EQ(parsed["tiles"][0]["samples"][1]["duration_cycles"], 40);

  const Outcome absent = qelpkg({"profile", "show", "run.profile", "--tile", "4"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.out, "");
  EXPECT_EQ(absent.err, "qelpkg: run.profile: report has no tile 4\n");
}

TEST_F(ProfileCli, Trace) {
  struct Case {
    std::vector<std::string> flags;
    double tile0_origin;  // microseconds subtracted from each tile's counter values
    double tile17_origin;
  };
  for (const Case& c : {Case{{}, 0, 0}, Case{{"--align"}, 4294967000.0 / 2, 5}}) {
    SCOPED_TRACE(testing::PrintToString(c.flags));
    std::vector<std::string> arguments{"profile", "trace", "run.profile", "-o", "trace.json"};
    arguments.insert(arguments.end(), c.flags.begin(), c.flags.end());
    const Outcome trace = qelpkg(arguments);
    EXPECT_EQ(trace.status, 0) << trace.err;
    EXPECT_EQ(trace.out, "");
    const Json events = Json::parse(read_text(path("trace.json")))["traceEvents"];
    std::vector<Json> threads;
    std::vector<Json> steps;
    std::vector<Json> activities;
    for (const Json& event : events) {
      if (event["name"] == "thread_name") {
        threads.push_back(event);
      } else if (event["cat"] == "exchange") {
        activities.push_back(event);
      } else if (event["ph"] == "X") {
        steps.push_back(event);
      }
    }
    ASSERT_EQ(threads.size(), 2u);
    for (const auto& [thread, tile] : {std::pair{threads[0], 0}, std::pair{threads[1], 17}}) {
      EXPECT_EQ(thread["tid"], tile);
      EXPECT_EQ(thread["args"]["name"], "tile " + std::to_string(tile));
    }
    // One event per sample; ts and dur are cycles at 2 MHz, so half the cycle counts.
    struct Expected {
      unsigned tid;
      const char* name;
      const char* cat;
      double ts;
      double dur;
    };
    const std::vector<Expected> expected{
        {0, "accumulate", "Compute", 4294967000.0 / 2 - c.tile0_origin, 100},
        {0, "operation.4", "Exchange", 4294967200.0 / 2 - c.tile0_origin, 100},
        {17, "wait", "Synchronization", 5 - c.tile17_origin, 10},
        {17, "rest", "Idle", 15 - c.tile17_origin, 20},
    };
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(expected[i].name);
      EXPECT_EQ(steps[i]["tid"], expected[i].tid);
      EXPECT_EQ(steps[i]["name"], expected[i].name);
      EXPECT_EQ(steps[i]["cat"], expected[i].cat);
      EXPECT_EQ(steps[i]["ts"], expected[i].ts);
      EXPECT_EQ(steps[i]["dur"], expected[i].dur);
    }
    EXPECT_EQ(steps[0]["args"], Json::parse(R"({
        "local_index": 0, "kernel": "gemm_f32_accumulate", "phase": 1, "epoch": 2,
        "start_cycle": 4294967000, "end_cycle": 4294967200, "cycles": 200,
        "exchange_event_cycles": 5,
        "metadata": [{"name": "innerBlock", "value": "8"}],
        "exchange_activities": [
          {"fanout": 2, "paired": true, "kind": "Send", "start_cycle": 10, "end_cycle": 20},
          {"fanout": 3, "paired": false, "kind": "PartnerBusy", "start_cycle": 30,
           "end_cycle": 40}
        ]})"));
    // The first step's activities lie outside its cycles: instants at the step's start. The
    // second step's lies inside, 146 cycles after the step's start, past the wrap.
    ASSERT_EQ(activities.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(activities[i]["ph"], "i");
      EXPECT_EQ(activities[i]["ts"], steps[0]["ts"]);
    }
    EXPECT_EQ(activities[0]["name"], "Send");
    EXPECT_EQ(activities[1]["name"], "PartnerBusy");
    EXPECT_EQ(activities[2]["name"], "Receive");
    EXPECT_EQ(activities[2]["ph"], "X");
    EXPECT_EQ(activities[2]["ts"], (4294967200.0 + 146) / 2 - c.tile0_origin);
    EXPECT_EQ(activities[2]["dur"], 5);
  }

  write_text(path("trace.json"), "old contents");
  write_text(path("truncated.profile"), "12345");
  const Outcome truncated = qelpkg({"profile", "trace", "truncated.profile", "-o", "trace.json"});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_EQ(read_text(path("trace.json")), "old contents");
}

TEST_F(Cli, Version) {
  const Outcome version = qelpkg({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qelpkg " QELPKG_VERSION "\n");
  EXPECT_EQ(version.err, "");
}

TEST_F(ProfileCli, Plot) {
  const Outcome plot = qelpkg({"profile", "plot", "run.profile", "--align", "-o", "run.svg"});
  EXPECT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(plot.out, "");
  const auto svg = qel_package::testing::parse_xml(read_text(path("run.svg")));
  const auto lanes = svg->all("g", "lane");
  ASSERT_EQ(lanes.size(), 2u);
  const std::vector<std::pair<std::string, std::vector<std::string>>> expected{
      {"0",
       {"accumulate \u00b7 gemm_f32_accumulate \u00b7 200 cycles \u00b7 100.000 us \u00b7 tile 0",
        "operation.4 \u00b7 multicast \u00b7 200 cycles \u00b7 100.000 us \u00b7 tile 0"}},
      {"17",
       {"wait \u00b7 barrier \u00b7 20 cycles \u00b7 10.000 us \u00b7 tile 17",
        "rest \u00b7  \u00b7 40 cycles \u00b7 20.000 us \u00b7 tile 17"}},
  };
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(lanes[i]->attribute("data-tile"), expected[i].first);
    std::vector<std::string> titles;
    for (const auto* rect : lanes[i]->all("rect")) {
      titles.push_back(rect->title()->text);
    }
    EXPECT_EQ(titles, expected[i].second);
  }

  // Without a clock there is no time axis.
  write_bytes(path("untimed.profile"), [] {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(qel_package::profile::ProfileReport{}.write(bytes));
    return bytes;
  }());
  const Outcome untimed = qelpkg({"profile", "plot", "untimed.profile", "-o", "untimed.svg"});
  EXPECT_EQ(untimed.status, 1);
  EXPECT_EQ(untimed.err,
            "qelpkg: untimed.profile: report clock is 0 Hz, so its cycles have no duration in "
            "microseconds\n");
  EXPECT_FALSE(fs::exists(path("untimed.svg")));
}

TEST_F(ProfileCli, Diff) {
  build_report("run2", {4294967000u, 4294967250u, 104}, {10, 25, 70});
  const Outcome diff = qelpkg({"profile", "diff", "run.profile", "run2.profile", "--top", "3"});
  EXPECT_EQ(diff.status, 0) << diff.err;
  EXPECT_EQ(diff.out,
            "old: run.profile\n"
            "new: run2.profile\n"
            "total: 460 -> 460 cycles, +0 (+0.0%)\n"
            "\n"
            "kinds:\n"
            "  kind             old cycles  new cycles  change       %\n"
            "  Compute                 200         250     +50  +25.0%\n"
            "  Exchange                200         150     -50  -25.0%\n"
            "  Idle                     40          45      +5  +12.5%\n"
            "  Synchronization          20          15      -5  -25.0%\n"
            "\n"
            "kernels:\n"
            "  kernel               old cycles  new cycles  change       %\n"
            "  gemm_f32_accumulate         200         250     +50  +25.0%\n"
            "  multicast                   200         150     -50  -25.0%\n"
            "  (none)                       40          45      +5  +12.5%\n"
            "  barrier                      20          15      -5  -25.0%\n"
            "\n"
            "steps that changed most:\n"
            "  tile  index  kind             operation    kernel               old cycles"
            "  new cycles  change       %\n"
            "     0      0  Compute          accumulate   gemm_f32_accumulate         200"
            "         250     +50  +25.0%\n"
            "     0      1  Exchange         operation.4  multicast                   200"
            "         150     -50  -25.0%\n"
            "    17      0  Synchronization  wait         barrier                      20"
            "          15      -5  -25.0%\n");

  const Outcome same = qelpkg({"profile", "diff", "run.profile", "run.profile", "--json"});
  EXPECT_EQ(same.status, 0) << same.err;
  const Json unchanged = Json::parse(same.out);
  EXPECT_EQ(unchanged["change_cycles"], 0);
  EXPECT_EQ(unchanged["steps"], Json::array());

  // A report of another plan: only the totals are compared, and a kind that is new has no
  // percentage.
  qel_package::profile::ProfileReport other{
      .clock_hz = 1000,
      .tiles = {{.physical_tile = 0,
                 .samples = {
                     {.step = {.kind = qel_package::profile::StepKind::Exchange, .kernel = "fresh"},
                      .start_cycle = 0,
                      .end_cycle = 500}}}}};
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(other.write(bytes));
  write_bytes(path("other.profile"), bytes);
  const Outcome other_plan = qelpkg({"profile", "diff", "run.profile", "other.profile", "--json"});
  EXPECT_EQ(other_plan.status, 0) << other_plan.err;
  const Json changed = Json::parse(other_plan.out);
  EXPECT_TRUE(changed["steps"].is_null());
  EXPECT_EQ(
      changed["kinds"][0],
      Json::parse(R"({"kind":"Exchange","old_cycles":200,"new_cycles":500,"change_cycles":300,)"
                  R"("change_percent":150.0})"));
  EXPECT_EQ(changed["kernels"][0],
            Json::parse(R"({"kernel":"fresh","old_cycles":0,"new_cycles":500,"change_cycles":500,)"
                        R"("change_percent":null})"));
  const Outcome other_text = qelpkg({"profile", "diff", "run.profile", "other.profile"});
  EXPECT_NE(other_text.out.find("  fresh                         0         500    +500      new\n"
                                "  gemm_f32_accumulate         200           0    -200  -100.0%\n"),
            std::string::npos)
      << other_text.out;
  EXPECT_NE(other_text.out.find("\nsteps: not compared, the reports come from different plans\n"),
            std::string::npos);

  write_text(path("truncated.profile"), "12345");
  const Outcome unreadable = qelpkg({"profile", "diff", "run.profile", "truncated.profile"});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.out, "");
  EXPECT_EQ(unreadable.err.rfind("qelpkg: truncated.profile: ", 0), 0u) << unreadable.err;
}

TEST_F(Cli, UsageErrors) {
  const std::vector<std::vector<std::string>> cases{
      {},
      {"frob"},
      {"validate"},
      {"info"},
      {"info", "a", "b"},
      {"pack", "a.json"},
      {"image", "a.qel", "-o", "x"},
      {"image", "a.qel", "--tile", "-1", "-o", "x"},
      {"image", "a.qel", "--tile", "4294967296", "-o", "x"},
      {"profile"},
      {"profile", "build", "a.qel", "run.out", "-o", "r"},
      {"profile", "build", "a.qel", "run.out", "--clock-hz", "0", "-o", "r"},
      {"profile", "show"},
      {"profile", "show", "run.profile", "--top", "0"},
      {"profile", "show", "run.profile", "--top", "x"},
      {"profile", "show", "run.profile", "--tile", "-1"},
      {"profile", "trace", "r"},
      {"profile", "plot", "r"},
      {"profile", "diff", "r"},
      {"profile", "diff", "r", "s", "--top", "0"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const Outcome run = qelpkg(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("qelpkg: ", 0), 0u) << run.err;
  }
  EXPECT_EQ(qelpkg({"info"}).err,
            "qelpkg: PACKAGE is required\nRun 'qelpkg info --help' for usage.\n");
  EXPECT_EQ(qelpkg({}).err, "qelpkg: a command is required\nRun 'qelpkg --help' for usage.\n");

  for (const std::vector<std::string>& command : {std::vector<std::string>{},
                                                  {"validate"},
                                                  {"info"},
                                                  {"dump"},
                                                  {"pack"},
                                                  {"image"},
                                                  {"profile"},
                                                  {"profile", "build"},
                                                  {"profile", "show"},
                                                  {"profile", "trace"},
                                                  {"profile", "plot"},
                                                  {"profile", "diff"}}) {
    std::vector<std::string> arguments = command;
    arguments.push_back("--help");
    std::string usage = "Usage: qelpkg";
    for (const std::string& word : command) {
      usage += ' ' + word;
    }
    SCOPED_TRACE(usage);
    const Outcome run = qelpkg(arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(usage), std::string::npos) << run.out;
    // Every page reads as a manual: it ends with an example of the command.
    EXPECT_NE(run.out.find("\n\nExample:\n  qelpkg" +
                           usage.substr(std::string("Usage: qelpkg").size()) + " "),
              std::string::npos)
        << run.out;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 100u) << line;
    }
  }
}

TEST_F(Cli, FailuresLeaveNoOutput) {
  pack_fixture();
  const std::string fixture = read_text(FIXTURES / "full_package.json");
  write_text(path("syntax.json"), "{\n  \"compiler_version\": \"1\",\n}\n");
  std::string unknown_field = fixture;
  unknown_field.replace(unknown_field.find("\"tiles\": ["), 10, "\"tiles\": [], \"unused\": [");
  write_text(path("unknown-field.json"), unknown_field);
  Json empty = Json::parse(fixture);
  empty["tiles"] = Json::array();
  write_text(path("no-tiles.json"), empty.dump());
  write_text(path("existing.qel"), "old contents");

  struct Case {
    const char* input;
    const char* message;
  };
  const std::vector<Case> cases{
      {"syntax.json",
       "syntax error at line 3, column 1: unexpected '}'; expected a field name in double quotes"},
      {"unknown-field.json", R"(unknown field "unused")"},
      {"no-tiles.json", "application has no tiles"},
      {"absent.json", "cannot open: No such file or directory"},
  };
  const std::vector<std::string> before = entries();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const Outcome run = qelpkg({"pack", c.input, "-o", "existing.qel"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("qelpkg: ") + c.input + ": " + c.message + "\n");
    EXPECT_EQ(read_text(path("existing.qel")), "old contents");
    EXPECT_EQ(entries(), before);
  }

  const Outcome no_directory =
      qelpkg({"pack", (FIXTURES / "full_package.json").string(), "-o", "absent/app.qel"});
  EXPECT_EQ(no_directory.status, 1);
  EXPECT_EQ(no_directory.err, "qelpkg: absent/app.qel: cannot create: No such file or directory\n");

  const Outcome full_disk = qelpkg({"dump", "app.qel"}, "/dev/full");
  EXPECT_EQ(full_disk.status, 1);
  EXPECT_EQ(full_disk.err, "qelpkg: stdout: cannot write: No space left on device\n");
  EXPECT_EQ(entries(), before);
}

}  // namespace
}  // namespace qelpkg_cli
