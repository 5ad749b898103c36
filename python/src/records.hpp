#pragma once

#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include <pybind11/pybind11.h>
#include <qel_package/qel_package.hpp>

#include "buffer.hpp"
#include "conversion_error.hpp"
#include "enum_names.hpp"
#include "record_fields.hpp"
#include "summary_fields.hpp"

// Records and their Python classes (qel_package._records): each C++ record becomes an
// instance of the class of its name, field by field, and back.
namespace qel_package::python {

namespace py = pybind11;

template <class T>
struct PythonName;
// The class of a record is named as the record, without its namespace.
#define QEL_PACKAGE_PYTHON_NAME(Type)                                           \
  template <>                                                                   \
  struct PythonName<Type> {                                                     \
    static constexpr std::string_view name =                                    \
        std::string_view(#Type).substr(std::string_view(#Type).rfind(':') + 1); \
  }
QEL_PACKAGE_PYTHON_NAME(Segment);
QEL_PACKAGE_PYTHON_NAME(TileImage);
QEL_PACKAGE_PYTHON_NAME(RegionSlice);
QEL_PACKAGE_PYTHON_NAME(Binding);
QEL_PACKAGE_PYTHON_NAME(HostPage);
QEL_PACKAGE_PYTHON_NAME(HostSlice);
QEL_PACKAGE_PYTHON_NAME(HostCall);
QEL_PACKAGE_PYTHON_NAME(HostExchange);
QEL_PACKAGE_PYTHON_NAME(EntryPoint);
QEL_PACKAGE_PYTHON_NAME(DeviceConfigWrite);
QEL_PACKAGE_PYTHON_NAME(DebugSymbol);
QEL_PACKAGE_PYTHON_NAME(DebugRegion);
QEL_PACKAGE_PYTHON_NAME(TileProfilePlan);
QEL_PACKAGE_PYTHON_NAME(Application);
QEL_PACKAGE_PYTHON_NAME(profile::ProfileMetadata);
QEL_PACKAGE_PYTHON_NAME(profile::ProfileExchangeActivity);
QEL_PACKAGE_PYTHON_NAME(profile::ProfileStep);
QEL_PACKAGE_PYTHON_NAME(profile::CycleSample);
QEL_PACKAGE_PYTHON_NAME(profile::TileProfile);
QEL_PACKAGE_PYTHON_NAME(profile::ProfileReport);
QEL_PACKAGE_PYTHON_NAME(profile::CycleTotal);
QEL_PACKAGE_PYTHON_NAME(profile::KindTotal);
QEL_PACKAGE_PYTHON_NAME(profile::NamedTotal);
QEL_PACKAGE_PYTHON_NAME(profile::TileSummary);
QEL_PACKAGE_PYTHON_NAME(profile::ProfileSummary);
QEL_PACKAGE_PYTHON_NAME(profile::StepKind);
QEL_PACKAGE_PYTHON_NAME(profile::ExchangeActivityKind);
#undef QEL_PACKAGE_PYTHON_NAME

// Looks the classes up in the module that defines them; called by that module once its
// classes exist.
void use_record_classes(py::module_ records);

// The class of a record or enumeration, held for as long as the interpreter runs.
template <class T>
struct PythonClass {
  static inline PyObject* object = nullptr;
};

template <class T>
py::handle python_class() {
  if (PythonClass<T>::object == nullptr) {
    py::module_::import("qel_package._records");  // which registers its classes
  }
  return PythonClass<T>::object;
}

// The members of an enumeration class, indexed by number.
template <class Enum>
struct EnumMembers {
  static inline std::vector<PyObject*> members;
};

inline std::string type_name(py::handle object) { return Py_TYPE(object.ptr())->tp_name; }

// Fails unless the object is an instance of the record's class.
template <class T>
void require_instance(py::handle object) {
  const int is_instance = PyObject_IsInstance(object.ptr(), python_class<T>().ptr());
  if (is_instance < 0) {
    throw py::error_already_set();
  }
  if (is_instance == 0) {
    throw ConversionError(PyExc_TypeError, "expected " + std::string(PythonName<T>::name) +
                                               ", got " + type_name(object));
  }
}

template <class T>
py::object to_python(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return py::bool_(value);
  } else if constexpr (std::is_enum_v<T>) {
    python_class<T>();
    const std::vector<PyObject*>& members = EnumMembers<T>::members;
    const std::uint16_t number = profile::to_number(value);
    if (number < members.size()) {
      return py::reinterpret_borrow<py::object>(members[number]);
    }
    return py::int_(number);
  } else if constexpr (std::is_unsigned_v<T>) {
    return py::int_(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return py::str(value);
  } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
    return py::bytes(reinterpret_cast<const char*>(value.data()), value.size());
  } else if constexpr (qelpkg::List<T>) {
    py::list list(value.size());
    for (std::size_t index = 0; index < value.size(); ++index) {
      PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(index),
                      to_python(value[index]).release().ptr());
    }
    return list;
  } else {
    py::dict fields;
    std::apply(
        [&](const auto&... field) {
          ((fields[py::str(field.name.data(), field.name.size())] = to_python(value.*field.member)),
           ...);
        },
        qelpkg::fields_of(std::type_identity<T>{}));
    return python_class<T>()(**fields);
  }
}

