#include "package_info.hpp"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "count_of.hpp"
#include "enum_names.hpp"
#include "terminal_text.hpp"
#include "text_table.hpp"
#include "tile_extent.hpp"

namespace qelpkg {
namespace {

using qel_package::Application;
using qel_package::Binding;
using qel_package::HostCall;
using qel_package::HostSlice;
using qel_package::Result;
using qel_package::profile::StepKind;
using Align = TextTable::Align;

std::string hex(std::uint64_t value) { return fmt::format("0x{:x}", value); }
std::string dec(std::uint64_t value) { return fmt::format("{}", value); }

// The number of steps of each kind that occurs in the plan, in the order of the kinds.
std::vector<std::pair<std::string, std::size_t>> kind_counts(
    const qel_package::TileProfilePlan& plan) {
  std::vector<std::pair<std::string, std::size_t>> counts;
  for (const auto& [kind, name] : enum_names<StepKind>()) {
    const auto count = std::count_if(plan.steps.begin(), plan.steps.end(),
                                     [kind = kind](const auto& step) { return step.kind == kind; });
    if (count != 0) {
      counts.emplace_back(name, static_cast<std::size_t>(count));
    }
  }
  return counts;
}

// "Exchange 1, Compute 2".
std::string kind_counts_text(const qel_package::TileProfilePlan& plan) {
  std::string text;
  for (const auto& [name, count] : kind_counts(plan)) {
    text += fmt::format("{}{} {}", text.empty() ? "" : ", ", name, count);
  }
  return text;
}

class InfoText {
 public:
  [[nodiscard]] Result<std::string> render(const Application& application,
                                           const MessageSize& size) {
    if (size.file) {
      line(0, "message: {} bytes, followed by {} other bytes", size.message,
           *size.file - size.message);
    } else {
      line(0, "message: {} bytes", size.message);
    }
    line(0, "compiler version: {}", printable(application.compiler_version));
    tiles(application);
    for (const auto& [title, list] :
         {std::pair{"inputs", &application.inputs}, std::pair{"outputs", &application.outputs},
          std::pair{"weights", &application.weights}}) {
      if (auto rendered = bindings(title, *list); !rendered) {
        return tl::unexpected(std::move(rendered).error());
      }
    }
    host_exchange(application.host_exchange);
    entry_points(application);
    device_config_writes(application);
    profile_plans(application);
    debug_map(application);
    return fmt::to_string(out_);
  }

 private:
  template <class... Args>
  void line(std::size_t indent, fmt::format_string<Args...> format, Args&&... args) {
    fmt::format_to(std::back_inserter(out_), "{:{}}", "", indent);
    fmt::format_to(std::back_inserter(out_), format, std::forward<Args>(args)...);
    out_.push_back('\n');
  }

  // "title (n):" before a list, "title: none" for an empty one; false when empty.
  bool heading(std::size_t indent, std::string_view title, std::size_t count) {
    if (count == 0) {
      line(indent, "{}: none", title);
      return false;
    }
    line(indent, "{} ({}):", title, count);
    return true;
  }

  void tiles(const Application& application) {
    out_.push_back('\n');
    if (!heading(0, "tiles", application.tiles.size())) {
      return;
    }
    for (const auto& tile : application.tiles) {
      line(2, "tile {}: entry point {}, command address {}, diagnostic address {}",
           tile.physical_tile, hex(tile.entry_point), hex(tile.command_address),
           hex(tile.diagnostic_address));
      const auto extent = tile_extent(tile);
      if (!extent) {
        line(4, "image: no loadable segments");
        continue;
      }
      line(4, "image: load base {}, {} bytes", hex(extent->load_base), extent->image_size);
      TextTable table({{"address", Align::Left},
                       {"memory size", Align::Right},
                       {"data size", Align::Right},
                       {"flags", Align::Left}});
      for (const auto& segment : tile.segments) {
        table.add_row({hex(segment.address), dec(segment.memory_size), dec(segment.data.size()),
                       hex(segment.flags)});
      }
      table.render(out_, 4);
    }
  }

