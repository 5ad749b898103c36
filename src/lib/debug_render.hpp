#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The one shape of every record's debug rendering:
//   Segment { address: 311296, memory_size: 8, data: [1, 2, 3, 4], flags: 5 }
namespace qel_package::detail {

void render_text(std::ostream& os, std::string_view text);

template <class T>
struct is_vector : std::false_type {};
template <class T>
struct is_vector<std::vector<T>> : std::true_type {};

template <class T>
void render_value(std::ostream& os, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    os << (value ? "true" : "false");
  } else if constexpr (std::is_integral_v<T>) {
    os << +value;  // promotes bytes, which would otherwise print as characters
  } else if constexpr (std::is_same_v<T, std::string>) {
    render_text(os, value);
  } else if constexpr (is_vector<T>::value) {
    os << '[';
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (i != 0) {
        os << ", ";
      }
      render_value(os, value[i]);
    }
    os << ']';
  } else {
    os << value;
  }
}

class StructRenderer {
 public:
  StructRenderer(std::ostream& os, std::string_view name) : os_(os) { os_ << name << " {"; }

  template <class T>
  StructRenderer& field(std::string_view name, const T& value) {
    os_ << (first_ ? " " : ", ") << name << ": ";
    render_value(os_, value);
    first_ = false;
    return *this;
  }

  std::ostream& finish() { return os_ << " }"; }

 private:
  std::ostream& os_;
  bool first_ = true;
};

}  // namespace qel_package::detail
