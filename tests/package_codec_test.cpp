#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <capnp/any.h>
#include <capnp/message.h>
#include <capnp/serialize.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/constants.hpp>

#include "fixtures.hpp"
#include "lib/little_endian.hpp"
#include "matchers.hpp"
#include "written.hpp"

namespace qel_package {
namespace {

namespace wire = application_capnp;

using testing::FailedAs;
using testing::FailedWith;
using testing::FailedWithMessage;
using testing::Succeeded;
using testing::written;

std::vector<std::uint8_t> flat_bytes(capnp::MessageBuilder& message) {
  const auto words = capnp::messageToFlatArray(message);
  const auto bytes = words.asBytes();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The written package with patch applied to its message through the accessors.
std::vector<std::uint8_t> patched(const Application& application,
                                  const std::function<void(wire::Application::Builder)>& patch) {
  const std::vector<std::uint8_t> bytes = written(application);
  auto aligned = kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word));
  std::memcpy(aligned.asBytes().begin(), bytes.data(), bytes.size());
  capnp::FlatArrayMessageReader reader(aligned);
  capnp::MallocMessageBuilder message;
  message.setRoot(reader.getRoot<wire::Application>());
  patch(message.getRoot<wire::Application>());
  return flat_bytes(message);
}

std::uint32_t segment_count(const std::vector<std::uint8_t>& bytes) {
  return detail::read_le32(bytes, 0) + 1;
}

TEST(PackageCodec, WriteThenReadGivesAnEqualApplication) {
  for (const Application& application : {tests::sample(), tests::full_package()}) {
    const auto read = Application::read(written(application));
    ASSERT_THAT(read, Succeeded());
    EXPECT_EQ(*read, application);
  }
}

TEST(PackageCodec, WritingIsDeterministicAndAppends) {
  const Application application = tests::full_package();
  EXPECT_EQ(written(application), written(application));

  std::vector<std::uint8_t> sink = {0xAA, 0xBB, 0xCC};
  ASSERT_THAT(application.write(sink), Succeeded());
  EXPECT_EQ(std::vector<std::uint8_t>(sink.begin(), sink.begin() + 3),
            (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(std::vector<std::uint8_t>(sink.begin() + 3, sink.end()), written(application));
  const auto read = Application::read(std::span(sink).subspan(3));
  ASSERT_THAT(read, Succeeded()) << "unaligned input";
  EXPECT_EQ(*read, application);
}

TEST(PackageCodec, ReadsTheFirstOfTwoMessages) {
  std::vector<std::uint8_t> bytes = written(tests::sample());
  const std::size_t first_size = bytes.size();
  ASSERT_THAT(tests::full_package().write(bytes), Succeeded());
  const auto first = Application::read(bytes);
  ASSERT_THAT(first, Succeeded());
  EXPECT_EQ(*first, tests::sample());
  const auto second = Application::read(std::span(bytes).subspan(first_size));
  ASSERT_THAT(second, Succeeded());
  EXPECT_EQ(*second, tests::full_package());
}

TEST(PackageCodec, RefusesAnInvalidApplicationAndLeavesTheSinkAlone) {
  std::vector<std::uint8_t> sink = {1, 2, 3};
  EXPECT_THAT(Application{}.write(sink), FailedWithMessage("application has no tiles"));
  EXPECT_EQ(sink, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(PackageCodec, WritesTheHeaderAndEveryListAndText) {
  const std::vector<std::uint8_t> bytes = written(tests::sample());
  auto aligned = kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word));
  std::memcpy(aligned.asBytes().begin(), bytes.data(), bytes.size());
  capnp::FlatArrayMessageReader message(aligned);
  const auto root = message.getRoot<wire::Application>();
  EXPECT_EQ(root.getSchemaVersion(), 5u);
  EXPECT_EQ(root.getTarget(), "qel21");
  EXPECT_EQ(root.getTileMemoryBase(), 0x4C000u);
  EXPECT_EQ(root.getTileMemorySize(), 0x9C000u);
  EXPECT_TRUE(root.hasCompilerVersion() && root.hasTiles() && root.hasInputs() &&
              root.hasOutputs() && root.hasWeights() && root.hasHostExchange() &&
              root.hasEntryPoints() && root.hasDeviceConfigWrites() && root.hasProfileTiles() &&
              root.hasDebugSymbols() && root.hasDebugRegions());
  const auto exchange = root.getHostExchange();
  EXPECT_TRUE(exchange.hasPages() && exchange.hasAttachOrder() && exchange.hasCalls());
  EXPECT_EQ(exchange.getCalls().size(), 0u);
  EXPECT_TRUE(root.getTiles()[0].hasSegments() && root.getTiles()[0].getSegments()[0].hasData());
}

TEST(PackageCodec, LargePackagesSpanSeveralSegments) {
  Application application = tests::sample();
  application.tiles[0].segments[0] = {.address = TILE_MEMORY_BASE,
                                      .memory_size = 0x10000,
                                      .data = std::vector<std::uint8_t>(0x10000, 0x5A)};
  const std::vector<std::uint8_t> bytes = written(application);
  EXPECT_GT(segment_count(bytes), 1u);
  const auto read = Application::read(bytes);
  ASSERT_THAT(read, Succeeded());
  EXPECT_EQ(*read, application);
}

// More than the 8 Mi words that Cap'n Proto's default traversal limit allows.
TEST(PackageCodec, ReadsPackagesLargerThanTheDefaultTraversalLimit) {
  Application application;
  for (std::uint32_t tile = 0; tile < 110; ++tile) {
    application.tiles.push_back({.physical_tile = tile,
                                 .segments = {{.address = TILE_MEMORY_BASE,
                                               .memory_size = 620 * 1024,
                                               .data = std::vector<std::uint8_t>(
                                                   620 * 1024, static_cast<std::uint8_t>(tile))}}});
  }
  const std::vector<std::uint8_t> bytes = written(application);
  ASSERT_GT(bytes.size(), std::size_t{8} << 23);
  const auto read = Application::read(bytes);
  ASSERT_THAT(read, Succeeded());
  EXPECT_TRUE(*read == application);
}

TEST(PackageCodec, ChecksTheHeader) {
  struct Case {
    const char* name;
    std::function<void(wire::Application::Builder)> patch;
    std::string rendering;
  };
  const std::string incompatible = "Invalid(\"incompatible package header\")";
  const Case cases[] = {
      {"schema version 4", [](auto root) { root.setSchemaVersion(4); }, incompatible},
      {"schema version 6", [](auto root) { root.setSchemaVersion(6); }, incompatible},
      {"target with another byte", [](auto root) { root.setTarget("qel22"); }, incompatible},
      {"target upper case", [](auto root) { root.setTarget("QEL21"); }, incompatible},
      {"longer target", [](auto root) { root.setTarget("qel210"); }, incompatible},
      {"shorter target", [](auto root) { root.setTarget("qel2"); }, incompatible},
      {"empty target", [](auto root) { root.setTarget(""); }, incompatible},
      {"absent target", [](auto root) { root.disownTarget(); }, incompatible},
      {"tile memory base", [](auto root) { root.setTileMemoryBase(0x4C001); }, incompatible},
      {"tile memory size", [](auto root) { root.setTileMemorySize(0x9BFFF); }, incompatible},
      {"target that is not UTF-8", [](auto root) { root.setTarget("qel\xFF"); },
       "Utf8(Utf8Error { valid_up_to: 3, error_len: 1 })"},
      {"wrong version before a target that is not UTF-8",
       [](auto root) {
         root.setSchemaVersion(4);
         root.setTarget("qel\xFF");
       },
       incompatible},
      {"compiler version that is not UTF-8", [](auto root) { root.setCompilerVersion("\xC0"); },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(Application::read(patched(tests::sample(), c.patch)), FailedAs(c.rendering));
  }
}

TEST(PackageCodec, NullRootReadsAsAllZeroAndIsRefused) {
  const std::vector<std::uint8_t> bytes = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_THAT(Application::read(bytes), FailedWithMessage("incompatible package header"));
}

TEST(PackageCodec, AbsentFieldsReadAsDefaults) {
  const auto read = Application::read(patched(tests::full_package(), [](auto root) {
    root.disownCompilerVersion();
    root.disownHostExchange();
    root.disownInputs();
    root.disownDebugRegions();
  }));
  ASSERT_THAT(read, Succeeded());
  EXPECT_EQ(read->compiler_version, "");
  EXPECT_EQ(read->host_exchange, HostExchange{});
  EXPECT_TRUE(read->inputs.empty() && read->debug_regions.empty());
  EXPECT_EQ(read->outputs, tests::full_package().outputs);

  EXPECT_THAT(Application::read(patched(tests::sample(), [](auto root) { root.disownTiles(); })),
              FailedWithMessage("application has no tiles"));
}

TEST(PackageCodec, ReportsTheFirstBrokenFieldInReadingOrder) {
  struct Case {
    const char* name;
    std::function<void(wire::Application::Builder)> patch;
    std::string rendering;
  };
  const Case cases[] = {
      {"a binding name that is not UTF-8", [](auto root) { root.getInputs()[0].setName("in\xFF"); },
       "Utf8(Utf8Error { valid_up_to: 2, error_len: 1 })"},
      {"a step kind out of range",
       [](auto root) {
         root.getProfileTiles()[1].getSteps()[0].setKind(static_cast<profile_capnp::StepKind>(9));
       },
       "SchemaEnum(9)"},
      {"outputs before profile plans",
       [](auto root) {
         root.getProfileTiles()[0].getSteps()[0].setKind(static_cast<profile_capnp::StepKind>(9));
         root.getOutputs()[1].setDtype("\xF5");
       },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })"},
      {"a host call name before a debug symbol name",
       [](auto root) {
         root.getDebugSymbols()[0].setName("\xFF");
         root.getHostExchange().getCalls()[1].setName("\xE2\x82");
       },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: none })"},
      {"an entry point name", [](auto root) { root.getEntryPoints()[1].setName("\xED\xA0\x80"); },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })"},
      {"a debug region name", [](auto root) { root.getDebugRegions()[1].setName("t\xFF"); },
       "Utf8(Utf8Error { valid_up_to: 1, error_len: 1 })"},
      {"conversion before validation",
       [](auto root) {
         root.getTiles()[0].setPhysicalTile(1);
         root.getWeights()[0].setName("\xFF");
       },
       "Utf8(Utf8Error { valid_up_to: 0, error_len: 1 })"},
      {"validation of what was read", [](auto root) { root.getTiles()[0].setPhysicalTile(1); },
       "Invalid(\"duplicate physical tile 1\")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(Application::read(patched(tests::full_package(), c.patch)), FailedAs(c.rendering));
  }
}

TEST(PackageCodec, MalformedMessagesAreCapnpErrors) {
  const std::vector<std::uint8_t> bytes = written(tests::sample());
  const std::vector<std::vector<std::uint8_t>> inputs = {
      {},
      {bytes.begin(), bytes.begin() + 4},
      {bytes.begin(), bytes.begin() + 8},
      {bytes.begin(), bytes.end() - 1},
      {bytes.begin(), bytes.end() - 8},
      // A struct where the tiles list belongs.
      patched(
          tests::sample(),
          [](auto root) {
            capnp::AnyStruct::Builder(kj::cp(root)).getPointerSection()[2].initAs<wire::HostPage>();
          }),
      // A list where the host exchange struct belongs.
      patched(tests::sample(),
              [](auto root) {
                capnp::AnyStruct::Builder(kj::cp(root))
                    .getPointerSection()[6]
                    .initAs<capnp::List<std::uint32_t>>(2);
              }),
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_THAT(Application::read(inputs[i]), FailedWith<PackageError::Capnp>());
  }
}

}  // namespace
}  // namespace qel_package
