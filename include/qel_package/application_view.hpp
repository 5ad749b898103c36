#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include <qel_package/application.capnp.h>
#include <qel_package/application.hpp>
#include <qel_package/error.hpp>
#include <qel_package/export.hpp>
#include <qel_package/list_view.hpp>
#include <qel_package/profile.hpp>
#include <qel_package/profile_view.hpp>

namespace qel_package {

// Element views over a checked package, named as the record fields. Every accessor returns
// a plain value: the package was checked when its view was opened.

class SegmentView {
 public:
  explicit SegmentView(application_capnp::Segment::Reader segment) : segment_(segment) {}
  std::uint32_t address() const { return segment_.getAddress(); }
  std::uint32_t memory_size() const { return segment_.getMemorySize(); }
  std::span<const std::uint8_t> data() const { return detail::bytes_view(segment_.getData()); }
  std::uint32_t flags() const { return segment_.getFlags(); }

 private:
  application_capnp::Segment::Reader segment_;
};

class TileView {
 public:
  explicit TileView(application_capnp::TileImage::Reader tile) : tile_(tile) {}
  std::uint32_t physical_tile() const { return tile_.getPhysicalTile(); }
  std::uint32_t entry_point() const { return tile_.getEntryPoint(); }
  std::uint32_t command_address() const { return tile_.getCommandAddress(); }
  std::uint32_t diagnostic_address() const { return tile_.getDiagnosticAddress(); }
  auto segments() const {
    return ListView<SegmentView, capnp::List<application_capnp::Segment>::Reader>(
        tile_.getSegments());
  }

 private:
  application_capnp::TileImage::Reader tile_;
};

class RegionSliceView {
 public:
  explicit RegionSliceView(application_capnp::RegionSlice::Reader slice) : slice_(slice) {}
  std::uint32_t tile() const { return slice_.getTile(); }
  std::uint32_t tile_address() const { return slice_.getTileAddress(); }
  std::uint64_t file_offset() const { return slice_.getFileOffset(); }
  std::uint64_t size() const { return slice_.getSize(); }

 private:
  application_capnp::RegionSlice::Reader slice_;
};

class QEL_PACKAGE_API BindingView {
 public:
  explicit BindingView(application_capnp::Binding::Reader binding) : binding_(binding) {}
  std::string_view name() const { return detail::text_view(binding_.getName()); }
  std::string_view dtype() const { return detail::text_view(binding_.getDtype()); }
  auto shape() const {
    return ListView<std::uint32_t, capnp::List<std::uint32_t>::Reader>(binding_.getShape());
  }
  auto slices() const {
    return ListView<RegionSliceView, capnp::List<application_capnp::RegionSlice>::Reader>(
        binding_.getSlices());
  }
  // The binding's extent, as Binding::byte_len; checked not to overflow when the view opened.
  std::uint64_t byte_len() const;

 private:
  application_capnp::Binding::Reader binding_;
};

class HostPageView {
 public:
  explicit HostPageView(application_capnp::HostPage::Reader page) : page_(page) {}
  std::uint32_t index() const { return page_.getIndex(); }
  std::uint64_t size() const { return page_.getSize(); }

 private:
  application_capnp::HostPage::Reader page_;
};

class HostSliceView {
 public:
  explicit HostSliceView(application_capnp::HostSlice::Reader slice) : slice_(slice) {}
  std::uint32_t page() const { return slice_.getPage(); }
  std::uint64_t page_offset() const { return slice_.getPageOffset(); }
  std::uint64_t file_offset() const { return slice_.getFileOffset(); }
  std::uint64_t size() const { return slice_.getSize(); }

