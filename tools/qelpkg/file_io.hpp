#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "failure.hpp"

// Every file the tool touches, standard input and output included, goes through these
// functions. The file name "-" stands for standard input where a file is read and for
// standard output where one is written.
namespace qelpkg {

inline constexpr std::string_view STANDARD_STREAM = "-";

// The bytes of an input: a regular file is mapped, any other input is read into memory.
class Input {
 public:
  static Input mapped(void* address, std::size_t size);
  static Input read(std::vector<std::uint8_t> bytes, bool whole);

  Input(Input&& other) noexcept;
  Input& operator=(Input&& other) = delete;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input();

  std::span<const std::uint8_t> bytes() const { return bytes_; }
  // Whether bytes() holds the whole file; a stream is read only as far as needed.
  bool whole() const { return whole_; }

 private:
  Input() = default;

  std::span<const std::uint8_t> bytes_;
  void* mapping_ = nullptr;
  std::vector<std::uint8_t> read_;
  bool whole_ = true;
};

// A package or a report. A regular file is mapped whole, and the readers touch only the
// message at its front; from any other input exactly the bytes that the framing of that
// message claims are read, so a stream is never read to its end.
Outcome<Input> read_message_input(const std::string& path);

// Every byte of a JSON text or of a run's output.
Outcome<Input> read_whole_input(const std::string& path);

// Writes bytes to path, or to standard output for "-". A regular file (or a new one) is
// replaced only once the bytes are complete: they go to a temporary file beside it, which is
// renamed into place, so the target is either as it was or complete, whatever signal arrives.
// The target keeps its mode; a symbolic link is written through. A device or FIFO is written
// in place.
Outcome<void> write_output(const std::string& path, std::span<const std::uint8_t> bytes);

// Text for standard output, gathered and written in large blocks. A full disk or a closed
// pipe is reported rather than lost.
class StdoutWriter {
 public:
  void append(std::string_view text);
  Outcome<void> finish();

 private:
  std::string buffer_;
  int error_ = 0;
};

// Writes text to standard output and flushes it.
Outcome<void> write_stdout(std::string_view text);

// Writes a message to standard error. It never fails: when standard error is closed or full
// there is no one left to tell.
void write_stderr(std::string_view text) noexcept;

// Removes the temporary file of an output that is being written when SIGINT, SIGTERM, SIGHUP
// or SIGXFSZ arrives, then lets the signal end the program. Called once at start.
void install_signal_cleanup();

}  // namespace qelpkg
