// Writes the framed package of one benchmark workload to a file, so that other programs (the
// Python benchmark) measure the same bytes as the benchmark program.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "workload.hpp"

int main(int argc, char** argv) {
  using namespace qel_package::bench;
  if (argc != 3 || std::strcmp(argv[1], "data_heavy") != 0) {
    std::cerr << "usage: qel_package_bench_workload data_heavy FILE\n";
    return 2;
  }
  const Workload workload = prepare("data_heavy", data_heavy());
  std::ofstream file(argv[2], std::ios::binary);
  file.write(reinterpret_cast<const char*>(workload.package.data()),
             static_cast<std::streamsize>(workload.package.size()));
  file.close();
  if (!file) {
    std::cerr << "qel_package_bench_workload: " << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