 private:
  application_capnp::HostSlice::Reader slice_;
};

class HostCallView {
 public:
  explicit HostCallView(application_capnp::HostCall::Reader call) : call_(call) {}
  std::string_view name() const { return detail::text_view(call_.getName()); }
  std::uint32_t command() const { return call_.getCommand(); }
  std::uint32_t phases() const { return call_.getPhases(); }
  auto inputs() const {
    return ListView<HostSliceView, capnp::List<application_capnp::HostSlice>::Reader>(
        call_.getInputs());
  }
  auto outputs() const {
    return ListView<HostSliceView, capnp::List<application_capnp::HostSlice>::Reader>(
        call_.getOutputs());
  }
  std::uint32_t invocations() const { return call_.getInvocations(); }
  auto input_batch_ends() const {
    return ListView<std::uint32_t, capnp::List<std::uint32_t>::Reader>(call_.getInputBatchEnds());
  }
  auto output_batch_ends() const {
    return ListView<std::uint32_t, capnp::List<std::uint32_t>::Reader>(call_.getOutputBatchEnds());
  }

 private:
  application_capnp::HostCall::Reader call_;
};

class HostExchangeView {
 public:
  explicit HostExchangeView(application_capnp::HostExchange::Reader exchange)
      : exchange_(exchange) {}
  std::uint32_t startup_mark() const { return exchange_.getStartupMark(); }
  std::uint32_t command_page() const { return exchange_.getCommandPage(); }
  std::uint64_t command_offset() const { return exchange_.getCommandOffset(); }
  auto pages() const {
    return ListView<HostPageView, capnp::List<application_capnp::HostPage>::Reader>(
        exchange_.getPages());
  }
  auto attach_order() const {
    return ListView<std::uint32_t, capnp::List<std::uint32_t>::Reader>(exchange_.getAttachOrder());
  }
  auto calls() const {
    return ListView<HostCallView, capnp::List<application_capnp::HostCall>::Reader>(
        exchange_.getCalls());
  }

 private:
  application_capnp::HostExchange::Reader exchange_;
};

class EntryPointView {
 public:
  explicit EntryPointView(application_capnp::EntryPoint::Reader entry_point)
      : entry_point_(entry_point) {}
  std::string_view name() const { return detail::text_view(entry_point_.getName()); }
  std::uint32_t command() const { return entry_point_.getCommand(); }
  std::uint32_t external_syncs() const { return entry_point_.getExternalSyncs(); }

 private:
  application_capnp::EntryPoint::Reader entry_point_;
};

class DeviceConfigWriteView {
 public:
  explicit DeviceConfigWriteView(application_capnp::DeviceConfigWrite::Reader write)
      : write_(write) {}
  std::uint32_t offset() const { return write_.getOffset(); }
  std::uint32_t value() const { return write_.getValue(); }

 private:
  application_capnp::DeviceConfigWrite::Reader write_;
};

class DebugSymbolView {
 public:
  explicit DebugSymbolView(application_capnp::DebugSymbol::Reader symbol) : symbol_(symbol) {}
  std::string_view name() const { return detail::text_view(symbol_.getName()); }
  std::uint32_t address() const { return symbol_.getAddress(); }

 private:
  application_capnp::DebugSymbol::Reader symbol_;
};

class DebugRegionView {
 public:
  explicit DebugRegionView(application_capnp::DebugRegion::Reader region) : region_(region) {}
  std::uint32_t physical_tile() const { return region_.getPhysicalTile(); }
  std::uint32_t address() const { return region_.getAddress(); }
  std::uint32_t size() const { return region_.getSize(); }
  std::string_view name() const { return detail::text_view(region_.getName()); }

 private:
  application_capnp::DebugRegion::Reader region_;
};

class TileProfilePlanView {
 public:
  explicit TileProfilePlanView(application_capnp::TileProfilePlan::Reader plan) : plan_(plan) {}
  std::uint32_t physical_tile() const { return plan_.getPhysicalTile(); }
  auto steps() const {
    return ListView<profile::ProfileStepView, capnp::List<profile_capnp::ProfileStep>::Reader>(
        plan_.getSteps());
  }

