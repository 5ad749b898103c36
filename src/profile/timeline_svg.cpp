#include <qel_package/timeline_svg.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include <qel_package/profile_summary.hpp>

#include "profile/render_output.hpp"
#include "profile/report_access.hpp"

namespace qel_package::profile {
namespace {

using detail::RenderOutput;

// Geometry in pixels.
constexpr double PLOT_WIDTH = 1200;
constexpr double LABEL_WIDTH = 80;
constexpr double RIGHT_MARGIN = 40;
constexpr double LANES_TOP = 90;
constexpr double BOTTOM_MARGIN = 20;
// Lanes share about this height, each between the two bounds.
constexpr double LANES_HEIGHT = 2400;
constexpr int MIN_LANE = 3;
constexpr int MAX_LANE = 18;
constexpr double LABEL_SPACING = 12;

struct KindStyle {
  StepKind kind;
  const char* name;
  const char* colour;
};
constexpr std::array<KindStyle, 4> KIND_STYLES{
    {{StepKind::Exchange, "Exchange", "#4e79a7"},
     {StepKind::Compute, "Compute", "#59a14f"},
     {StepKind::Synchronization, "Synchronization", "#f28e2b"},
     {StepKind::Idle, "Idle", "#bab0ac"}}};
constexpr const char* OTHER_KIND = "other";

// The CSS class of a kind; a number outside the enumeration has one of its own.
std::string_view kind_class(StepKind kind) {
  for (const KindStyle& style : KIND_STYLES) {
    if (style.kind == kind) {
      return style.name;
    }
  }
  return OTHER_KIND;
}

// Text as XML character data. XML 1.0 cannot hold most control characters even escaped, so
// they become U+FFFD.
void xml_text(fmt::memory_buffer& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out.append(std::string_view("&amp;"));
        break;
      case '<':
        out.append(std::string_view("&lt;"));
        break;
      case '>':
        out.append(std::string_view("&gt;"));
        break;
      case '"':
        out.append(std::string_view("&quot;"));
        break;
      default:
        if (const auto byte = static_cast<unsigned char>(c);
            byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          out.append(std::string_view("\xEF\xBF\xBD"));
        } else {
          out.push_back(c);
        }
    }
  }
}

// A tick interval of 1, 2 or 5 times a power of ten giving about eight ticks over span.
double tick_interval(double span) {
  const double rough = span / 8;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double step : {1.0, 2.0, 5.0}) {
    if (step * power >= rough) {
      return step * power;
    }
  }
  return 10 * power;
}

class SvgWriter {
 public:
  SvgWriter(RenderOutput& output, const ProfileSummary& summary, const TimelineOptions& options)
      : output_(output), buffer_(output.buffer()), summary_(summary), options_(options) {
    std::uint64_t origin = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t end = 0;
    for (const TileSummary& tile : summary.tiles) {
      if (tile.busy.samples == 0) {
        continue;
      }
      origin = std::min(origin, tile.first_start);
      end = std::max(end, options.align ? tile.last_end - tile.first_start : tile.last_end);
    }
    origin_ = options.align || end == 0 ? 0 : origin;
    span_cycles_ = std::max<std::uint64_t>(end - std::min(end, origin_), 1);
    const auto tiles = static_cast<double>(std::max<std::size_t>(summary.tiles.size(), 1));
    lane_height_ = std::clamp(static_cast<int>(LANES_HEIGHT / tiles), MIN_LANE, MAX_LANE);
    label_every_ = static_cast<std::size_t>(std::ceil(LABEL_SPACING / lane_height_));
  }

