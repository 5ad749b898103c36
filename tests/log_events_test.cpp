#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

#include <qel_package/application.hpp>

#include "fixtures.hpp"
#include "matchers.hpp"

namespace qel_package {
namespace {

using Events = std::vector<std::string>;

// Registers the logger the library looks up, recording each event as "level message".
class LogEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    sink_ = std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(16);
    sink_->set_pattern("%l %v");
    auto logger = std::make_shared<spdlog::logger>("qel_package", sink_);
    logger->set_level(spdlog::level::trace);
    spdlog::register_logger(logger);
  }
  void TearDown() override { spdlog::drop("qel_package"); }

  // The events since the last call.
  Events take() {
    Events events;
    for (std::string event : sink_->last_formatted()) {
      while (!event.empty() && (event.back() == '\n' || event.back() == '\r')) {
        event.pop_back();
      }
      events.push_back(event);
    }
    spdlog::drop("qel_package");
    SetUp();
    return events;
  }

 private:
  std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> sink_;
};

TEST_F(LogEvents, WritingAndReading) {
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(tests::sample().write(bytes));
  EXPECT_EQ(take(), (Events{"info writing application package tiles=1",
                            "info application package written"}));
  ASSERT_TRUE(Application::read(bytes));
  EXPECT_EQ(take(), (Events{"info reading application package",
                            "info application package read tiles=1 compiler=0.1.0"}));
}

TEST_F(LogEvents, FailuresEmitOnlyWhatPrecedesThem) {
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(Application{}.write(bytes));
  EXPECT_EQ(take(), Events{});

  EXPECT_FALSE(Application::read(bytes));
  EXPECT_EQ(take(), Events{"info reading application package"});

  // The legacy package with its second step renumbered: it reads, then fails validation.
  std::vector<std::uint8_t> renumbered = tests::legacy_package();
  renumbered[8 + 31 * 8] = 5;
  EXPECT_THAT(Application::read(renumbered),
              testing::FailedWithMessage("invalid tile profile plan"));
  EXPECT_EQ(take(), Events{"info reading application package"});
}

TEST_F(LogEvents, TileImageTracesItsGeometry) {
  const Application application = tests::sample();
  ASSERT_TRUE(application.tile_image(0));
  EXPECT_EQ(
      take(),
      Events{"trace reconstructing tile image physical_tile=0 load_base=0x4c000 image_bytes=8"});
  EXPECT_FALSE(application.tile_image(7));
  EXPECT_EQ(take(), Events{});
}

}  // namespace
}  // namespace qel_package
