#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <qel_package/qel_package.hpp>

#include "fixtures.hpp"
#include "input_checks.hpp"
#include "lib/little_endian.hpp"
#include "written.hpp"

namespace qel_package {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Check = std::optional<std::string> (*)(std::span<const std::uint8_t>);

using profile::CycleSample;
using profile::ProfileReport;
using profile::ProfileStep;
using profile::StepKind;
using testing::written;

std::vector<Bytes> package_seeds() {
  // More than one segment of many small records, so that damage lands on structure.
  Application many = tests::full_package();
  for (std::uint32_t i = 0; i < 120; ++i) {
    many.inputs.push_back(Binding{
        .name = "input." + std::to_string(i),
        .dtype = "u8",
        .shape = {i},
        .slices = {{.tile = 4, .tile_address = 0x4C000 + i, .file_offset = i, .size = 1},
                   {.tile = 1, .tile_address = 0xE0000, .file_offset = 0, .size = i}},
    });
  }
  return {written(tests::sample()), written(tests::full_package()), tests::legacy_package(),
          written(many)};
}

std::vector<Bytes> report_seeds() {
  ProfileReport report{.clock_hz = 1500000000};
  for (std::uint32_t tile = 0; tile < 3; ++tile) {
    auto& samples = report.tiles.emplace_back(profile::TileProfile{.physical_tile = tile}).samples;
    for (std::uint32_t i = 0; i < 4; ++i) {
      samples.push_back(CycleSample{.step = tests::full_package().profile_tiles[0].steps[i % 2],
                                    .start_cycle = 4294967285u + i,
                                    .end_cycle = i + 7});
    }
  }
  return {written(ProfileReport{}), written(report)};
}

// Deterministic damage to a framed message. Offsets are drawn uniformly; pointer rewrites
// only land on whole words after the segment table.
class Mutator {
 public:
  explicit Mutator(std::uint64_t seed) : random_(seed) {}

  Bytes flip_bit(Bytes bytes) {
    bytes[position(bytes)] ^= static_cast<std::uint8_t>(1u << draw(0, 7));
    return bytes;
  }

  Bytes overwrite_byte(Bytes bytes) {
    constexpr std::array<std::uint8_t, 3> values = {0x00, 0xFF, 0x80};
    bytes[position(bytes)] = values[draw(0, values.size() - 1)];
    return bytes;
  }

  Bytes overwrite_segment_table(Bytes bytes) {
    constexpr std::array<std::uint32_t, 6> values = {0, 1, 2, 511, 0x7FFFFFFF, 0xFFFFFFFF};
    const std::size_t slot = draw(0, std::min<std::size_t>(bytes.size() / 4, 4) - 1);
    const std::uint32_t value =
        draw(0, 1) ? values[draw(0, values.size() - 1)] : static_cast<std::uint32_t>(draw(0, 4096));
    put32(bytes, slot * 4, value);
    return bytes;
  }

  Bytes splice(const Bytes& front, const Bytes& back) {
    Bytes bytes(front.begin(), front.begin() + draw(0, front.size()));
    bytes.insert(bytes.end(), back.begin() + draw(0, back.size()), back.end());
    return bytes;
  }