  void header() {
    const double width = LABEL_WIDTH + PLOT_WIDTH + RIGHT_MARGIN;
    const double height =
        LANES_TOP + lane_height_ * static_cast<double>(summary_.tiles.size()) + BOTTOM_MARGIN;
    fmt::format_to(output_.out(),
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{}\" height=\"{}\" "
                   "viewBox=\"0 0 {} {}\" font-family=\"sans-serif\" font-size=\"11\">\n"
                   "<style>",
                   width, height, width, height);
    for (const KindStyle& style : KIND_STYLES) {
      fmt::format_to(output_.out(), ".{}{{fill:{}}}", style.name, style.colour);
    }
    fmt::format_to(output_.out(),
                   ".{}{{fill:#76b7b2}}.merged{{stroke:#333;stroke-width:0.3}}"
                   ".grid{{stroke:#ddd}}.label{{fill:#333}}</style>\n"
                   "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n",
                   OTHER_KIND);
    fmt::format_to(output_.out(),
                   "<text x=\"{}\" y=\"18\" font-size=\"13\">cycle profile: {} tiles, {} samples, "
                   "clock {} Hz{}</text>\n",
                   LABEL_WIDTH, summary_.tiles.size(), summary_.total.samples, summary_.clock_hz,
                   options_.align ? ", tiles aligned to a common start" : "");
    legend();
    axis();
  }

  void tile(std::uint32_t physical_tile) {
    flush_group();
    if (lane_ != 0) {
      buffer_.append(std::string_view("</g>\n"));
    }
    lane_top_ = LANES_TOP + lane_height_ * static_cast<double>(lane_);
    fmt::format_to(output_.out(),
                   "<g class=\"lane\" data-tile=\"{}\" transform=\"translate({},{})\">\n",
                   physical_tile, LABEL_WIDTH, lane_top_);
    if (lane_ % label_every_ == 0) {
      fmt::format_to(output_.out(),
                     "<text class=\"label\" x=\"-6\" y=\"{}\" text-anchor=\"end\" "
                     "font-size=\"{}\">tile {}</text>\n",
                     lane_height_ - 1, std::min(lane_height_ + 1, 11), physical_tile);
    }
    physical_tile_ = physical_tile;
    timeline_ = TileTimeline{};
    first_start_.reset();
    ++lane_;
  }

  void sample(const CycleSample& sample) {
    std::uint64_t start = timeline_.start_of(sample.start_cycle);
    if (!first_start_) {
      first_start_ = start;
    }
    start = options_.align ? start - *first_start_ : start - std::min(start, origin_);
    const double x0 = x_of(start);
    const double x1 = x_of(start + sample.cycles());
    if (x1 - x0 >= 1) {
      flush_group();
      step(sample, x0, x1);
      return;
    }
    if (group_.steps == 0) {
      group_ = Group{.x0 = x0, .first = sample};
    }
    ++group_.steps;
    group_.x1 = std::max(group_.x1, x1);
    group_.cycles += sample.cycles();
    group_.kinds[sample.step.kind] += sample.cycles();
    if (group_.x1 - group_.x0 >= 1) {
      flush_group();
    }
  }

  void finish() {
    flush_group();
    if (lane_ != 0) {
      buffer_.append(std::string_view("</g>\n"));
    }
    buffer_.append(std::string_view("</svg>\n"));
  }

 private:
  // Consecutive samples narrower than a pixel, gathered until they span one.
  struct Group {
    double x0{};
    double x1{};
    std::uint64_t steps{};
    std::uint64_t cycles{};
    std::map<StepKind, std::uint64_t> kinds{};
    CycleSample first{};
  };

  double x_of(std::uint64_t cycles) const {
    return static_cast<double>(cycles) * PLOT_WIDTH / static_cast<double>(span_cycles_);
  }

  void legend() {
    double x = LABEL_WIDTH;
    buffer_.append(std::string_view("<g class=\"legend\">\n"));
    for (const KindStyle& style : KIND_STYLES) {
      fmt::format_to(output_.out(),
                     "<rect class=\"{}\" x=\"{}\" y=\"30\" width=\"12\" height=\"12\"/>"
                     "<text x=\"{}\" y=\"40\">{}</text>\n",
                     style.name, x, x + 16, style.name);
      x += 130;
    }
    fmt::format_to(output_.out(),
                   "<text x=\"{}\" y=\"40\">outlined: steps narrower than a pixel, merged</text>\n"
                   "</g>\n",
                   x);
  }

