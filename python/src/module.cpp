// The native half of the qel_package module: converts records and buffers, forwards to the
// library, and turns its errors into exceptions. The public names live in the Python half.
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <qel_package/qel_package.hpp>

#include "arrays.hpp"
#include "buffer.hpp"
#include "conversion_error.hpp"
#include "package_failure.hpp"
#include "records.hpp"
#include "samples.hpp"
#include "views.hpp"

namespace py = pybind11;

namespace qel_package::python {
namespace {

py::object read_application(py::handle buffer) {
  const BorrowedBuffer input(buffer);
  Result<Application> application = [&] {
    py::gil_scoped_release release;
    return Application::read(input.bytes());
  }();
  return to_python(value_or_throw(std::move(application)));
}

py::bytes write_application(py::handle object) {
  const auto application = from_python<Application>(object);
  std::vector<std::uint8_t> sink;
  Result<void> written = [&] {
    py::gil_scoped_release release;
    return application.write(sink);
  }();
  value_or_throw(std::move(written));
  return to_bytes(sink);
}

void validate_application(py::handle object) {
  value_or_throw(from_python<Application>(object).validate());
}

py::array_t<std::uint8_t> application_tile_image(py::handle object, py::handle physical_tile) {
  const auto application = from_python<Application>(object);
  const auto tile = argument<std::uint32_t>(physical_tile, "physical_tile");
  return to_array(value_or_throw(application.tile_image(tile)));
}

// The index of the binding in the application's outputs, and its base.
std::pair<std::size_t, std::uint64_t> application_output_binding(py::handle object,
                                                                 py::handle name) {
  const auto application = from_python<Application>(object);
  const OutputBinding found =
      value_or_throw(application.output_binding(argument<std::string>(name, "name")));
  return {static_cast<std::size_t>(found.binding - application.outputs.data()), found.base};
}

py::object application_profile_report(py::handle object, py::handle output, py::handle clock_hz) {
  const auto application = from_python<Application>(object);
  const auto clock = argument<std::uint64_t>(clock_hz, "clock_hz");
  const BorrowedBuffer bytes(output);
  Result<profile::ProfileReport> report = [&] {
    py::gil_scoped_release release;
    return application.profile_report(bytes.bytes(), clock);
  }();
  return to_python(value_or_throw(std::move(report)));
}

std::uint64_t binding_byte_len(py::handle object) {
  return value_or_throw(from_python<Binding>(object).byte_len());
}

void validate_host_batch_ends_of(py::handle call, py::handle direction, py::handle ends,
                                 py::handle slice_count) {
  value_or_throw(validate_host_batch_ends(argument<HostCall>(call, "call"),
                                          argument<std::string>(direction, "direction"),
                                          argument<std::vector<std::uint32_t>>(ends, "ends"),
                                          argument<std::size_t>(slice_count, "slice_count")));
}

py::object read_report(py::handle buffer) {
  const BorrowedBuffer input(buffer);
  Result<profile::ProfileReport> report = [&] {
    py::gil_scoped_release release;
    return profile::ProfileReport::read(input.bytes());
  }();
  return to_python(value_or_throw(std::move(report)));
}

py::bytes write_report(py::handle object) {
  const auto report = from_python<profile::ProfileReport>(object);
  std::vector<std::uint8_t> sink;
  Result<void> written = [&] {
    py::gil_scoped_release release;
    return report.write(sink);
  }();
  value_or_throw(std::move(written));
  return to_bytes(sink);
}

std::string report_chrome_trace(py::handle object, bool align) {
  const auto report = from_python<profile::ProfileReport>(object);
  std::ostringstream trace;
  Result<void> written = [&] {
    py::gil_scoped_release release;
    return profile::write_chrome_trace(report, trace, {.align = align});
  }();
  value_or_throw(std::move(written));
  return std::move(trace).str();
}

py::object report_summary(py::handle object) {
  const auto report = from_python<profile::ProfileReport>(object);
  profile::ProfileSummary summary = [&] {
    py::gil_scoped_release release;
    return profile::summarize(report);
  }();
  return to_python(summary);
}

template <class Enum>
py::list enum_members() {
  py::list members;
  for (const auto& [value, name] : qelpkg::enum_names<Enum>()) {
    members.append(py::make_tuple(name, profile::to_number(value)));
  }
  return members;
}

}  // namespace
}  // namespace qel_package::python

PYBIND11_MODULE(_native, module) {
  using namespace qel_package;
  using namespace qel_package::python;

  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      std::rethrow_exception(thrown);
    } catch (const PackageFailure& failure) {
      set_python_error(*failure.error);
    } catch (const ConversionError& error) {
      PyErr_SetString(error.type(), error.text().c_str());
    }
  });

  register_sample_dtype();

  module.attr("SCHEMA_VERSION") = SCHEMA_VERSION;
  module.attr("TARGET") = py::str(TARGET.data(), TARGET.size());
  module.attr("TILE_MEMORY_BASE") = TILE_MEMORY_BASE;
  module.attr("TILE_MEMORY_SIZE") = TILE_MEMORY_SIZE;
  module.attr("TILE_MEMORY_END") = TILE_MEMORY_END;

  module.def("step_kinds", &enum_members<profile::StepKind>);
  module.def("exchange_activity_kinds", &enum_members<profile::ExchangeActivityKind>);
  module.def("use_record_classes", &use_record_classes);

  module.def("read_application", &read_application);
  module.def("write_application", &write_application);
  module.def("validate_application", &validate_application);
  module.def("application_tile_image", &application_tile_image);
  module.def("application_output_binding", &application_output_binding);
  module.def("application_profile_report", &application_profile_report);
  module.def("binding_byte_len", &binding_byte_len);
  module.def("validate_host_batch_ends", &validate_host_batch_ends_of);
  module.def("read_report", &read_report);
  module.def("write_report", &write_report);
  module.def("report_samples", &report_samples);
  module.def("report_chrome_trace", &report_chrome_trace);
  module.def("report_summary", &report_summary);

  bind_views(module);
}
