#include <cstdint>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lib/message.hpp"
#include "matchers.hpp"

namespace qel_package {
namespace {

using testing::FailedAs;

std::string framing_error(const std::string& description) {
  return "Capnp(Exception { type: Failed, description: \"" + description + "\" })";
}

TEST(MessageFraming, RefusesFramesThatClaimMoreThanTheInputHolds) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> input;
    std::string description;
  };
  const Case cases[] = {
      {"empty input", {}, "message of 0 bytes ends before its segment count"},
      {"three bytes", {0, 0, 0}, "message of 3 bytes ends before its segment count"},
      {"600 segments",
       {0x57, 0x02, 0, 0, 1, 0, 0, 0},
       "message claims 600 segments, more than the 512 accepted"},
      {"2^32 segments",
       {0xFF, 0xFF, 0xFF, 0xFF},
       "message claims 4294967296 segments, more than the 512 accepted"},
      {"a table cut short",
       {3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0},
       "message of 16 bytes ends inside its segment table of 24 bytes"},
      {"2^31 words in a 16-byte frame",
       {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
       "message claims 2147483648 words of segments but only 1 follow its segment table"},
      {"a segment one word short",
       {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9},
       "message claims 2 words of segments but only 1 follow its segment table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(detail::copy_framed_message(c.input), FailedAs(framing_error(c.description)));
  }
}

TEST(MessageFraming, CopiesExactlyTheMessageFromUnalignedInput) {
  // One byte of misalignment, then two segments of 1 and 2 words, then trailing bytes.
  std::vector<std::uint8_t> input = {0xEE, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
  for (std::uint8_t byte = 1; byte <= 24; ++byte) {
    input.push_back(byte);
  }
  input.insert(input.end(), {0xDD, 0xDD, 0xDD});
  const auto words = detail::copy_framed_message(std::span(input).subspan(1));
  ASSERT_TRUE(words);
  ASSERT_EQ(words->size(), 5u);
  const auto bytes = words->asBytes();
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
            std::vector<std::uint8_t>(input.begin() + 1, input.end() - 3));
}

TEST(MessageFraming, ReaderOptionsKeepTheNestingLimit) {
  EXPECT_EQ(capnp_reader_options().traversalLimitInWords, UINT64_MAX);
  EXPECT_EQ(capnp_reader_options().nestingLimit, 64);
}

}  // namespace
}  // namespace qel_package