  void axis() {
    const double span_us = *microseconds(span_cycles_, summary_.clock_hz);
    const double interval = tick_interval(span_us);
    const double bottom = LANES_TOP + lane_height_ * static_cast<double>(summary_.tiles.size());
    fmt::format_to(output_.out(), "<g class=\"axis\">\n<text x=\"{}\" y=\"62\">time (us)</text>\n",
                   LABEL_WIDTH);
    // Enough decimals to tell the ticks apart, and no more.
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(interval))));
    for (int i = 0; i * interval <= span_us * (1 + 1e-9); ++i) {
      const double tick = i * interval;
      const double x = LABEL_WIDTH + tick / span_us * PLOT_WIDTH;
      fmt::format_to(output_.out(),
                     "<line class=\"grid\" x1=\"{:.1f}\" y1=\"{}\" x2=\"{:.1f}\" y2=\"{}\"/>"
                     "<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">{:.{}f}</text>\n",
                     x, LANES_TOP - 6, x, bottom, x, LANES_TOP - 10, tick, decimals);
    }
    buffer_.append(std::string_view("</g>\n"));
  }

  void rect(std::string_view css_class, double x0, double x1) {
    fmt::format_to(output_.out(), "<rect class=\"{}\" x=\"{:.1f}\" width=\"{:.1f}\" height=\"{}\">",
                   css_class, x0, std::max(x1 - x0, 0.5), std::max(lane_height_ - 1, 2));
  }

  void cycles_text(std::uint64_t cycles) {
    fmt::format_to(output_.out(), "{} cycles \xC2\xB7 {:.3f} us", cycles,
                   *microseconds(cycles, summary_.clock_hz));
  }

  void step(const CycleSample& sample, double x0, double x1) {
    rect(kind_class(sample.step.kind), x0, x1);
    buffer_.append(std::string_view("<title>"));
    xml_text(buffer_, sample.step.operation);
    buffer_.append(std::string_view(" \xC2\xB7 "));
    xml_text(buffer_, sample.step.kernel);
    buffer_.append(std::string_view(" \xC2\xB7 "));
    cycles_text(sample.cycles());
    fmt::format_to(output_.out(), " \xC2\xB7 tile {}</title></rect>\n", physical_tile_);
  }

  void flush_group() {
    if (group_.steps == 1) {
      step(group_.first, group_.x0, group_.x1);
    } else if (group_.steps > 1) {
      const auto widest =
          std::max_element(group_.kinds.begin(), group_.kinds.end(),
                           [](const auto& a, const auto& b) { return a.second < b.second; });
      rect(fmt::format("{} merged", kind_class(widest->first)), group_.x0, group_.x1);
      fmt::format_to(output_.out(), "<title>{} steps merged, each narrower than a pixel \xC2\xB7 ",
                     group_.steps);
      cycles_text(group_.cycles);
      for (const auto& [kind, cycles] : group_.kinds) {
        fmt::format_to(output_.out(), " \xC2\xB7 {} {}", kind_class(kind), cycles);
      }
      fmt::format_to(output_.out(), " \xC2\xB7 tile {} steps {} to {}</title></rect>\n",
                     physical_tile_, group_.first.step.local_index,
                     group_.first.step.local_index + group_.steps - 1);
    }
    group_ = Group{};
  }

  RenderOutput& output_;
  fmt::memory_buffer& buffer_;
  const ProfileSummary& summary_;
  TimelineOptions options_;
  std::uint64_t origin_{};
  std::uint64_t span_cycles_{};
  int lane_height_{};
  std::size_t label_every_{};
  std::size_t lane_{};
  double lane_top_{};
  std::uint32_t physical_tile_{};
  TileTimeline timeline_;
  std::optional<std::uint64_t> first_start_;
  Group group_;
};

template <class Report>
[[nodiscard]] Result<void> write_svg(const Report& report, std::ostream& output,
                                     const TimelineOptions& options) {
  QEL_TRY(detail::require_clock(detail::clock_of(report)));
  const ProfileSummary summary = summarize(report);
  RenderOutput out(output);
  SvgWriter svg(out, summary, options);
  svg.header();
  return detail::render_samples(report, out, svg);
}

}  // namespace

Result<void> write_timeline_svg(const ProfileReport& report, std::ostream& output,
                                const TimelineOptions& options) {
  return write_svg(report, output, options);
}

Result<void> write_timeline_svg(const ProfileReportView& report, std::ostream& output,
                                const TimelineOptions& options) {
  return write_svg(report, output, options);
}

}  // namespace qel_package::profile