 private:
  application_capnp::TileProfilePlan::Reader plan_;
};

using BindingListView = ListView<BindingView, capnp::List<application_capnp::Binding>::Reader>;

// What ApplicationView::output_binding finds.
struct OutputBindingView {
  BindingView binding;  // borrows the view's bytes
  std::uint64_t base;   // offset of the binding in the runtime output
};

// What ApplicationView::binding finds.
struct NamedBindingView {
  BindingKind kind;
  BindingView binding;  // borrows the view's bytes
};

// An application package read in place: a host maps the package file, opens a view and
// takes tile images from it, and nothing else is copied. Copies share the checked message;
// the caller keeps the input bytes alive and unchanged while the view or anything taken
// from it is used.
class QEL_PACKAGE_API ApplicationView {
 public:
  // Checks everything Application::read checks, in the same order, failing with the same
  // PackageError on every input, but builds no records. Bytes that are not 8-byte aligned
  // are copied once into the view.
  [[nodiscard]] static Result<ApplicationView> open(std::span<const std::uint8_t> input);

  // Length of the framed message at the front of the input.
  std::size_t message_bytes() const { return message_bytes_; }
  // Equal to Application::read of the same bytes.
  Application to_application() const;

  std::string_view compiler_version() const {
    return detail::text_view(root_.getCompilerVersion());
  }
  auto tiles() const {
    return ListView<TileView, capnp::List<application_capnp::TileImage>::Reader>(root_.getTiles());
  }
  BindingListView inputs() const { return BindingListView(root_.getInputs()); }
  BindingListView outputs() const { return BindingListView(root_.getOutputs()); }
  BindingListView weights() const { return BindingListView(root_.getWeights()); }
  HostExchangeView host_exchange() const { return HostExchangeView(root_.getHostExchange()); }
  auto entry_points() const {
    return ListView<EntryPointView, capnp::List<application_capnp::EntryPoint>::Reader>(
        root_.getEntryPoints());
  }
  auto device_config_writes() const {
    return ListView<DeviceConfigWriteView,
                    capnp::List<application_capnp::DeviceConfigWrite>::Reader>(
        root_.getDeviceConfigWrites());
  }
  auto profile_tiles() const {
    return ListView<TileProfilePlanView, capnp::List<application_capnp::TileProfilePlan>::Reader>(
        root_.getProfileTiles());
  }
  auto debug_symbols() const {
    return ListView<DebugSymbolView, capnp::List<application_capnp::DebugSymbol>::Reader>(
        root_.getDebugSymbols());
  }
  auto debug_regions() const {
    return ListView<DebugRegionView, capnp::List<application_capnp::DebugRegion>::Reader>(
        root_.getDebugRegions());
  }

  // As Application::tile_image.
  [[nodiscard]] Result<std::vector<std::uint8_t>> tile_image(std::uint32_t physical_tile) const;
  // As Application::tile_load_image.
  [[nodiscard]] Result<TileLoadImage> tile_load_image(std::uint32_t physical_tile) const;
  // As Application::output_binding; the binding borrows the view's bytes.
  [[nodiscard]] Result<OutputBindingView> output_binding(std::string_view name) const;
  // As Application::binding; the binding borrows the view's bytes.
  [[nodiscard]] Result<NamedBindingView> binding(std::string_view name) const;
  // As Application::profile_report.
  [[nodiscard]] Result<profile::ProfileReport> profile_report(std::span<const std::uint8_t> output,
                                                              std::uint64_t clock_hz) const;

 private:
  ApplicationView(std::shared_ptr<const detail::CheckedMessage> message,
                  application_capnp::Application::Reader root, std::size_t message_bytes)
      : message_(std::move(message)), root_(root), message_bytes_(message_bytes) {}

  std::shared_ptr<const detail::CheckedMessage> message_;
  application_capnp::Application::Reader root_;
  std::size_t message_bytes_;
};

}  // namespace qel_package
