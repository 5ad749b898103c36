// Records and errors format with fmt (and so with spdlog) as their debug rendering.
#include <sstream>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <qel_package/qel_package.hpp>

#include "fixtures.hpp"

namespace qel_package {
namespace {

template <class T>
std::string streamed(const T& value) {
  std::ostringstream os;
  os << value;
  return os.str();
}

static_assert(fmt::is_formattable<Segment>::value && fmt::is_formattable<TileImage>::value &&
              fmt::is_formattable<RegionSlice>::value && fmt::is_formattable<Binding>::value &&
              fmt::is_formattable<HostPage>::value && fmt::is_formattable<HostSlice>::value &&
              fmt::is_formattable<HostCall>::value && fmt::is_formattable<HostExchange>::value &&
              fmt::is_formattable<EntryPoint>::value &&
              fmt::is_formattable<DeviceConfigWrite>::value &&
              fmt::is_formattable<DebugSymbol>::value && fmt::is_formattable<DebugRegion>::value &&
              fmt::is_formattable<TileProfilePlan>::value &&
              fmt::is_formattable<OutputBinding>::value &&
              fmt::is_formattable<BindingKind>::value && fmt::is_formattable<NamedBinding>::value &&
              fmt::is_formattable<TileLoadImage>::value &&
              fmt::is_formattable<Application>::value && fmt::is_formattable<PackageError>::value);
static_assert(fmt::is_formattable<profile::StepKind>::value &&
              fmt::is_formattable<profile::ExchangeActivityKind>::value &&
              fmt::is_formattable<profile::ProfileMetadata>::value &&
              fmt::is_formattable<profile::ProfileExchangeActivity>::value &&
              fmt::is_formattable<profile::ProfileStep>::value &&
              fmt::is_formattable<profile::CycleSample>::value &&
              fmt::is_formattable<profile::TileProfile>::value &&
              fmt::is_formattable<profile::ProfileReport>::value);

TEST(Format, RecordsAsTheirDebugRendering) {
  const Application application = tests::full_package();
  const auto found = application.binding(application.outputs[0].name);
  ASSERT_TRUE(found);
  const profile::ProfileReport report{
      .clock_hz = 5,
      .tiles = {{.physical_tile = 1,
                 .samples = {{.step = application.profile_tiles[0].steps[0],
                              .start_cycle = 7,
                              .end_cycle = 9}}}}};

  EXPECT_EQ(fmt::format("{}", application), streamed(application));
  EXPECT_EQ(fmt::format("{}", application.tiles[0].segments[0]),
            streamed(application.tiles[0].segments[0]));
  EXPECT_EQ(fmt::format("{}", *found), streamed(*found));
  EXPECT_EQ(fmt::format("{}", report), streamed(report));
  EXPECT_EQ(fmt::format("{} {}", profile::StepKind::Compute, BindingKind::Weight),
            "Compute Weight");
  EXPECT_EQ(fmt::format("{}", Segment{.address = 311296, .memory_size = 8, .data = {1, 2}}),
            "Segment { address: 311296, memory_size: 8, data: [1, 2], flags: 0 }");
}

}  // namespace
}  // namespace qel_package
