#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <qel_package/application.hpp>

#include "matchers.hpp"

namespace qel_package {
namespace {

using testing::FailedWithMessage;
using testing::Succeeded;

Binding named(std::string name) { return Binding{.name = std::move(name), .dtype = "f32"}; }

TEST(NamedBinding, FindsInputsOutputsAndWeights) {
  // Not validated: "shared" is both an input and an output, and the input is found first.
  const Application application{
      .inputs = {named("image"), named("shared")},
      .outputs = {named("shared"), named("profile.cycles")},
      .weights = {named("w0")},
  };
  struct Case {
    const char* name;
    BindingKind kind;
    const Binding* binding;
  };
  const Case cases[] = {
      {"image", BindingKind::Input, &application.inputs[0]},
      {"profile.cycles", BindingKind::Output, &application.outputs[1]},
      {"w0", BindingKind::Weight, &application.weights[0]},
      {"shared", BindingKind::Input, &application.inputs[1]},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto found = application.binding(c.name);
    ASSERT_THAT(found, Succeeded());
    EXPECT_EQ(found->kind, c.kind);
    EXPECT_EQ(found->binding, c.binding);
  }
  EXPECT_THAT(application.binding("absent"),
              FailedWithMessage("application has no absent binding"));
  EXPECT_THAT(application.binding("Image"), FailedWithMessage("application has no Image binding"));
}

TEST(NamedBinding, Renders) {
  const Application application{.weights = {named("w0")}};
  const auto found = application.binding("w0");
  ASSERT_THAT(found, Succeeded());
  std::ostringstream os;
  os << *found;
  EXPECT_EQ(os.str(), "NamedBinding { kind: Weight, binding: \"w0\" }");
}

}  // namespace
}  // namespace qel_package