  [[nodiscard]] Result<void> bindings(std::string_view title, const std::vector<Binding>& list) {
    out_.push_back('\n');
    if (!heading(0, title, list.size())) {
      return {};
    }
    for (const Binding& binding : list) {
      auto byte_len = binding.byte_len();
      if (!byte_len) {
        return tl::unexpected(std::move(byte_len).error());
      }
      line(2, "{}: dtype {}, shape [{}], {} bytes", printable(binding.name),
           printable(binding.dtype), fmt::join(binding.shape, ", "), *byte_len);
      if (binding.slices.empty()) {
        line(4, "slices: none");
        continue;
      }
      TextTable table({{"tile", Align::Right},
                       {"tile address", Align::Left},
                       {"file offset", Align::Right},
                       {"size", Align::Right}});
      for (const auto& slice : binding.slices) {
        table.add_row(
            {dec(slice.tile), hex(slice.tile_address), dec(slice.file_offset), dec(slice.size)});
      }
      table.render(out_, 4);
    }
    return {};
  }

  void host_exchange(const qel_package::HostExchange& exchange) {
    out_.push_back('\n');
    line(0, "host exchange: startup mark {}, command word at page {} offset {}",
         exchange.startup_mark, exchange.command_page, exchange.command_offset);
    if (heading(2, "pages", exchange.pages.size())) {
      TextTable table({{"index", Align::Right}, {"size", Align::Right}});
      for (const auto& page : exchange.pages) {
        table.add_row({dec(page.index), dec(page.size)});
      }
      table.render(out_, 4);
    }
    if (exchange.attach_order.empty()) {
      line(2, "attach order: none");
    } else {
      line(2, "attach order: {}", fmt::join(exchange.attach_order, ", "));
    }
    if (!heading(2, "calls", exchange.calls.size())) {
      return;
    }
    for (const HostCall& call : exchange.calls) {
      line(4, "{}: command {}, phases {}, invocations {}", printable(call.name), call.command,
           call.phases, call.invocations);
      host_slices("inputs", call.inputs, call.input_batch_ends);
      host_slices("outputs", call.outputs, call.output_batch_ends);
    }
  }

  // The slices of one direction of a call, each with the batch that holds it.
  void host_slices(std::string_view title, const std::vector<HostSlice>& slices,
                   const std::vector<std::uint32_t>& batch_ends) {
    if (slices.empty()) {
      line(6, "{}: none", title);
      return;
    }
    line(6, "{} ({} in {}):", title, count_of(slices.size(), "slice", "slices"),
         count_of(batch_ends.size(), "batch", "batches"));
    TextTable table({{"batch", Align::Right},
                     {"page", Align::Right},
                     {"page offset", Align::Right},
                     {"file offset", Align::Right},
                     {"size", Align::Right}});
    std::size_t batch = 0;
    for (std::size_t i = 0; i < slices.size(); ++i) {
      while (batch < batch_ends.size() && batch_ends[batch] <= i) {
        ++batch;
      }
      const HostSlice& slice = slices[i];
      table.add_row({batch < batch_ends.size() ? dec(batch) : "-", dec(slice.page),
                     dec(slice.page_offset), dec(slice.file_offset), dec(slice.size)});
    }
    table.render(out_, 8);
  }

  void entry_points(const Application& application) {
    out_.push_back('\n');
    if (!heading(0, "entry points", application.entry_points.size())) {
      return;
    }
    TextTable table(
        {{"name", Align::Left}, {"command", Align::Right}, {"external syncs", Align::Right}});
    for (const auto& entry : application.entry_points) {
      table.add_row({printable(entry.name), dec(entry.command), dec(entry.external_syncs)});
    }
    table.render(out_, 2);
  }

  void device_config_writes(const Application& application) {
    out_.push_back('\n');
    if (!heading(0, "device configuration writes", application.device_config_writes.size())) {
      return;
    }
    TextTable table({{"offset", Align::Left}, {"value", Align::Left}});
    for (const auto& write : application.device_config_writes) {
      table.add_row({hex(write.offset), hex(write.value)});
    }
    table.render(out_, 2);
  }

