#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/application.hpp>
#include <qel_package/profile.hpp>

#include "allocation_probe.hpp"

namespace qel_package {
namespace {

// Little-endian words: a one-segment frame, then the segment.
std::vector<std::uint8_t> frame(const std::vector<std::uint64_t>& segment) {
  std::vector<std::uint8_t> bytes = {0, 0, 0, 0};
  const auto put32 = [&](std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  };
  put32(static_cast<std::uint32_t>(segment.size()));
  for (const std::uint64_t word : segment) {
    put32(static_cast<std::uint32_t>(word));
    put32(static_cast<std::uint32_t>(word >> 32));
  }
  return bytes;
}

// A valid package header whose tiles pointer (pointer 2) is replaced by tiles_pointer, with
// tail words after the target text.
std::vector<std::uint8_t> package_with_tiles(std::uint64_t tiles_pointer,
                                             const std::vector<std::uint64_t>& tail) {
  std::vector<std::uint64_t> words(16, 0);
  words[0] = 0x000C000200000000;  // root: 2 data words, 12 pointers
  words[1] = 0x0004C00000000005;  // schema version 5, tile memory base
  words[2] = 0x000000000009C000;  // tile memory size
  words[4] = 0x0000003200000029;  // target: 6 bytes at word 15
  words[5] = tiles_pointer;
  words[15] = 0x00000031326C6571;  // "qel21"
  words.insert(words.end(), tail.begin(), tail.end());
  return frame(words);
}

// A report root (version 5) whose tiles list is an inline-composite list at word 4 whose tag
// claims 2^28 empty elements.
std::vector<std::uint8_t> report_with_empty_tiles() {
  return frame({0x0001000200000000, 5, 1500000000, 0x0000000700000001, std::uint64_t{1} << 30});
}

using Read = bool (*)(std::span<const std::uint8_t>);

bool read_package(std::span<const std::uint8_t> input) {
  const auto read = Application::read(input);
  return !read && read.error().get_if<PackageError::Capnp>() != nullptr;
}

bool read_report(std::span<const std::uint8_t> input) {
  const auto read = profile::ProfileReport::read(input);
  return !read && read.error().get_if<PackageError::Capnp>() != nullptr;
}

struct HostileCase {
  const char* name;
  std::vector<std::uint8_t> input;
  Read fails_with_capnp;
};

// SECURITY: each input claims far more than it holds. Reading must fail with Capnp before
// anything of the claimed size is allocated.
TEST(HostileInput, FailsWithoutAllocatingWhatTheInputClaims) {
  const HostileCase cases[] = {
      {"2^28 zero-sized tiles",
       // Inline-composite list at word 16 with 0 words; its tag claims 2^28 empty elements.
       package_with_tiles(0x0000000700000029, {std::uint64_t{1} << 30}), read_package},
      {"2^28 tiles of one word each, out of bounds",
       package_with_tiles(0x0000000700000029 | (std::uint64_t{1} << 35),
                          {(std::uint64_t{1} << 30) | (std::uint64_t{1} << 32)}),
       read_package},
      {"2^29 - 1 bytes of a data list", package_with_tiles(0xFFFFFFFA00000029, {}), read_package},
      {"a report of 2^28 empty tiles", report_with_empty_tiles(), read_report},
      {"a 16-byte frame claiming 2^31 words as a package",
       {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
       read_package},
      {"a 16-byte frame claiming 2^31 words as a report",
       {0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0},
       read_report},
      {"a frame claiming 600 segments as a package",
       {0x57, 0x02, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       read_package},
      {"a frame claiming 600 segments as a report",
       {0x57, 0x02, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       read_report},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.input.size(), 1024u);
    testing::reset_largest_allocation();
    EXPECT_TRUE(c.fails_with_capnp(c.input));
    EXPECT_LT(testing::largest_allocation(), std::size_t{1} << 20);
  }
}

// A report of one tile whose samples are an inline-composite list of count zero-sized
// elements, followed by padding zero words.
std::vector<std::uint8_t> report_with_empty_samples(std::uint64_t count, std::size_t padding) {
  std::vector<std::uint64_t> words = {
      0x0001000200000000,  // root: 2 data words, 1 pointer
      5,                   // schema version
      1500000000,          // clock
      0x0000001700000001,  // tiles: inline composite of 2 words
      0x0001000100000004,  // tag: 1 element of 1 data word, 1 pointer
      0,                   // physical tile 0
      0x0000000700000001,  // samples: inline composite of 0 words
      count << 2,          // tag: count elements of nothing
  };
  words.resize(words.size() + padding, 0);
  return frame(words);
}

// A package without tiles whose one profile plan holds count zero-sized steps, followed by
// padding zero words.
std::vector<std::uint8_t> package_with_empty_steps(std::uint64_t count, std::size_t padding) {
  std::vector<std::uint64_t> words(16, 0);
  words[0] = 0x000C000200000000;        // root: 2 data words, 12 pointers
  words[1] = 0x0004C00000000005;        // schema version 5, tile memory base
  words[2] = 0x000000000009C000;        // tile memory size
  words[4] = 0x0000003200000029;        // target: 6 bytes at word 15
  words[12] = 0x000000170000000D;       // profile tiles: inline composite of 2 words at word 16
  words[15] = 0x00000031326C6571;       // "qel21"
  words.push_back(0x0001000100000004);  // tag: 1 plan of 1 data word, 1 pointer
  words.push_back(0);                   // physical tile 0
  words.push_back(0x0000000700000001);  // steps: inline composite of 0 words
  words.push_back(count << 2);          // tag: count steps of nothing
  words.resize(words.size() + padding, 0);
  return frame(words);
}

// SECURITY: an input of N bytes makes an owning reader allocate at most 32 x N + 1 MiB,
// whether it reads or fails. Lists of zero-sized structs claim elements they do not hold,
// up to as many as the traversal allowance admits.
TEST(HostileInput, ReadsAllocateAFixedMultipleOfTheInput) {
  constexpr std::size_t WORDS = 20000;
  const auto reads_report = [](std::span<const std::uint8_t> input) {
    return profile::ProfileReport::read(input).has_value();
  };
  const auto reads_package = [](std::span<const std::uint8_t> input) {
    return Application::read(input).has_value();
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> input;
    Read read;
    bool reads;
  };
  const Case cases[] = {
      {"a report claiming as many empty samples as it has words",
       report_with_empty_samples(WORDS, WORDS), reads_report, true},
      {"a report claiming eight times as many empty samples as it has words",
       report_with_empty_samples(8 * WORDS, WORDS), reads_report, false},
      {"a package claiming eight times as many empty steps as it has words",
       package_with_empty_steps(8 * WORDS, WORDS), reads_package, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::reset_allocated_bytes();
    EXPECT_EQ(c.read(c.input), c.reads);
    EXPECT_LE(testing::allocated_bytes(), 32 * c.input.size() + (std::size_t{1} << 20));
  }
}

}  // namespace
}  // namespace qel_package
