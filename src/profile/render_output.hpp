#pragma once

#include <cstdint>
#include <ostream>
#include <system_error>

#include <fmt/format.h>

#include <qel_package/error.hpp>
#include <qel_package/profile.hpp>

#include "lib/fail.hpp"
#include "lib/utf8.hpp"
#include "profile/report_access.hpp"

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

// A trace or an image with a text that is not UTF-8 would not open at all, so such a step is
// refused with the error its reader would give. Only records built in memory can hold one.
inline Result<void> require_utf8(const ProfileStep& step) {
  const auto check = [](std::string_view text) -> Result<void> {
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (auto error = qel_package::detail::find_utf8_error(bytes)) {
      return tl::unexpected<PackageError>(*error);
    }
    return {};
  };
  QEL_TRY(check(step.operation));
  QEL_TRY(check(step.kernel));
  for (const ProfileMetadata& entry : step.metadata) {
    QEL_TRY(check(entry.name));
    QEL_TRY(check(entry.value));
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

// Hands each tile and each of its samples, in report order, to a rendering that has
// tile(physical_tile), sample(const CycleSample&) and finish(), and writes its text a piece at
// a time.
template <class Report, class Writer>
[[nodiscard]] Result<void> render_samples(const Report& report, RenderOutput& out,
                                          Writer& writer) {
  for (const auto& tile : tiles_of(report)) {
    writer.tile(physical_tile_of(tile));
    for (const auto& sample : samples_of(tile)) {
      const auto& record = sample_record(sample);
      QEL_TRY(require_utf8(record.step));
      writer.sample(record);
      QEL_TRY(out.flush_if_full());
    }
  }
  writer.finish();
  return out.flush();
}

}  // namespace qel_package::profile::detail
