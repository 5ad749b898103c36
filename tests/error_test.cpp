#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#include <qel_package/error.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

using testing::render;

static_assert(!std::is_copy_constructible_v<PackageError>);
static_assert(!std::is_copy_assignable_v<PackageError>);
static_assert(std::is_nothrow_move_constructible_v<PackageError>);
static_assert(std::is_nothrow_move_assignable_v<PackageError>);

TEST(PackageError, RendersVariantAndCarriedValue) {
  EXPECT_EQ(render(PackageError::Invalid{"incompatible package header"}),
            "Invalid(\"incompatible package header\")");
  EXPECT_EQ(render(PackageError::SchemaEnum{4}), "SchemaEnum(4)");
  EXPECT_EQ(render(PackageError::Utf8{3, 1}), "Utf8(Utf8Error { valid_up_to: 3, error_len: 1 })");
  EXPECT_EQ(render(PackageError::Utf8{7, std::nullopt}),
            "Utf8(Utf8Error { valid_up_to: 7, error_len: none })");
  EXPECT_EQ(render(PackageError::Capnp{kj::Exception(kj::Exception::Type::FAILED, "file.c++", 1,
                                                     kj::heapString("message is truncated"))}),
            "Capnp(Exception { type: Failed, description: \"message is truncated\" })");
  EXPECT_EQ(render(PackageError::Io{std::make_error_code(std::errc::no_such_file_or_directory)}),
            "Io(IoError { code: 2, message: \"No such file or directory\" })");
}

TEST(PackageError, QuotesMessageTextsWithEscapes) {
  EXPECT_EQ(render(PackageError::Invalid{"a \"b\" \\ c\n"}), "Invalid(\"a \\\"b\\\" \\\\ c\\n\")");
}

TEST(PackageError, MovesAndKeepsItsVariant) {
  PackageError error = PackageError::SchemaEnum{7};
  PackageError moved = std::move(error);
  ASSERT_NE(moved.get_if<PackageError::SchemaEnum>(), nullptr);
  EXPECT_EQ(moved.get_if<PackageError::SchemaEnum>()->value, 7);
  EXPECT_EQ(moved.get_if<PackageError::Invalid>(), nullptr);
  EXPECT_EQ(moved.variant().index(), 3u);

  PackageError capnp = PackageError::Capnp{
      kj::Exception(kj::Exception::Type::FAILED, "file.c++", 1, kj::heapString("first"))};
  capnp = PackageError::Capnp{
      kj::Exception(kj::Exception::Type::OVERLOADED, "file.c++", 2, kj::heapString("second"))};
  EXPECT_EQ(render(capnp), "Capnp(Exception { type: Overloaded, description: \"second\" })");
  moved = std::move(capnp);
  EXPECT_EQ(render(moved), "Capnp(Exception { type: Overloaded, description: \"second\" })");
}

PackageError capnp_error(const char* description) {
  return PackageError::Capnp{
      kj::Exception(kj::Exception::Type::FAILED, "file.c++", 1, kj::heapString(description))};
}

// One of each variant, with its one-line message.
struct MessageCase {
  const char* name;
  PackageError (*make)();
  std::string message;
};

const MessageCase MESSAGE_CASES[] = {
    {"Invalid: its message, without the location",
     []() -> PackageError {
       return PackageError::Invalid{"duplicate physical tile 3", "tiles[1]"};
     },
     "duplicate physical tile 3"},
    {"Capnp: the layer's description", [] { return capnp_error("message is truncated"); },
     "message is truncated"},
    {"Utf8 with an invalid sequence",
     []() -> PackageError {
       return PackageError::Utf8{5, 1};
     },
     "invalid UTF-8 after 5 bytes"},
    {"Utf8 ending inside a sequence",
     []() -> PackageError {
       return PackageError::Utf8{0, std::nullopt};
     },
     "invalid UTF-8 after 0 bytes"},
    {"SchemaEnum", []() -> PackageError { return PackageError::SchemaEnum{9}; },
     "enumeration value 9 is not in the schema"},
    {"Io: the system's message",
     []() -> PackageError {
       return PackageError::Io{std::make_error_code(std::errc::no_such_file_or_directory)};
     },
     "No such file or directory"},
};

TEST(PackageError, MessageIsOneLineForEveryVariant) {
  for (const MessageCase& c : MESSAGE_CASES) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.make().message(), c.message);
  }
}

TEST(PackageError, FormatsWithFmtAndSpdlogAsItsDebugRendering) {
  std::ostringstream logged;
  auto sink = std::make_shared<spdlog::sinks::ostream_sink_st>(logged);
  sink->set_pattern("%v");
  spdlog::logger logger("errors", sink);
  for (const MessageCase& c : MESSAGE_CASES) {
    SCOPED_TRACE(c.name);
    const PackageError error = c.make();
    EXPECT_EQ(fmt::format("{}", error), render(error));
    logged.str("");
    logger.error("{}", error);
    EXPECT_EQ(logged.str(), render(error) + '\n');
  }
}

}  // namespace
}  // namespace qel_package