  void profile_plans(const Application& application) {
    out_.push_back('\n');
    if (!heading(0, "profile plans", application.profile_tiles.size())) {
      return;
    }
    TextTable table({{"tile", Align::Right}, {"steps", Align::Right}, {"kinds", Align::Left}});
    for (const auto& plan : application.profile_tiles) {
      table.add_row({dec(plan.physical_tile), dec(plan.steps.size()), kind_counts_text(plan)});
    }
    table.render(out_, 2);
  }

  void debug_map(const Application& application) {
    out_.push_back('\n');
    if (heading(0, "debug symbols", application.debug_symbols.size())) {
      TextTable table({{"name", Align::Left}, {"address", Align::Left}});
      for (const auto& symbol : application.debug_symbols) {
        table.add_row({printable(symbol.name), hex(symbol.address)});
      }
      table.render(out_, 2);
    }
    out_.push_back('\n');
    if (heading(0, "debug regions", application.debug_regions.size())) {
      TextTable table({{"tile", Align::Right},
                       {"address", Align::Left},
                       {"size", Align::Right},
                       {"name", Align::Left}});
      for (const auto& region : application.debug_regions) {
        // 0xFFFFFFFF marks a region that belongs to no tile.
        table.add_row({region.physical_tile == 0xFFFFFFFF ? "none" : dec(region.physical_tile),
                       hex(region.address), dec(region.size), printable(region.name)});
      }
      table.render(out_, 2);
    }
  }

  fmt::memory_buffer out_;
};

}  // namespace

Result<std::string> package_info_text(const Application& application, const MessageSize& size) {
  return InfoText().render(application, size);
}

Result<Json> package_info_json(const Application& application, const MessageSize& size) {
  Json info = Json::object();
  info["compiler_version"] = application.compiler_version;
  Json& tiles = info["tiles"] = Json::array();
  for (const auto& tile : application.tiles) {
    Json& tile_json = tiles.emplace_back(Json::object());
    tile_json["physical_tile"] = tile.physical_tile;
    tile_json["entry_point"] = tile.entry_point;
    tile_json["command_address"] = tile.command_address;
    tile_json["diagnostic_address"] = tile.diagnostic_address;
    Json& segments = tile_json["segments"] = Json::array();
    for (const auto& segment : tile.segments) {
      segments.push_back({{"address", segment.address},
                          {"memory_size", segment.memory_size},
                          {"data_size", segment.data.size()},
                          {"flags", segment.flags}});
    }
    const auto extent = tile_extent(tile);
    tile_json["load_base"] = extent ? Json(extent->load_base) : Json();
    tile_json["image_size"] = extent ? extent->image_size : 0;
  }
  for (const auto& [title, list] :
       {std::pair{"inputs", &application.inputs}, std::pair{"outputs", &application.outputs},
        std::pair{"weights", &application.weights}}) {
    Json& bindings = info[title] = to_json(*list);
    for (std::size_t i = 0; i < list->size(); ++i) {
      auto byte_len = (*list)[i].byte_len();
      if (!byte_len) {
        return tl::unexpected(std::move(byte_len).error());
      }
      bindings[i]["byte_len"] = *byte_len;
    }
  }
  info["host_exchange"] = to_json(application.host_exchange);
  info["entry_points"] = to_json(application.entry_points);
  info["device_config_writes"] = to_json(application.device_config_writes);
  Json& plans = info["profile_tiles"] = Json::array();
  for (const auto& plan : application.profile_tiles) {
    Json kinds = Json::object();
    for (const auto& [name, count] : kind_counts(plan)) {
      kinds[name] = count;
    }
    plans.push_back(
        {{"physical_tile", plan.physical_tile}, {"steps", plan.steps.size()}, {"kinds", kinds}});
  }
  info["debug_symbols"] = to_json(application.debug_symbols);
  info["debug_regions"] = to_json(application.debug_regions);
  info["message_bytes"] = size.message;
  info["bytes_after_message"] = size.file ? Json(*size.file - size.message) : Json();
  return info;
}

}  // namespace qelpkg
