// qelpkg against hostile files, the operating system and the terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace qelpkg_cli {
namespace {

using Json = nlohmann::json;

constexpr std::uint64_t GIB = std::uint64_t{1} << 30;

// A data limit of 1 GiB, to show that a file is not read into memory. Under
// AddressSanitizer there is none: its shadow memory counts as data.
#if defined(__SANITIZE_ADDRESS__)
const std::string LIMIT_DATA;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const std::string LIMIT_DATA;
#else
const std::string LIMIT_DATA = "ulimit -d 1048576; ";
#endif
#else
const std::string LIMIT_DATA = "ulimit -d 1048576; ";
#endif

// The fixture with 32 more tiles, each a full segment of 600 KiB, so that packing it takes
// a while and writes a file of about 19 MiB.
Json large_package() {
  Json package = Json::parse(read_text(FIXTURES / "full_package.json"));
  const std::string data(2 * 600 * 1024, 'a');
  for (std::uint32_t tile = 100; tile < 132; ++tile) {
    package["tiles"].push_back({{"physical_tile", tile},
                                {"entry_point", 0x4c000},
                                {"command_address", 0},
                                {"diagnostic_address", 0},
                                {"segments", Json::array({{{"address", 0x4c000},
                                                           {"memory_size", 600 * 1024},
                                                           {"data", data},
                                                           {"flags", 0}}})}});
  }
  return package;
}

// The run output of the fixture: "y" first, then the counters of tile 17 and of tile 0.
std::vector<std::uint8_t> run_output() {
  std::vector<std::uint8_t> output(36, 0xEE);
  const std::uint32_t counters[] = {10, 30, 70, 100, 200, 300};
  for (std::size_t k = 0; k < 6; ++k) {
    for (std::size_t byte = 0; byte < 4; ++byte) {
      output[12 + 4 * k + byte] = static_cast<std::uint8_t>(counters[k] >> (8 * byte));
    }
  }
  return output;
}

TEST_F(Cli, ErrorsWithStandardErrorClosedOrFull) {
  const std::vector<std::pair<std::string, int>> cases{
      {"{qelpkg} info missing.qel 2>&-", 1},
      {"{qelpkg} info missing.qel 2>/dev/full", 1},
      {"{qelpkg} validate 2>&-", 2},
      {"{qelpkg} image x --tile 017 -o y 2>/dev/full", 2},
  };
  for (const auto& [line, status] : cases) {
    SCOPED_TRACE(line);
    const Outcome run = shell(line);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(Cli, OnlyTheMessageIsRead) {
  pack_fixture();
  const std::vector<std::uint8_t> package = read_bytes(path("app.qel"));
  // A package followed by 2 GiB, and 20 GiB of nothing; both sparse.
  fs::copy_file(path("app.qel"), path("tail.qel"));
  fs::resize_file(path("tail.qel"), package.size() + 2 * GIB);
  write_bytes(path("sparse.qel"), {});
  fs::resize_file(path("sparse.qel"), 20 * GIB);

  const Outcome validate =
      shell(LIMIT_DATA + "{qelpkg} validate app.qel /dev/zero sparse.qel tail.qel");
  EXPECT_EQ(validate.status, 1);
  EXPECT_EQ(validate.out,
            "app.qel: ok\n"
            "/dev/zero: not a well-formed message: Message did not contain a root pointer.\n"
            "sparse.qel: not a well-formed message: Message did not contain a root pointer.\n"
            "tail.qel: ok\n");
  EXPECT_EQ(validate.err, "");

  const Outcome info = shell(LIMIT_DATA + "{qelpkg} info tail.qel --json");
  EXPECT_EQ(info.status, 0) << info.err;
  const Json summary = Json::parse(info.out);
  EXPECT_EQ(summary["message_bytes"], package.size());
  EXPECT_EQ(summary["bytes_after_message"], 2 * GIB);
}

TEST_F(Cli, StreamsAreReadAsFarAsTheFramingSays) {
  pack_fixture();
  const std::string dump = qelpkg({"dump", "app.qel"}).out;
  // Two packages in one stream: each command takes exactly one.
  const Outcome two =
      shell("cat app.qel app.qel | { {qelpkg} dump - >first.json && {qelpkg} validate - -; }");
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(two.out,
            "-: ok\n"
            "-: not a well-formed message: message of 0 bytes ends before its segment count\n");
  EXPECT_EQ(read_text(path("first.json")), dump);

  const Outcome cut = shell("head -c 100 app.qel | {qelpkg} validate -");
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.out,
            "-: not a well-formed message: message claims 221 words of segments but only 11 "
            "follow its segment table\n");

  const Outcome repack = shell("{qelpkg} dump app.qel | {qelpkg} pack - -o - >again.qel");
  EXPECT_EQ(repack.status, 0) << repack.err;
  EXPECT_EQ(read_bytes(path("again.qel")), read_bytes(path("app.qel")));
}

TEST_F(Cli, OptionNumbersAreStrictDecimal) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::string image = "Run 'qelpkg image --help' for usage.\n";
  const std::string build = "Run 'qelpkg profile build --help' for usage.\n";
  const auto tile = [](std::string value) {
    return std::vector<std::string>{"image", "app.qel", "--tile", std::move(value), "-o", "x"};
  };
  const auto clock = [](std::string value) {
    return std::vector<std::string>{"profile",    "build",          "app.qel", "run.out",
                                    "--clock-hz", std::move(value), "-o",      "r"};
  };
  const std::vector<Case> cases{
      {tile("017"),
       "--tile: \"017\" has a leading zero; write the number in decimal without it\n" + image},
      {tile("-1"), "--tile: \"-1\" is not an unsigned decimal number\n" + image},
      {tile("+1"), "--tile: \"+1\" is not an unsigned decimal number\n" + image},
      {tile("0x10"), "--tile: \"0x10\" is not an unsigned decimal number\n" + image},
      {tile("4294967296"), "--tile: \"4294967296\" is out of range: at most 4294967295\n" + image},
      {clock("-1"), "--clock-hz: \"-1\" is not an unsigned decimal number\n" + build},
      {clock("010"),
       "--clock-hz: \"010\" has a leading zero; write the number in decimal without it\n" + build},
      {clock("18446744073709551616"),
       "--clock-hz: \"18446744073709551616\" is out of range: at most 18446744073709551615\n" +
           build},
      {clock("0"), "--clock-hz: \"0\" is out of range: at least 1\n" + build},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const Outcome run = qelpkg(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "qelpkg: " + c.message);
  }
}

TEST_F(Cli, PackRefusesBytesAfterTheDocument) {
  const std::string fixture = read_text(FIXTURES / "full_package.json");
  const auto lines = std::count(fixture.begin(), fixture.end(), '\n');
  write_text(path("nul.json"), fixture + std::string("\0garbage", 8));
  write_text(path("second.json"), fixture + "{}");
  for (const char* name : {"nul.json", "second.json"}) {
    SCOPED_TRACE(name);
    const Outcome run = qelpkg({"pack", name, "-o", "app.qel"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qelpkg: " + std::string(name) + ": syntax error at line " +
                           std::to_string(lines + 1) + ", column 1: unexpected " +
                           (name == std::string("nul.json") ? "NUL byte" : "'{'") +
                           " after the document\n");
    EXPECT_FALSE(fs::exists(path("app.qel")));
  }
}

TEST_F(Cli, OutputsBehaveLikeFiles) {
  pack_fixture();
  const std::vector<std::uint8_t> package = read_bytes(path("app.qel"));
  const std::string json = (FIXTURES / "full_package.json").string();

  // The longest name a file may have: the temporary name must fit too.
  const std::string longest(255, 'n');
  EXPECT_EQ(qelpkg({"pack", json, "-o", longest}).status, 0);
  EXPECT_EQ(read_bytes(path(longest)), package);

  write_text(path("private.qel"), "old");
  fs::permissions(path("private.qel"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(qelpkg({"pack", json, "-o", "private.qel"}).status, 0);
  EXPECT_EQ(fs::status(path("private.qel")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_bytes(path("private.qel")), package);

  write_text(path("real.qel"), "old");
  fs::create_symlink("real.qel", path("link.qel"));
  EXPECT_EQ(qelpkg({"pack", json, "-o", "link.qel"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(path("link.qel")));
  EXPECT_EQ(read_bytes(path("real.qel")), package);

  fs::create_symlink("absent.qel", path("dangling.qel"));
  const Outcome dangling = qelpkg({"pack", json, "-o", "dangling.qel"});
  EXPECT_EQ(dangling.status, 1);
  EXPECT_EQ(dangling.err,
            "qelpkg: dangling.qel: cannot follow symbolic link: No such file or directory\n");

  // A FIFO is written in place, never replaced by a file.
  ASSERT_EQ(::mkfifo(path("image.fifo").c_str(), 0600), 0);
  const int reader = ::open(path("image.fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const Outcome fifo = qelpkg({"image", "app.qel", "--tile", "17", "-o", "image.fifo"});
  EXPECT_EQ(fifo.status, 0) << fifo.err;
  std::vector<std::uint8_t> image(64);
  const ssize_t got = ::read(reader, image.data(), image.size());
  ::close(reader);
  EXPECT_EQ(got, 16);
  EXPECT_TRUE(fs::is_fifo(path("image.fifo")));

  // "-": the image on standard output, its summary on standard error.
  const Outcome to_stdout = qelpkg({"image", "app.qel", "--tile", "17", "-o", "-"});
  EXPECT_EQ(to_stdout.status, 0);
  EXPECT_EQ(to_stdout.out, std::string(1, '\xff') + std::string(15, '\0'));
  EXPECT_EQ(to_stdout.err, "tile 17: load base 0x4d000, 16 bytes\n");
}

TEST_F(Cli, SignalsLeaveNoTemporaryFile) {
  write_text(path("large.json"), large_package().dump());
  write_text(path("target.qel"), "old contents");
  const std::vector<std::string> before = entries();

  // Writing beyond the file size limit raises SIGXFSZ in the middle of the output.
  const Outcome limited = shell("ulimit -f 1024; {qelpkg} pack large.json -o target.qel");
  EXPECT_EQ(limited.status, 128 + SIGXFSZ);
  EXPECT_EQ(read_text(path("target.qel")), "old contents");
  EXPECT_EQ(entries(), before);

  // The other signals arrive once the temporary file is there, or whenever the program is
  // seen to run: at any moment, the target is whole and no temporary file stays.
  const std::string package = [&] {
    EXPECT_EQ(qelpkg({"pack", "large.json", "-o", "expected.qel"}).status, 0);
    std::string bytes = read_text(path("expected.qel"));
    fs::remove(path("expected.qel"));
    return bytes;
  }();
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
    SCOPED_TRACE(signal);
    write_text(path("target.qel"), "old contents");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::chdir(path("").c_str());
      ::execl(QELPKG_BINARY, "qelpkg", "pack", "large.json", "-o", "target.qel", nullptr);
      ::_exit(127);
    }
    while (entries().size() == before.size()) {
      if (::waitpid(child, nullptr, WNOHANG) != 0) {
        break;
      }
    }
    ::kill(child, signal);
    ::waitpid(child, nullptr, 0);
    const std::string target = read_text(path("target.qel"));
    EXPECT_TRUE(target == "old contents" || target == package);
    EXPECT_EQ(entries(), before);
  }
}

TEST_F(Cli, RightKindOfFile) {
  pack_fixture();
  write_bytes(path("run.out"), run_output());
  ASSERT_EQ(
      qelpkg({"profile", "build", "app.qel", "run.out", "--clock-hz", "1000", "-o", "run.profile"})
          .status,
      0);
  const std::string package = "holds an application package, not a cycle profile report";
  const std::string report = "holds a cycle profile report, not an application package";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"profile", "show", "app.qel"}, "app.qel: " + package},
      {{"profile", "trace", "app.qel", "-o", "trace.json"}, "app.qel: " + package},
      {{"info", "run.profile"}, "run.profile: " + report},
      {{"dump", "run.profile"}, "run.profile: " + report},
      {{"image", "run.profile", "--tile", "0", "-o", "image.bin"}, "run.profile: " + report},
      {{"info", "run.out"},
       "run.out: not a well-formed message: message claims 4008636143 segments, more than the "
       "512 accepted"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const Outcome run = qelpkg(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "qelpkg: " + message + "\n");
  }
  const Outcome validate = qelpkg({"validate", "run.profile", "run.out"});
  EXPECT_EQ(validate.out,
            "run.profile: " + report +
                "\nrun.out: not a well-formed message: message claims 4008636143 segments, more "
                "than the 512 accepted\n");
  EXPECT_FALSE(fs::exists(path("trace.json")));
  EXPECT_FALSE(fs::exists(path("image.bin")));
}

TEST_F(Cli, ControlCharactersPrintEscaped) {
  Json package = Json::parse(read_text(FIXTURES / "full_package.json"));
  package["compiler_version"] = "1\x1b[2J";
  package["inputs"][0]["name"] = "x\x1b]0;title\x07";
  package["debug_symbols"][0]["name"] = "line\nbreak\u0085";
  package["profile_tiles"][0]["steps"][0]["operation"] = "op\x1b[31m";
  write_text(path("evil.json"), package.dump());
  ASSERT_EQ(qelpkg({"pack", "evil.json", "-o", "evil.qel"}).status, 0);
  write_bytes(path("run.out"), run_output());
  ASSERT_EQ(
      qelpkg({"profile", "build", "evil.qel", "run.out", "--clock-hz", "1000", "-o", "run.profile"})
          .status,
      0);

  const Outcome info = qelpkg({"info", "evil.qel"});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("compiler version: 1\\x1b[2J\n"), std::string::npos);
  EXPECT_NE(info.out.find("  x\\x1b]0;title\\x07: dtype u8"), std::string::npos);
  EXPECT_NE(info.out.find("  line\\nbreak\\u0085  0x4c000\n"), std::string::npos);
  const Outcome show = qelpkg({"profile", "show", "run.profile"});
  EXPECT_EQ(show.status, 0);
  EXPECT_NE(show.out.find("op\\x1b[31m"), std::string::npos);
  for (const Outcome* run : {&info, &show}) {
    EXPECT_EQ(run->out.find('\x1b'), std::string::npos);
  }
  // JSON output stays exact.
  EXPECT_EQ(Json::parse(qelpkg({"dump", "evil.qel"}).out), package);

  // A file name in a message is escaped too.
  const Outcome missing = qelpkg({"info", "no\x1b[1mfile"});
  EXPECT_EQ(missing.err, "qelpkg: no\\x1b[1mfile: cannot open: No such file or directory\n");
}

}  // namespace
}  // namespace qelpkg_cli
