#include "views.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include <qel_package/application_view.hpp>

#include "arrays.hpp"
#include "buffer.hpp"
#include "package_failure.hpp"
#include "records.hpp"

namespace qel_package::python {
namespace {

// An opened view with the buffer it borrows.
struct OpenView {
  std::unique_ptr<BorrowedBuffer> buffer;
  ApplicationView view;
};

// An element view, or a list of them, with the Python ApplicationView it reads from: holding
// the owner keeps the message and the buffer alive for as long as the element is used.
template <class View>
struct Held {
  View view;
  py::object owner;
};

template <class T>
struct IsNumberList : std::false_type {};
template <class Element, class WireList>
struct IsNumberList<ListView<Element, WireList>> : std::is_arithmetic<Element> {};

// What a view accessor returns, as Python sees it: numbers, enumeration members and texts as
// values, byte lists as read-only arrays over the buffer, lists of numbers as Python lists,
// records as record objects, and element views (and lists of them) held with their owner.
template <class T>
py::object to_python_view(T&& value, const py::object& owner) {
  using R = std::remove_cvref_t<T>;
  if constexpr (std::is_enum_v<R> || qelpkg::Record<R>) {
    return to_python(value);
  } else if constexpr (std::is_arithmetic_v<R>) {
    return py::cast(value);
  } else if constexpr (std::is_same_v<R, std::string_view>) {
    return py::str(value.data(), value.size());
  } else if constexpr (std::is_same_v<R, std::span<const std::uint8_t>>) {
    return borrowed_array(owner, value);
  } else if constexpr (IsNumberList<R>::value) {
    py::list numbers(value.size());
    for (std::size_t index = 0; index < value.size(); ++index) {
      numbers[index] = py::int_(value[index]);
    }
    return numbers;
  } else {
    return py::cast(Held<R>{std::forward<T>(value), owner});
  }
}

template <class Method>
struct MethodOf;
template <class Result, class View>
struct MethodOf<Result (View::*)() const> {
  using ViewType = View;
};

// The Python method for an accessor of an element view.
template <auto accessor>
py::object forward(const Held<typename MethodOf<decltype(accessor)>::ViewType>& held) {
  return to_python_view((held.view.*accessor)(), held.owner);
}

template <class View>
py::class_<Held<View>> bind_view(py::module_& module, const char* name) {
  return py::class_<Held<View>>(
      module, name,
      "Read in place from an ApplicationView, which it keeps alive. Accessors are named as the "
      "fields of the record.");
}

// A list of element views, indexed and iterated as a Python sequence.
template <class List>
void bind_list(py::module_& module, const char* name) {
  bind_view<List>(module, name)
      .def("__len__", [](const Held<List>& list) { return list.view.size(); })
      .def("__getitem__", [](const Held<List>& list, py::ssize_t index) {
        const auto size = static_cast<py::ssize_t>(list.view.size());
        if (index < 0) {
          index += size;
        }
        if (index < 0 || index >= size) {
          throw py::index_error("list index out of range");
        }
        return to_python_view(list.view[static_cast<std::size_t>(index)], list.owner);
      });
}

template <class View, class Method>
using ListOf = std::invoke_result_t<Method, const View&>;

void bind_profile_views(py::module_& module) {
  using namespace profile;
  bind_view<ProfileMetadataView>(module, "ProfileMetadataView")
      .def("name", &forward<&ProfileMetadataView::name>)
      .def("value", &forward<&ProfileMetadataView::value>);
  bind_list<ListOf<ProfileStepView, decltype(&ProfileStepView::metadata)>>(
      module, "ProfileMetadataListView");
  bind_view<ProfileExchangeActivityView>(module, "ProfileExchangeActivityView")
      .def("fanout", &forward<&ProfileExchangeActivityView::fanout>)
      .def("paired", &forward<&ProfileExchangeActivityView::paired>)
      .def("kind", &forward<&ProfileExchangeActivityView::kind>)
      .def("start_cycle", &forward<&ProfileExchangeActivityView::start_cycle>)
      .def("end_cycle", &forward<&ProfileExchangeActivityView::end_cycle>);
  bind_list<ListOf<ProfileStepView, decltype(&ProfileStepView::exchange_activities)>>(
      module, "ProfileExchangeActivityListView");
  bind_view<ProfileStepView>(module, "ProfileStepView")
      .def("local_index", &forward<&ProfileStepView::local_index>)
      .def("phase", &forward<&ProfileStepView::phase>)
      .def("epoch", &forward<&ProfileStepView::epoch>)
      .def("operation", &forward<&ProfileStepView::operation>)
      .def("kind", &forward<&ProfileStepView::kind>)
      .def("kernel", &forward<&ProfileStepView::kernel>)
      .def("metadata", &forward<&ProfileStepView::metadata>)
      .def("exchange_activities", &forward<&ProfileStepView::exchange_activities>)
      .def("exchange_event_cycles", &forward<&ProfileStepView::exchange_event_cycles>)
      .def("to_step", &forward<&ProfileStepView::to_step>);
  bind_list<ListOf<TileProfilePlanView, decltype(&TileProfilePlanView::steps)>>(
      module, "ProfileStepListView");
}

void bind_element_views(py::module_& module) {
  bind_view<SegmentView>(module, "SegmentView")
      .def("address", &forward<&SegmentView::address>)
      .def("memory_size", &forward<&SegmentView::memory_size>)
      .def("data", &forward<&SegmentView::data>)
      .def("flags", &forward<&SegmentView::flags>);
  bind_list<ListOf<TileView, decltype(&TileView::segments)>>(module, "SegmentListView");
  bind_view<TileView>(module, "TileView")
      .def("physical_tile", &forward<&TileView::physical_tile>)
      .def("entry_point", &forward<&TileView::entry_point>)
      .def("command_address", &forward<&TileView::command_address>)
      .def("diagnostic_address", &forward<&TileView::diagnostic_address>)
      .def("segments", &forward<&TileView::segments>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::tiles)>>(module, "TileListView");

  bind_view<RegionSliceView>(module, "RegionSliceView")
      .def("tile", &forward<&RegionSliceView::tile>)
      .def("tile_address", &forward<&RegionSliceView::tile_address>)
      .def("file_offset", &forward<&RegionSliceView::file_offset>)
      .def("size", &forward<&RegionSliceView::size>);
  bind_list<ListOf<BindingView, decltype(&BindingView::slices)>>(module, "RegionSliceListView");
  bind_view<BindingView>(module, "BindingView")
      .def("name", &forward<&BindingView::name>)
      .def("dtype", &forward<&BindingView::dtype>)
      .def("shape", &forward<&BindingView::shape>)
      .def("slices", &forward<&BindingView::slices>)
      .def("byte_len", &forward<&BindingView::byte_len>);
  bind_list<BindingListView>(module, "BindingListView");

  bind_view<HostPageView>(module, "HostPageView")
      .def("index", &forward<&HostPageView::index>)
      .def("size", &forward<&HostPageView::size>);
  bind_list<ListOf<HostExchangeView, decltype(&HostExchangeView::pages)>>(module,
                                                                          "HostPageListView");
  bind_view<HostSliceView>(module, "HostSliceView")
      .def("page", &forward<&HostSliceView::page>)
      .def("page_offset", &forward<&HostSliceView::page_offset>)
      .def("file_offset", &forward<&HostSliceView::file_offset>)
      .def("size", &forward<&HostSliceView::size>);
  bind_list<ListOf<HostCallView, decltype(&HostCallView::inputs)>>(module, "HostSliceListView");
  bind_view<HostCallView>(module, "HostCallView")
      .def("name", &forward<&HostCallView::name>)
      .def("command", &forward<&HostCallView::command>)
      .def("phases", &forward<&HostCallView::phases>)
      .def("inputs", &forward<&HostCallView::inputs>)
      .def("outputs", &forward<&HostCallView::outputs>)
      .def("invocations", &forward<&HostCallView::invocations>)
      .def("input_batch_ends", &forward<&HostCallView::input_batch_ends>)
      .def("output_batch_ends", &forward<&HostCallView::output_batch_ends>);
  bind_list<ListOf<HostExchangeView, decltype(&HostExchangeView::calls)>>(module,
                                                                          "HostCallListView");
  bind_view<HostExchangeView>(module, "HostExchangeView")
      .def("startup_mark", &forward<&HostExchangeView::startup_mark>)
      .def("command_page", &forward<&HostExchangeView::command_page>)
      .def("command_offset", &forward<&HostExchangeView::command_offset>)
      .def("pages", &forward<&HostExchangeView::pages>)
      .def("attach_order", &forward<&HostExchangeView::attach_order>)
      .def("calls", &forward<&HostExchangeView::calls>);

  bind_view<EntryPointView>(module, "EntryPointView")
      .def("name", &forward<&EntryPointView::name>)
      .def("command", &forward<&EntryPointView::command>)
      .def("external_syncs", &forward<&EntryPointView::external_syncs>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::entry_points)>>(
      module, "EntryPointListView");
  bind_view<DeviceConfigWriteView>(module, "DeviceConfigWriteView")
      .def("offset", &forward<&DeviceConfigWriteView::offset>)
      .def("value", &forward<&DeviceConfigWriteView::value>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::device_config_writes)>>(
      module, "DeviceConfigWriteListView");
  bind_view<DebugSymbolView>(module, "DebugSymbolView")
      .def("name", &forward<&DebugSymbolView::name>)
      .def("address", &forward<&DebugSymbolView::address>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::debug_symbols)>>(
      module, "DebugSymbolListView");
  bind_view<DebugRegionView>(module, "DebugRegionView")
      .def("physical_tile", &forward<&DebugRegionView::physical_tile>)
      .def("address", &forward<&DebugRegionView::address>)
      .def("size", &forward<&DebugRegionView::size>)
      .def("name", &forward<&DebugRegionView::name>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::debug_regions)>>(
      module, "DebugRegionListView");
  bind_view<TileProfilePlanView>(module, "TileProfilePlanView")
      .def("physical_tile", &forward<&TileProfilePlanView::physical_tile>)
      .def("steps", &forward<&TileProfilePlanView::steps>);
  bind_list<ListOf<ApplicationView, decltype(&ApplicationView::profile_tiles)>>(
      module, "TileProfilePlanListView");
}

// The Python method for an accessor of the application view itself.
template <auto accessor>
py::object forward_root(py::object self) {
  return to_python_view((self.cast<const OpenView&>().view.*accessor)(), self);
}

void bind_application_view(py::module_& module) {
  py::class_<OpenView>(module, "ApplicationView",
                       "A package read in place from a buffer that it borrows and keeps alive. "
                       "Nothing is copied and no record is built; elements are views, and byte "
                       "lists read-only numpy arrays over the buffer.")
      .def_static(
          "open",
          [](py::handle buffer) {
            auto borrowed = std::make_unique<BorrowedBuffer>(buffer);
            Result<ApplicationView> view = [&] {
              py::gil_scoped_release release;
              return ApplicationView::open(borrowed->bytes());
            }();
            return OpenView{std::move(borrowed), value_or_throw(std::move(view))};
          },
          py::arg("buffer"),
          "Checks everything Application.read checks, failing as it does, and borrows the "
          "buffer. Keep the bytes unchanged while the view is used.")
      .def("message_bytes", &forward_root<&ApplicationView::message_bytes>)
      .def("to_application", &forward_root<&ApplicationView::to_application>,
           "The package as records, equal to Application.read of the same bytes.")
      .def("compiler_version", &forward_root<&ApplicationView::compiler_version>)
      .def("tiles", &forward_root<&ApplicationView::tiles>)
      .def("inputs", &forward_root<&ApplicationView::inputs>)
      .def("outputs", &forward_root<&ApplicationView::outputs>)
      .def("weights", &forward_root<&ApplicationView::weights>)
      .def("host_exchange", &forward_root<&ApplicationView::host_exchange>)
      .def("entry_points", &forward_root<&ApplicationView::entry_points>)
      .def("device_config_writes", &forward_root<&ApplicationView::device_config_writes>)
      .def("profile_tiles", &forward_root<&ApplicationView::profile_tiles>)
      .def("debug_symbols", &forward_root<&ApplicationView::debug_symbols>)
      .def("debug_regions", &forward_root<&ApplicationView::debug_regions>)
      .def(
          "tile_image",
          [](const OpenView& open, py::handle physical_tile) {
            return to_array(value_or_throw(
                open.view.tile_image(argument<std::uint32_t>(physical_tile, "physical_tile"))));
          },
          py::arg("physical_tile"))
      .def(
          "output_binding",
          [](py::object self, py::handle name) {
            OutputBindingView found =
                value_or_throw(self.cast<const OpenView&>().view.output_binding(
                    argument<std::string>(name, "name")));
            return py::make_tuple(to_python_view(found.binding, self), found.base);
          },
          py::arg("name"))
      .def(
          "profile_report",
          [](const OpenView& open, py::handle output, py::handle clock_hz) {
            const auto clock = argument<std::uint64_t>(clock_hz, "clock_hz");
            const BorrowedBuffer bytes(output);
            Result<profile::ProfileReport> report = [&] {
              py::gil_scoped_release release;
              return open.view.profile_report(bytes.bytes(), clock);
            }();
            return to_python(value_or_throw(std::move(report)));
          },
          py::arg("output"), py::arg("clock_hz"));
}

}  // namespace

void bind_views(py::module_& module) {
  bind_profile_views(module);
  bind_element_views(module);
  bind_application_view(module);
}

}  // namespace qel_package::python
