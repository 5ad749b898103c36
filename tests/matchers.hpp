#pragma once

#include <ostream>
#include <sstream>
#include <string>

#include <gmock/gmock.h>

#include <qel_package/error.hpp>

namespace qel_package::testing {

inline std::string render(const PackageError& error) {
  std::ostringstream os;
  os << error;
  return os.str();
}

// A Result that succeeded; on mismatch the error is shown.
MATCHER(Succeeded, "succeeded") {
  if (!arg) {
    *result_listener << "failed with " << arg.error();
  }
  return static_cast<bool>(arg);
}

// A Result that failed with Invalid and exactly this message.
MATCHER_P(FailedWithMessage, message, "failed with Invalid(\"" + std::string(message) + "\")") {
  if (arg) {
    *result_listener << "succeeded";
    return false;
  }
  *result_listener << "failed with " << arg.error();
  const auto* invalid = arg.error().template get_if<PackageError::Invalid>();
  return invalid != nullptr && invalid->message == message;
}

// A Result that failed with Invalid, exactly this message and this location.
MATCHER_P2(FailedAt, message, location,
           "failed with Invalid(\"" + std::string(message) + "\") at \"" + std::string(location) +
               "\"") {
  if (arg) {
    *result_listener << "succeeded";
    return false;
  }
  const auto* invalid = arg.error().template get_if<PackageError::Invalid>();
  *result_listener << "failed with " << arg.error();
  if (invalid != nullptr) {
    *result_listener << " at \"" << invalid->location << '"';
  }
  return invalid != nullptr && invalid->message == message && invalid->location == location;
}

// A Result that failed with an error whose debug rendering is exactly this text.
MATCHER_P(FailedAs, rendering, "failed with " + std::string(rendering)) {
  if (arg) {
    *result_listener << "succeeded";
    return false;
  }
  *result_listener << "failed with " << arg.error();
  return render(arg.error()) == rendering;
}

// A Result that failed with an error of variant Kind, whatever it carries.
template <class Kind>
class FailedWithMatcher {
 public:
  using is_gtest_matcher = void;

  // os is null when GoogleTest wants no explanation.
  template <class R>
  bool MatchAndExplain(const R& result, std::ostream* os) const {
    if (os != nullptr) {
      if (result) {
        *os << "succeeded";
      } else {
        *os << "failed with " << result.error();
      }
    }
    return !result && result.error().template get_if<Kind>() != nullptr;
  }
  void DescribeTo(std::ostream* os) const { *os << "failed with the expected variant"; }
  void DescribeNegationTo(std::ostream* os) const { *os << "did not fail with that variant"; }
};

template <class Kind>
FailedWithMatcher<Kind> FailedWith() {
  return {};
}

}  // namespace qel_package::testing
