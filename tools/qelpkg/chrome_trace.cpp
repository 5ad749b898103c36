#include "chrome_trace.hpp"

#include <iterator>
#include <string_view>

#include <fmt/format.h>

#include "cycle_time.hpp"
#include "enum_names.hpp"

namespace qelpkg {
namespace {

using qel_package::profile::CycleSample;

// Traces hold hundreds of thousands of events, so they are written as text directly rather
// than built as a document first.
class TraceWriter {
 public:
  explicit TraceWriter(std::uint64_t clock_hz) : clock_hz_(clock_hz) {
    buffer_.append(std::string_view("{\"traceEvents\":["));
  }

  void track(std::uint32_t tile) {
    separate();
    fmt::format_to(
        out(), R"({{"name":"thread_name","ph":"M","pid":0,"tid":{},"args":{{"name":"tile {}"}}}})",
        tile, tile);
  }

  // position: the unwrapped counter at the sample's start.
  void sample(std::uint32_t tile, const CycleSample& sample, std::uint64_t position) {
    const auto& step = sample.step;
    separate();
    buffer_.append(std::string_view(R"({"name":)"));
    string(step.operation);
    buffer_.append(std::string_view(R"(,"cat":)"));
    string(enum_name(step.kind));
    fmt::format_to(out(), R"(,"ph":"X","pid":0,"tid":{},"ts":{},"dur":{},"args":{{"kernel":)", tile,
                   microseconds(position, clock_hz_),
                   microseconds(duration_cycles(sample), clock_hz_));
    string(step.kernel);
    fmt::format_to(out(), R"(,"phase":{},"epoch":{},"metadata":[)", step.phase, step.epoch);
    for (std::size_t i = 0; i < step.metadata.size(); ++i) {
      buffer_.append(std::string_view(i == 0 ? R"({"name":)" : R"(,{"name":)"));
      string(step.metadata[i].name);
      buffer_.append(std::string_view(R"(,"value":)"));
      string(step.metadata[i].value);
      buffer_.push_back('}');
    }
    buffer_.append(std::string_view(R"(],"exchange_activities":[)"));
    for (std::size_t i = 0; i < step.exchange_activities.size(); ++i) {
      const auto& activity = step.exchange_activities[i];
      fmt::format_to(out(),
                     R"({}{{"fanout":{},"paired":{},"kind":"{}","start_cycle":{},"end_cycle":{}}})",
                     i == 0 ? "" : ",", activity.fanout, activity.paired, enum_name(activity.kind),
                     activity.start_cycle, activity.end_cycle);
    }
    buffer_.append(std::string_view("]}}"));
  }

  std::string finish() {
    buffer_.append(std::string_view("\n],\"displayTimeUnit\":\"ns\"}\n"));
    return fmt::to_string(buffer_);
  }

 private:
  std::back_insert_iterator<fmt::memory_buffer> out() { return std::back_inserter(buffer_); }

  // One event per line.
  void separate() {
    buffer_.append(std::string_view(first_ ? "\n" : ",\n"));
    first_ = false;
  }

  // A JSON string. Texts are valid UTF-8, so only quotes, backslashes and control characters
  // need escapes.
  void string(std::string_view text) {
    buffer_.push_back('"');
    for (const char c : text) {
      if (c == '"' || c == '\\') {
        buffer_.push_back('\\');
        buffer_.push_back(c);
      } else if (const auto byte = static_cast<unsigned char>(c); byte < 0x20) {
        fmt::format_to(out(), "\\u{:04x}", byte);
      } else {
        buffer_.push_back(c);
      }
    }
    buffer_.push_back('"');
  }

  std::uint64_t clock_hz_;
  fmt::memory_buffer buffer_;
  bool first_ = true;
};

}  // namespace

tl::expected<std::string, std::string> chrome_trace(
    const qel_package::profile::ProfileReport& report) {
  if (report.clock_hz == 0) {
    return tl::unexpected(
        std::string("report clock is 0 Hz, so its cycles have no duration in microseconds"));
  }
  TraceWriter trace(report.clock_hz);
  for (const auto& tile : report.tiles) {
    trace.track(tile.physical_tile);
    std::uint64_t position = 0;
    for (std::size_t i = 0; i < tile.samples.size(); ++i) {
      const auto& sample = tile.samples[i];
      position = i == 0 ? sample.start_cycle
                        : position + static_cast<std::uint32_t>(sample.start_cycle -
                                                                tile.samples[i - 1].start_cycle);
      trace.sample(tile.physical_tile, sample, position);
    }
  }
  return trace.finish();
}

}  // namespace qelpkg
