#include "samples.hpp"

#include <cstdint>
#include <limits>

#include <qel_package/profile_timeline.hpp>

#include "records.hpp"

namespace qel_package::python {

// One row of report.samples().
struct SampleRow {
  std::uint32_t tile;
  std::uint32_t index;
  std::uint16_t kind;
  std::uint32_t phase;
  std::uint32_t epoch;
  std::uint32_t start_cycle;
  std::uint32_t end_cycle;
  std::uint32_t cycles;
  double us;
};

void register_sample_dtype() {
  PYBIND11_NUMPY_DTYPE(SampleRow, tile, index, kind, phase, epoch, start_cycle, end_cycle, cycles,
                       us);
}

namespace {

// A field of a record object, converted as the record's own conversion does.
template <class T>
T field_value(py::handle record, const char* name) {
  try {
    return from_python<T>(record.attr(name));
  } catch (ConversionError& error) {
    error.within_field(name);
    throw;
  }
}

// The elements of a list field, checked as a list.
py::sequence list_field(py::handle record, const char* name) {
  py::object list = record.attr(name);
  if (!PyList_Check(list.ptr()) && !PyTuple_Check(list.ptr())) {
    ConversionError error(PyExc_TypeError, "expected a list, got " + type_name(list));
    error.within_field(name);
    throw error;
  }
  return py::reinterpret_steal<py::sequence>(list.release());
}

SampleRow sample_row(py::handle sample, std::uint32_t tile, std::uint32_t index,
                     std::uint64_t clock_hz) {
  require_instance<profile::CycleSample>(sample);
  const py::object step = sample.attr("step");
  SampleRow row{};
  row.tile = tile;
  row.index = index;
  try {
    require_instance<profile::ProfileStep>(step);
    row.kind = profile::to_number(field_value<profile::StepKind>(step, "kind"));
    row.phase = field_value<std::uint32_t>(step, "phase");
    row.epoch = field_value<std::uint32_t>(step, "epoch");
  } catch (ConversionError& error) {
    error.within_field("step");
    throw;
  }
  row.start_cycle = field_value<std::uint32_t>(sample, "start_cycle");
  row.end_cycle = field_value<std::uint32_t>(sample, "end_cycle");
  row.cycles = profile::cycles_between(row.start_cycle, row.end_cycle);
  row.us = profile::microseconds(row.cycles, clock_hz)
               .value_or(std::numeric_limits<double>::quiet_NaN());
  return row;
}

}  // namespace

py::array report_samples(py::handle report) {
  require_instance<profile::ProfileReport>(report);
  const auto clock_hz = field_value<std::uint64_t>(report, "clock_hz");
  const py::sequence tiles = list_field(report, "tiles");

  std::size_t count = 0;
  for (std::size_t tile = 0; tile < tiles.size(); ++tile) {
    try {
      require_instance<profile::TileProfile>(tiles[tile]);
      count += list_field(tiles[tile], "samples").size();
    } catch (ConversionError& error) {
      error.within_element(tile);
      error.within_field("tiles");
      throw;
    }
  }

  py::array_t<SampleRow> rows(static_cast<py::ssize_t>(count));
  SampleRow* row = rows.mutable_data();
  SampleRow* const end = row + count;
  for (std::size_t tile = 0; tile < tiles.size(); ++tile) {
    try {
      const auto physical_tile = field_value<std::uint32_t>(tiles[tile], "physical_tile");
      const py::sequence samples = list_field(tiles[tile], "samples");
      for (std::size_t index = 0; index < samples.size(); ++index) {
        if (row == end) {
          throw ConversionError(PyExc_RuntimeError, "the report changed while it was read");
        }
        try {
          *row++ = sample_row(samples[index], physical_tile, static_cast<std::uint32_t>(index),
                              clock_hz);
        } catch (ConversionError& error) {
          error.within_element(index);
          error.within_field("samples");
          throw;
        }
      }
    } catch (ConversionError& error) {
      error.within_element(tile);
      error.within_field("tiles");
      throw;
    }
  }
  if (row != end) {
    throw ConversionError(PyExc_RuntimeError, "the report changed while it was read");
  }
  return rows;
}

}  // namespace qel_package::python
