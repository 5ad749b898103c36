#include <cstring>
#include <vector>

#include <capnp/serialize.h>
#include <gtest/gtest.h>

#include <qel_package/application.capnp.h>
#include <qel_package/constants.hpp>

#include "fixtures.hpp"

namespace qel_package {
namespace {

namespace app = application_capnp;
namespace prof = profile_capnp;

// Decodes the legacy package through the generated accessors alone, so the schema is
// checked independently of the package reader.
TEST(LegacyFixture, DecodesThroughTheAccessorLayer) {
  const std::vector<std::uint8_t> bytes = tests::legacy_package();
  ASSERT_EQ(bytes.size(), 568u);
  auto words = kj::heapArray<capnp::word>(bytes.size() / sizeof(capnp::word));
  std::memcpy(words.asBytes().begin(), bytes.data(), bytes.size());
  capnp::FlatArrayMessageReader message(words);
  const auto root = message.getRoot<app::Application>();

  EXPECT_EQ(root.getSchemaVersion(), SCHEMA_VERSION);
  EXPECT_EQ(root.getTarget(), "qel21");
  EXPECT_EQ(root.getTileMemoryBase(), TILE_MEMORY_BASE);
  EXPECT_EQ(root.getTileMemorySize(), TILE_MEMORY_SIZE);
  EXPECT_FALSE(root.hasCompilerVersion());
  EXPECT_FALSE(root.hasInputs() || root.hasOutputs() || root.hasWeights());
  EXPECT_FALSE(root.hasHostExchange() || root.hasEntryPoints() || root.hasDeviceConfigWrites());
  EXPECT_FALSE(root.hasDebugSymbols() || root.hasDebugRegions());

  ASSERT_EQ(root.getTiles().size(), 1u);
  const auto tile = root.getTiles()[0];
  EXPECT_EQ(tile.getPhysicalTile(), 0u);
  EXPECT_EQ(tile.getEntryPoint(), TILE_MEMORY_BASE);
  EXPECT_EQ(tile.getCommandAddress(), 0u);
  EXPECT_EQ(tile.getDiagnosticAddress(), 0u);
  EXPECT_FALSE(tile.hasSegments());

  ASSERT_EQ(root.getProfileTiles().size(), 1u);
  const auto plan = root.getProfileTiles()[0];
  EXPECT_EQ(plan.getPhysicalTile(), 0u);
  const auto steps = plan.getSteps();
  ASSERT_EQ(steps.size(), 4u);

  const auto first = steps[0];
  EXPECT_EQ(first.getLocalIndex(), 0u);
  EXPECT_EQ(first.getPhase(), 7u);
  EXPECT_EQ(first.getEpoch(), 3u);
  EXPECT_EQ(first.getOperation(), "operation.4");
  EXPECT_EQ(first.getKind(), prof::StepKind::EXCHANGE);
  EXPECT_EQ(first.getKernel(), "multicast");
  EXPECT_EQ(first.getExchangeEventCycles(), 13u);
  ASSERT_EQ(first.getMetadata().size(), 1u);
  EXPECT_EQ(first.getMetadata()[0].getName(), "reason");
  EXPECT_EQ(first.getMetadata()[0].getValue(), "LayoutRearrangement");

  struct Activity {
    prof::ExchangeActivityKind kind;
    std::uint32_t start_cycle;
    std::uint32_t end_cycle;
    std::uint16_t fanout;
    bool paired;
  };
  const Activity expected[] = {
      {prof::ExchangeActivityKind::SEND, 2, 8, 3, true},
      {prof::ExchangeActivityKind::RECEIVE, 4, 10, 2, false},
      {prof::ExchangeActivityKind::PARTNER_BUSY, 1, 12, 3, true},
  };
  const auto activities = first.getExchangeActivities();
  ASSERT_EQ(activities.size(), 3u);
  for (unsigned i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(activities[i].getKind(), expected[i].kind);
    EXPECT_EQ(activities[i].getStartCycle(), expected[i].start_cycle);
    EXPECT_EQ(activities[i].getEndCycle(), expected[i].end_cycle);
    EXPECT_EQ(activities[i].getFanout(), expected[i].fanout);
    EXPECT_EQ(activities[i].getPaired(), expected[i].paired);
  }

  const prof::StepKind kinds[] = {prof::StepKind::COMPUTE, prof::StepKind::SYNCHRONIZATION,
                                  prof::StepKind::IDLE};
  for (unsigned i = 1; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(steps[i].getLocalIndex(), i);
    EXPECT_EQ(steps[i].getKind(), kinds[i - 1]);
    EXPECT_FALSE(steps[i].hasOperation() || steps[i].hasKernel());
    EXPECT_FALSE(steps[i].hasMetadata() || steps[i].hasExchangeActivities());
  }
}

}  // namespace
}  // namespace qel_package
