#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/utf8.hpp"

namespace qel_package {
namespace {

struct Utf8Case {
  const char* name;
  std::vector<std::uint8_t> bytes;
  std::optional<std::size_t> valid_up_to;  // empty: the bytes are valid
  std::optional<std::size_t> error_len;
};

const Utf8Case UTF8_CASES[] = {
    {"empty", {}, {}, {}},
    {"ascii", {'q', 'e', 'l'}, {}, {}},
    {"two, three and four bytes", {0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}, {}, {}},
    {"largest code point U+10FFFF", {0xF4, 0x8F, 0xBF, 0xBF}, {}, {}},
    {"last before surrogates U+D7FF", {0xED, 0x9F, 0xBF}, {}, {}},
    {"first after surrogates U+E000", {0xEE, 0x80, 0x80}, {}, {}},
    {"lone continuation", {'a', 0x80}, 1, 1},
    {"never a lead byte C0", {0xC0, 0x80}, 0, 1},
    {"never a lead byte F5", {'a', 'b', 0xF5, 0x80, 0x80, 0x80}, 2, 1},
    {"never a lead byte FF", {0xFF}, 0, 1},
    {"overlong two bytes", {0xC1, 0xBF}, 0, 1},
    {"overlong three bytes", {0xE0, 0x9F, 0xBF}, 0, 1},
    {"overlong four bytes", {0xF0, 0x8F, 0xBF, 0xBF}, 0, 1},
    {"surrogate U+D800", {'x', 0xED, 0xA0, 0x80}, 1, 1},
    {"surrogate U+DFFF", {0xED, 0xBF, 0xBF}, 0, 1},
    {"above U+10FFFF", {0xF4, 0x90, 0x80, 0x80}, 0, 1},
    {"bad third byte", {0xE2, 0x82, 'a'}, 0, 2},
    {"bad fourth byte", {'a', 0xF0, 0x9F, 0x98, 'b'}, 1, 3},
    {"truncated two bytes", {'a', 0xC3}, 1, {}},
    {"truncated three bytes", {0xE2, 0x82}, 0, {}},
    {"truncated four bytes", {'a', 'b', 0xF0, 0x9F, 0x98}, 2, {}},
};

TEST(Utf8, FindsValidPrefixAndInvalidSequence) {
  for (const Utf8Case& c : UTF8_CASES) {
    SCOPED_TRACE(c.name);
    const auto error = detail::find_utf8_error(c.bytes);
    ASSERT_EQ(error.has_value(), c.valid_up_to.has_value());
    if (error) {
      EXPECT_EQ(error->valid_up_to, *c.valid_up_to);
      EXPECT_EQ(error->error_len, c.error_len);
    }
  }
}

std::vector<std::uint8_t> bytes_of(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Runs of ASCII are skipped a word at a time; the verdict must not depend on where a case
// falls relative to those words.
TEST(Utf8, VerdictIsTheSameBehindAsciiRunsOfAnyLength) {
  for (std::size_t run = 0; run <= 17; ++run) {
    for (const Utf8Case& c : UTF8_CASES) {
      SCOPED_TRACE(std::string(c.name) + " behind " + std::to_string(run) + " ASCII bytes");
      std::vector<std::uint8_t> bytes(run, 'a');
      bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
      const auto error = detail::find_utf8_error(bytes);
      ASSERT_EQ(error.has_value(), c.valid_up_to.has_value());
      if (error) {
        EXPECT_EQ(error->valid_up_to, run + *c.valid_up_to);
        EXPECT_EQ(error->error_len, c.error_len);
      }
    }
  }
}

TEST(Utf8, FindsAnErrorAfterLongAsciiBetweenMultibyteSequences) {
  const std::string valid =
      "\xC3\xA9" + std::string(16, 'x') + "\xE2\x82\xAC" + std::string(9, 'y');
  const std::string invalid = valid + "\xFF" + std::string(8, 'z');
  EXPECT_FALSE(detail::find_utf8_error(bytes_of(valid)).has_value());
  const auto error = detail::find_utf8_error(bytes_of(invalid));
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->valid_up_to, 30u);
  EXPECT_EQ(error->error_len, 1u);
}

TEST(Utf8, DecodeCopiesValidTextAndRefusesInvalid) {
  const auto text = detail::decode_utf8("r\xC3\xA9sum\xC3\xA9");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "r\xC3\xA9sum\xC3\xA9");

  const auto broken = detail::decode_utf8("ab\xED\xA0\x80");
  ASSERT_FALSE(broken);
  const auto* utf8 = broken.error().get_if<PackageError::Utf8>();
  ASSERT_NE(utf8, nullptr);
  EXPECT_EQ(utf8->valid_up_to, 2u);
  EXPECT_EQ(utf8->error_len, 1u);
}

}  // namespace
}  // namespace qel_package
