// Writes the seed corpus of the fuzz targets: packages and reports that the writers produce,
// and the legacy package. Usage: qel_package_seed_corpus DIRECTORY
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <vector>

#include <qel_package/qel_package.hpp>

#include "fixtures.hpp"

namespace {

using qel_package::profile::ProfileReport;

void save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

// What record's write produces: a package or a report.
template <class Record>
std::vector<std::uint8_t> written(const Record& record) {
  std::vector<std::uint8_t> bytes;
  if (const auto done = record.write(bytes); !done) {
    std::cerr << done.error() << '\n';
    std::exit(1);
  }
  return bytes;
}

// The full package's run output: 12 bytes of "logits", then the counters of its two plans.
ProfileReport full_package_report() {
  std::vector<std::uint8_t> output(12, 0xA5);
  for (std::uint32_t counter : {100u, 150u, 4294967290u, 7u, 9u}) {
    for (int shift = 0; shift < 32; shift += 8) {
      output.push_back(static_cast<std::uint8_t>(counter >> shift));
    }
  }
  const auto profile = qel_package::tests::full_package().profile_report(output, 1500000000);
  if (!profile) {
    std::cerr << profile.error() << '\n';
    std::exit(1);
  }
  return *profile;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: qel_package_seed_corpus DIRECTORY\n";
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory / "package");
  std::filesystem::create_directories(directory / "report");
  save(directory / "package" / "sample", written(qel_package::tests::sample()));
  save(directory / "package" / "full", written(qel_package::tests::full_package()));
  save(directory / "package" / "legacy", qel_package::tests::legacy_package());
  save(directory / "report" / "full", written(full_package_report()));
  save(directory / "report" / "empty", written(ProfileReport{}));
  return 0;
}