// The Python error that stands for the failed call, as a conversion error.
inline ConversionError take_python_error(PyObject* type, std::string message) {
  PyErr_Clear();
  return ConversionError(type, std::move(message));
}

template <class T>
T unsigned_from_python(py::handle object) {
  py::object number = py::reinterpret_steal<py::object>(PyNumber_Index(object.ptr()));
  if (!number) {
    throw take_python_error(PyExc_TypeError, "expected an integer, got " + type_name(object));
  }
  const unsigned long long value = PyLong_AsUnsignedLongLong(number.ptr());
  if ((value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) ||
      value > std::numeric_limits<T>::max()) {
    throw take_python_error(PyExc_ValueError,
                            py::str(number).cast<std::string>() + " does not fit in an unsigned " +
                                std::to_string(std::numeric_limits<T>::digits) + "-bit integer");
  }
  return static_cast<T>(value);
}

template <class T>
void from_python(py::handle object, T& out) {
  if constexpr (std::is_same_v<T, bool>) {
    if (!PyBool_Check(object.ptr())) {
      throw ConversionError(PyExc_TypeError, "expected bool, got " + type_name(object));
    }
    out = object.ptr() == Py_True;
  } else if constexpr (std::is_enum_v<T>) {
    const auto number = unsigned_from_python<std::uint16_t>(object);
    const auto value = qelpkg::enum_from_number(std::type_identity<T>{}, number);
    if (!value) {
      throw ConversionError(PyExc_ValueError, std::to_string(number) + " is not a valid " +
                                                  std::string(PythonName<T>::name));
    }
    out = *value;
  } else if constexpr (std::is_unsigned_v<T>) {
    out = unsigned_from_python<T>(object);
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!PyUnicode_Check(object.ptr())) {
      throw ConversionError(PyExc_TypeError, "expected str, got " + type_name(object));
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object.ptr(), &size);
    if (text == nullptr) {
      throw take_python_error(PyExc_ValueError, "text cannot be encoded as UTF-8");
    }
    out.assign(text, static_cast<std::size_t>(size));
  } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
    if (!PyObject_CheckBuffer(object.ptr())) {
      throw ConversionError(PyExc_TypeError,
                            "expected a bytes-like object, got " + type_name(object));
    }
    const BorrowedBuffer buffer(object);
    out.assign(buffer.bytes().begin(), buffer.bytes().end());
  } else if constexpr (qelpkg::List<T>) {
    if (!PyList_Check(object.ptr()) && !PyTuple_Check(object.ptr())) {
      throw ConversionError(PyExc_TypeError, "expected a list, got " + type_name(object));
    }
    const py::sequence items = py::reinterpret_borrow<py::sequence>(object);
    const std::size_t size = items.size();
    out.clear();
    out.resize(size);
    for (std::size_t index = 0; index < size; ++index) {
      try {
        from_python(items[index], out[index]);
      } catch (ConversionError& error) {
        error.within_element(index);
        throw;
      }
    }
  } else {
    require_instance<T>(object);
    std::apply(
        [&](const auto&... field) {
          (
              [&] {
                try {
                  from_python(object.attr(py::str(field.name.data(), field.name.size())),
                              out.*field.member);
                } catch (ConversionError& error) {
                  error.within_field(field.name);
                  throw;
                }
              }(),
              ...);
        },
        qelpkg::fields_of(std::type_identity<T>{}));
  }
}

template <class T>
T from_python(py::handle object) {
  T value;
  from_python(object, value);
  return value;
}

// A call's argument, named in the error when it does not convert.
template <class T>
T argument(py::handle object, std::string_view name) {
  try {
    return from_python<T>(object);
  } catch (ConversionError& error) {
    error.within_field(name);
    throw;
  }
}

}  // namespace qel_package::python
