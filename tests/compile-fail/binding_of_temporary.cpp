// A binding found in a temporary application would dangle, so the lookup does not compile;
// on an application that outlives the result it does.
#include <cstdint>
#include <span>

#include <qel_package/qel_package.hpp>

std::uint64_t profile_base(std::span<const std::uint8_t> bytes) {
#if BREAK == 1
  const auto found = (*qel_package::Application::read(bytes)).output_binding("profile.cycles");
#elif BREAK == 2
  const auto found = qel_package::Application::read(bytes).value().output_binding("profile.cycles");
#elif BREAK == 3
  const auto found = qel_package::Application{}.binding("profile.cycles");
#else
  const auto application = qel_package::Application::read(bytes);
  const auto found = application->output_binding("profile.cycles");
#endif
  return found ? 1 : 0;
}
