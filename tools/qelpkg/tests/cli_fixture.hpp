#pragma once

// Runs the qelpkg program itself on files in a temporary directory.
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qelpkg_cli {

namespace fs = std::filesystem;

inline std::string read_text(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> read_bytes(const fs::path& path) {
  const std::string text = read_text(path);
  return {text.begin(), text.end()};
}

inline void write_bytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline void write_text(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline const fs::path FIXTURES = QELPKG_FIXTURE_DIR;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class Cli : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qelpkg-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path path(const std::string& name) const { return dir_ / name; }

  // Runs qelpkg with the arguments, each quoted for the shell, in the temporary directory.
  Outcome qelpkg(const std::vector<std::string>& arguments, const std::string& redirect_out = "") {
    std::string line = "{qelpkg}";
    for (const std::string& argument : arguments) {
      line += " '" + argument + "'";
    }
    if (!redirect_out.empty()) {
      line += " >" + redirect_out;
    }
    return shell(line);
  }

  // Runs a shell command line in the temporary directory, {qelpkg} standing for the program;
  // what it writes to standard output and error is captured unless the line redirects it.
  Outcome shell(std::string line) {
    const std::string placeholder = "{qelpkg}";
    for (std::size_t at; (at = line.find(placeholder)) != std::string::npos;) {
      line.replace(at, placeholder.size(), "'" QELPKG_BINARY "'");
    }
    const std::string command =
        "cd '" + dir_.string() + "' && ( " + line + " ) >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(path("stdout.txt")),
                read_text(path("stderr.txt"))};
    fs::remove(path("stdout.txt"));
    fs::remove(path("stderr.txt"));
    return run;
  }

  // Packs the fixture that fills every field of a package into app.qel.
  void pack_fixture() {
    const Outcome pack =
        qelpkg({"pack", (FIXTURES / "full_package.json").string(), "-o", "app.qel"});
    ASSERT_EQ(pack.status, 0) << pack.err;
  }

  // The names in the temporary directory, to see that nothing is left behind.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path dir_;
};

}  // namespace qelpkg_cli
