#include "records.hpp"

namespace qel_package::python {
namespace {

template <class T>
void use_class(py::module_& records) {
  // Held for as long as the interpreter runs, whatever becomes of the module's names.
  PythonClass<T>::object = py::object(records.attr(PythonName<T>::name.data())).release().ptr();
}

template <class Enum>
void use_enum(py::module_& records) {
  use_class<Enum>(records);
  const py::handle enum_class = PythonClass<Enum>::object;
  EnumMembers<Enum>::members.clear();
  for (const auto& [value, name] : qelpkg::enum_names<Enum>()) {
    EnumMembers<Enum>::members.push_back(py::object(enum_class.attr(name.c_str())).release().ptr());
  }
}

}  // namespace

void use_record_classes(py::module_ records) {
  use_class<Segment>(records);
  use_class<TileImage>(records);
  use_class<RegionSlice>(records);
  use_class<Binding>(records);
  use_class<HostPage>(records);
  use_class<HostSlice>(records);
  use_class<HostCall>(records);
  use_class<HostExchange>(records);
  use_class<EntryPoint>(records);
  use_class<DeviceConfigWrite>(records);
  use_class<DebugSymbol>(records);
  use_class<DebugRegion>(records);
  use_class<TileProfilePlan>(records);
  use_class<Application>(records);
  use_class<profile::ProfileMetadata>(records);
  use_class<profile::ProfileExchangeActivity>(records);
  use_class<profile::ProfileStep>(records);
  use_class<profile::CycleSample>(records);
  use_class<profile::TileProfile>(records);
  use_class<profile::ProfileReport>(records);
  use_class<profile::CycleTotal>(records);
  use_class<profile::KindTotal>(records);
  use_class<profile::NamedTotal>(records);
  use_class<profile::TileSummary>(records);
  use_class<profile::ProfileSummary>(records);
  use_enum<profile::StepKind>(records);
  use_enum<profile::ExchangeActivityKind>(records);
}

}  // namespace qel_package::python
