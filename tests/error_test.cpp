#include <system_error>
#include <type_traits>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qel_package
