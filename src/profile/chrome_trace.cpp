#include <qel_package/chrome_trace.hpp>

#include <sstream>
#include <string>
#include <string_view>

#include "profile/render_output.hpp"
#include "profile/report_access.hpp"

namespace qel_package::profile {
namespace {

using detail::RenderOutput;

std::string name_of(auto value) {
  std::ostringstream name;
  name << value;
  return name.str();
}

// Events are written as text as they come, one per line, rather than built as a document:
// a trace holds hundreds of thousands of them.
class TraceWriter {
 public:
  TraceWriter(RenderOutput& output, std::uint64_t clock_hz, const TimelineOptions& options)
      : output_(output), buffer_(output.buffer()), clock_hz_(clock_hz), options_(options) {
    append("{\"traceEvents\":[");
    event();
    fmt::format_to(
        output_.out(),
        R"({{"name":"process_name","ph":"M","pid":0,"args":{{"name":"device, clock {} Hz"}}}})",
        clock_hz_);
  }

  void tile(std::uint32_t physical_tile) {
    tile_ = physical_tile;
    timeline_ = TileTimeline{};
    first_start_.reset();
    event();
    fmt::format_to(
        output_.out(),
        R"({{"name":"thread_name","ph":"M","pid":0,"tid":{},"args":{{"name":"tile {}"}}}})", tile_,
        tile_);
    event();
    fmt::format_to(
        output_.out(),
        R"({{"name":"thread_sort_index","ph":"M","pid":0,"tid":{},"args":{{"sort_index":{}}}}})",
        tile_, tile_);
  }

  void sample(const CycleSample& sample) {
    const ProfileStep& step = sample.step;
    std::uint64_t position = timeline_.start_of(sample.start_cycle);
    if (!first_start_) {
      first_start_ = position;
    }
    if (options_.align) {
      position -= *first_start_;
    }
    event();
    append(R"({"name":)");
    string(step.operation.empty() ? name_of(step.kind) : step.operation);
    append(R"(,"cat":)");
    string(name_of(step.kind));
    fmt::format_to(output_.out(), R"(,"ph":"X","pid":0,"tid":{},"ts":{},"dur":{},"args":{{)", tile_,
                   us(position), us(sample.cycles()));
    fmt::format_to(output_.out(), R"("local_index":{},"kernel":)", step.local_index);
    string(step.kernel);
    fmt::format_to(output_.out(),
                   R"(,"phase":{},"epoch":{},"start_cycle":{},"end_cycle":{},"cycles":{},)"
                   R"("exchange_event_cycles":{},"metadata":[)",
                   step.phase, step.epoch, sample.start_cycle, sample.end_cycle, sample.cycles(),
                   step.exchange_event_cycles);
    for (std::size_t i = 0; i < step.metadata.size(); ++i) {
      append(i == 0 ? R"({"name":)" : R"(,{"name":)");
      string(step.metadata[i].name);
      append(R"(,"value":)");
      string(step.metadata[i].value);
      buffer_.push_back('}');
    }
    append(R"(],"exchange_activities":[)");
    for (std::size_t i = 0; i < step.exchange_activities.size(); ++i) {
      append(i == 0 ? "" : ",");
      activity_fields(step.exchange_activities[i]);
    }
    append("]}}");
    for (const ProfileExchangeActivity& activity : step.exchange_activities) {
      exchange_activity(sample, position, activity);
    }
  }

  void finish() { append("\n],\"displayTimeUnit\":\"ns\"}\n"); }

 private:
  // Nested in the step when it lies inside the step's cycles; otherwise an instant event, so
  // that it is still seen on the timeline.
  void exchange_activity(const CycleSample& sample, std::uint64_t position,
                         const ProfileExchangeActivity& activity) {
    const std::uint64_t offset = cycles_between(sample.start_cycle, activity.start_cycle);
    const std::uint64_t length = cycles_between(activity.start_cycle, activity.end_cycle);
    const std::uint64_t step_cycles = sample.cycles();
    event();
    append(R"({"name":)");
    string(name_of(activity.kind));
    if (offset + length <= step_cycles) {
      fmt::format_to(output_.out(),
                     R"(,"cat":"exchange","ph":"X","pid":0,"tid":{},"ts":{},"dur":{})", tile_,
                     us(position + offset), us(length));
    } else {
      fmt::format_to(output_.out(),
                     R"(,"cat":"exchange","ph":"i","s":"t","pid":0,"tid":{},"ts":{})", tile_,
                     us(offset <= step_cycles ? position + offset : position));
    }
    append(R"(,"args":)");
    activity_fields(activity);
    buffer_.push_back('}');
  }

  void activity_fields(const ProfileExchangeActivity& activity) {
    fmt::format_to(output_.out(),
                   R"({{"fanout":{},"paired":{},"kind":"{}","start_cycle":{},"end_cycle":{}}})",
                   activity.fanout, activity.paired, name_of(activity.kind), activity.start_cycle,
                   activity.end_cycle);
  }

  double us(std::uint64_t cycles) const { return *microseconds(cycles, clock_hz_); }

  void append(std::string_view text) { buffer_.append(text); }

  void event() {
    append(first_ ? "\n" : ",\n");
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
        fmt::format_to(output_.out(), "\\u{:04x}", byte);
      } else {
        buffer_.push_back(c);
      }
    }
    buffer_.push_back('"');
  }

  RenderOutput& output_;
  fmt::memory_buffer& buffer_;
  std::uint64_t clock_hz_;
  TimelineOptions options_;
  std::uint32_t tile_{};
  TileTimeline timeline_;
  std::optional<std::uint64_t> first_start_;
  bool first_ = true;
};

template <class Report>
[[nodiscard]] Result<void> write_trace(const Report& report, std::ostream& output,
                                       const TimelineOptions& options) {
  QEL_TRY(detail::require_clock(detail::clock_of(report)));
  RenderOutput out(output);
  TraceWriter trace(out, detail::clock_of(report), options);
  return detail::render_samples(report, out, trace);
}

}  // namespace

Result<void> write_chrome_trace(const ProfileReport& report, std::ostream& output,
                                const TimelineOptions& options) {
  return write_trace(report, output, options);
}

Result<void> write_chrome_trace(const ProfileReportView& report, std::ostream& output,
                                const TimelineOptions& options) {
  return write_trace(report, output, options);
}

}  // namespace qel_package::profile
