#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <qel_package/debug_format.hpp>
#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/profile.hpp>

namespace qel_package {

// One loadable piece of tile memory. Bytes from the end of data up to memory_size load as
// zero.
struct Segment {
  std::uint32_t address{};
  std::uint32_t memory_size{};
  std::vector<std::uint8_t> data{};
  std::uint32_t flags{};

  bool operator==(const Segment&) const = default;
};

// The memory image of one tile.
struct TileImage {
  std::uint32_t physical_tile{};
  std::uint32_t entry_point{};
  std::uint32_t command_address{};
  std::uint32_t diagnostic_address{};
  std::vector<Segment> segments{};

  bool operator==(const TileImage&) const = default;
};

// One contiguous piece of a binding: size bytes at file_offset of the binding's byte range,
// held at tile_address on tile.
struct RegionSlice {
  std::uint32_t tile{};
  std::uint32_t tile_address{};
  std::uint64_t file_offset{};
  std::uint64_t size{};

  bool operator==(const RegionSlice&) const = default;
};

// A named input, output or weight tensor.
struct QEL_PACKAGE_API Binding {
  std::string name{};
  std::string dtype{};
  std::vector<std::uint32_t> shape{};
  std::vector<RegionSlice> slices{};

  bool operator==(const Binding&) const = default;

  // The binding's extent: the furthest file_offset + size over its slices, 0 without slices.
  [[nodiscard]] Result<std::uint64_t> byte_len() const;
};

struct HostPage {
  std::uint32_t index{};
  std::uint64_t size{};

  bool operator==(const HostPage&) const = default;
};

// One piece of a host page.
struct HostSlice {
  std::uint32_t page{};
  std::uint64_t page_offset{};
  std::uint64_t file_offset{};
  std::uint64_t size{};

  bool operator==(const HostSlice&) const = default;
};

// One call that the device makes on the host. Each batch-ends list holds the exclusive end
// index of every batch of that direction's slices.
struct HostCall {
  std::string name{};
  std::uint32_t command{};
  std::uint32_t phases{};
  std::vector<HostSlice> inputs{};
  std::vector<HostSlice> outputs{};
  std::uint32_t invocations{};
  std::vector<std::uint32_t> input_batch_ends{};
  std::vector<std::uint32_t> output_batch_ends{};

  bool operator==(const HostCall&) const = default;
};

// The host transfer protocol. The 4-byte command word lies at command_offset of the page
// whose index is command_page.
struct HostExchange {
  std::uint32_t startup_mark{};
  std::uint32_t command_page{};
  std::uint64_t command_offset{};
  std::vector<HostPage> pages{};
  std::vector<std::uint32_t> attach_order{};
  std::vector<HostCall> calls{};

  bool operator==(const HostExchange&) const = default;
};

struct EntryPoint {
  std::string name{};
  std::uint32_t command{};
  std::uint32_t external_syncs{};

  bool operator==(const EntryPoint&) const = default;
};

struct DeviceConfigWrite {
  std::uint32_t offset{};
  std::uint32_t value{};

  bool operator==(const DeviceConfigWrite&) const = default;
};

struct DebugSymbol {
  std::string name{};
  std::uint32_t address{};

  bool operator==(const DebugSymbol&) const = default;
};

// A named memory range for debuggers. physical_tile 0xFFFFFFFF marks a range that belongs to
// no tile.
struct DebugRegion {
  std::uint32_t physical_tile{};
  std::uint32_t address{};
  std::uint32_t size{};
  std::string name{};

  bool operator==(const DebugRegion&) const = default;
};

// The profile plan of one tile: its steps in execution order.
struct TileProfilePlan {
  std::uint32_t physical_tile{};
  std::vector<profile::ProfileStep> steps{};

  bool operator==(const TileProfilePlan&) const = default;
};

// What Application::output_binding finds.
struct OutputBinding {
  // Never null. Borrows from the application's outputs: valid while the application is
  // neither modified nor destroyed.
  const Binding* binding;
  std::uint64_t base;  // offset of the binding in the runtime output
};

// Which list of an application a binding belongs to.
enum class BindingKind : std::uint8_t { Input, Output, Weight };

// What Application::binding finds.
struct NamedBinding {
  BindingKind kind{};
  // Never null. Borrows from the application's inputs, outputs or weights: valid while the
  // application is neither modified nor destroyed.
  const Binding* binding{};
};

// A tile's memory image and the tile address its first byte loads at.
struct TileLoadImage {
  std::uint32_t load_base{};
  std::vector<std::uint8_t> image{};

