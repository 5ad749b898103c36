#pragma once

#include <memory>
#include <utility>

#include <spdlog/spdlog.h>

// Events go to the logger registered as "qel_package"; without one they are dropped.
namespace qel_package::detail {

inline std::shared_ptr<spdlog::logger> logger() { return spdlog::get("qel_package"); }

template <class... Args>
void log_info(spdlog::format_string_t<Args...> format, Args&&... args) {
  if (auto sink = logger()) {
    sink->info(format, std::forward<Args>(args)...);
  }
}

template <class... Args>
void log_trace(spdlog::format_string_t<Args...> format, Args&&... args) {
  if (auto sink = logger()) {
    sink->trace(format, std::forward<Args>(args)...);
  }
}

}  // namespace qel_package::detail