  Bytes rewrite_pointer(Bytes bytes) {
    const std::size_t table_words = segment_table_words(bytes);
    const std::size_t words = bytes.size() / 8;
    if (words <= table_words + 1) {
      return bytes;
    }
    const std::size_t offset = 8 * draw(table_words, words - 2);
    switch (draw(0, 4)) {
      case 0:  // a struct far out of bounds
        put64(bytes, offset, 0x00010001'7FFFFFFC);
        break;
      case 1:  // a struct whose pointer section is the pointer itself
        put64(bytes, offset, 0x00010000'FFFFFFFC);
        break;
      case 2:  // a list of 2^29 - 1 eight-byte elements
        put64(bytes, offset, 0xFFFFFFFD'00000001);
        break;
      case 3:  // a far pointer into a segment that does not exist
        put64(bytes, offset, 0x00000007'00000002);
        break;
      default:  // an inline-composite list of 2^28 empty elements, tag in the next word
        put64(bytes, offset, 0x00000007'00000001);
        put64(bytes, offset + 8, 0x00000000'40000000);
        break;
    }
    return bytes;
  }

 private:
  std::size_t draw(std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random_);
  }
  std::size_t position(const Bytes& bytes) { return draw(0, bytes.size() - 1); }

  static std::size_t segment_table_words(const Bytes& bytes) {
    return (std::size_t{detail::read_le32(bytes, 0)} + 1) / 2 + 1;
  }
  static void put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  }
  static void put64(Bytes& bytes, std::size_t offset, std::uint64_t value) {
    put32(bytes, offset, static_cast<std::uint32_t>(value));
    put32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
  }

  std::mt19937_64 random_;
};

struct Mutation {
  const char* name;
  int count;  // per seed
  std::function<Bytes(Mutator&, const Bytes& seed, const Bytes& other)> apply;
};

const Mutation MUTATIONS[] = {
    {"bit flip", 400, [](Mutator& m, const Bytes& seed, const Bytes&) { return m.flip_bit(seed); }},
    {"byte overwrite", 300,
     [](Mutator& m, const Bytes& seed, const Bytes&) { return m.overwrite_byte(seed); }},
    {"segment table", 60,
     [](Mutator& m, const Bytes& seed, const Bytes&) { return m.overwrite_segment_table(seed); }},
    {"splice", 60,
     [](Mutator& m, const Bytes& seed, const Bytes& other) { return m.splice(seed, other); }},
    {"pointer", 150,
     [](Mutator& m, const Bytes& seed, const Bytes&) { return m.rewrite_pointer(seed); }},
    {"pointer after bit flip", 60,
     [](Mutator& m, const Bytes& seed, const Bytes&) {
       return m.rewrite_pointer(m.flip_bit(seed));
     }},
};

// Every mutation of every seed either fails to read with a PackageError or reads a value
// that survives a write and a read; and the views agree with the owning readers on it.
void mutate_all(const std::vector<Bytes>& seeds, const std::vector<Bytes>& others, Check check) {
  Mutator mutator(0x6D757461);
  for (std::size_t s = 0; s < seeds.size(); ++s) {
    for (const Mutation& mutation : MUTATIONS) {
      for (int i = 0; i < mutation.count; ++i) {
        const Bytes input = mutation.apply(mutator, seeds[s], others[i % others.size()]);
        for (const Check each : {check, fuzzing::check_view_agrees}) {
          if (const auto broken = each(input)) {
            ADD_FAILURE() << mutation.name << " " << i << " of seed " << s << ": " << *broken;
          }
        }
      }
    }
  }
}

// Splices take their second message from either kind, the seeds' own kind first.
std::vector<Bytes> followed_by(std::vector<Bytes> seeds, const std::vector<Bytes>& more) {
  seeds.insert(seeds.end(), more.begin(), more.end());
  return seeds;
}

TEST(Mutation, DamagedPackagesFailCleanlyOrRoundTrip) {
  const std::vector<Bytes> seeds = package_seeds();
  mutate_all(seeds, followed_by(seeds, report_seeds()), fuzzing::check_package_input);
}

TEST(Mutation, DamagedReportsFailCleanlyOrRoundTrip) {
  const std::vector<Bytes> seeds = report_seeds();
  mutate_all(seeds, followed_by(seeds, package_seeds()), fuzzing::check_report_input);
}

TEST(Mutation, EveryWordTruncationOfASmallPackage) {
  const Bytes bytes = written(tests::full_package());
  for (std::size_t size = 0; size < bytes.size(); size += 8) {
    const Bytes input(bytes.begin(), bytes.begin() + size);
    EXPECT_FALSE(Application::read(input)) << "truncated to " << size << " bytes";
    EXPECT_EQ(fuzzing::check_package_input(input), std::nullopt);
    EXPECT_EQ(fuzzing::check_view_agrees(input), std::nullopt);
    EXPECT_FALSE(ProfileReport::read(input));
  }
}

}  // namespace
}  // namespace qel_package
