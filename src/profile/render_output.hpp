#pragma once

#include <cstdint>
#include <ostream>
#include <system_error>

#include <fmt/format.h>

#include <qel_package/error.hpp>

#include "lib/fail.hpp"

// What the timeline renderings share: the clock they need, and text written to a stream in
// bounded pieces.
namespace qel_package::profile::detail {

// A report's cycles have no place in time without a clock.
[[nodiscard]] inline Result<void> require_clock(std::uint64_t clock_hz) {
  if (clock_hz == 0) {
    return qel_package::detail::invalid(
        "report clock is 0 Hz, so its cycles have no duration in microseconds");
  }
  return {};
}

// Text built in memory and handed to the stream a piece at a time, so that a rendering of any
// size holds one piece, and a failed stream ends it early.
class RenderOutput {
 public:
  explicit RenderOutput(std::ostream& stream) : stream_(stream) {}

  fmt::memory_buffer& buffer() { return buffer_; }
  auto out() { return std::back_inserter(buffer_); }

  // Hands a full piece to the stream; fails once the stream has failed.
  [[nodiscard]] Result<void> flush_if_full() {
    return buffer_.size() < PIECE_BYTES ? Result<void>{} : flush();
  }

  [[nodiscard]] Result<void> flush() {
    stream_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    stream_.flush();
    if (!stream_) {
      return tl::unexpected<PackageError>(
          PackageError::Io{std::make_error_code(std::errc::io_error)});
    }
    return {};
  }

 private:
  static constexpr std::size_t PIECE_BYTES = 1 << 16;

  std::ostream& stream_;
  fmt::memory_buffer buffer_;
};

}  // namespace qel_package::profile::detail