  bool operator==(const TileLoadImage&) const = default;
};

// One application package.
struct QEL_PACKAGE_API Application {
  std::string compiler_version = "0.1.0";
  std::vector<TileImage> tiles{};
  std::vector<Binding> inputs{};
  std::vector<Binding> outputs{};
  std::vector<Binding> weights{};
  HostExchange host_exchange{};
  std::vector<EntryPoint> entry_points{};
  std::vector<DeviceConfigWrite> device_config_writes{};
  std::vector<TileProfilePlan> profile_tiles{};
  std::vector<DebugSymbol> debug_symbols{};
  std::vector<DebugRegion> debug_regions{};

  bool operator==(const Application&) const = default;

  // Reads one framed package from the front of input and validates it. Later bytes are
  // ignored.
  [[nodiscard]] static Result<Application> read(std::span<const std::uint8_t> input);
  // Validates the package, then appends it to sink as one framed message.
  [[nodiscard]] Result<void> write(std::vector<std::uint8_t>& sink) const;
  // Checks every structural rule of a package; the error is always Invalid.
  [[nodiscard]] Result<void> validate() const;
  // The memory image of one tile, loaded at the tile's lowest segment address.
  [[nodiscard]] Result<std::vector<std::uint8_t>> tile_image(std::uint32_t physical_tile) const;
  // The memory image of one tile together with its load base, the lowest segment address.
  // Fails as tile_image does.
  [[nodiscard]] Result<TileLoadImage> tile_load_image(std::uint32_t physical_tile) const;
  // The output binding of that name and its offset in a run's output buffer. The result
  // borrows from this application, so a temporary application is refused.
  [[nodiscard]] Result<OutputBinding> output_binding(std::string_view name) const&;
  Result<OutputBinding> output_binding(std::string_view name) const&& = delete;
  // The input, output or weight binding of that name. The result borrows from this
  // application, so a temporary application is refused.
  [[nodiscard]] Result<NamedBinding> binding(std::string_view name) const&;
  Result<NamedBinding> binding(std::string_view name) const&& = delete;
  // Pairs every planned step with its start and end counters in the output buffer.
  [[nodiscard]] Result<profile::ProfileReport> profile_report(std::span<const std::uint8_t> output,
                                                              std::uint64_t clock_hz) const;
};

// Checks one direction of a host call's batch boundaries against its slice count.
[[nodiscard]] QEL_PACKAGE_API Result<void> validate_host_batch_ends(
    const HostCall& call, std::string_view direction, std::span<const std::uint32_t> ends,
    std::size_t slice_count);

QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const Segment& segment);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const TileImage& tile);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const RegionSlice& slice);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const Binding& binding);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const HostPage& page);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const HostSlice& slice);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const HostCall& call);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const HostExchange& exchange);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const EntryPoint& entry_point);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const DeviceConfigWrite& write);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const DebugSymbol& symbol);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const DebugRegion& region);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const TileProfilePlan& plan);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const OutputBinding& found);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, BindingKind kind);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const NamedBinding& found);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const TileLoadImage& loaded);
QEL_PACKAGE_API std::ostream& operator<<(std::ostream& os, const Application& application);

template <>
inline constexpr bool has_debug_rendering<Segment> = true;
template <>
inline constexpr bool has_debug_rendering<TileImage> = true;
template <>
inline constexpr bool has_debug_rendering<RegionSlice> = true;
template <>
inline constexpr bool has_debug_rendering<Binding> = true;
template <>
inline constexpr bool has_debug_rendering<HostPage> = true;
template <>
inline constexpr bool has_debug_rendering<HostSlice> = true;
template <>
inline constexpr bool has_debug_rendering<HostCall> = true;
template <>
inline constexpr bool has_debug_rendering<HostExchange> = true;
template <>
inline constexpr bool has_debug_rendering<EntryPoint> = true;
template <>
inline constexpr bool has_debug_rendering<DeviceConfigWrite> = true;
template <>
inline constexpr bool has_debug_rendering<DebugSymbol> = true;
template <>
inline constexpr bool has_debug_rendering<DebugRegion> = true;
template <>
inline constexpr bool has_debug_rendering<TileProfilePlan> = true;
template <>
inline constexpr bool has_debug_rendering<OutputBinding> = true;
template <>
inline constexpr bool has_debug_rendering<BindingKind> = true;
template <>
inline constexpr bool has_debug_rendering<NamedBinding> = true;
template <>
inline constexpr bool has_debug_rendering<TileLoadImage> = true;
template <>
inline constexpr bool has_debug_rendering<Application> = true;

}  // namespace qel_package
