#pragma once

#include <memory>
#include <string>
#include <utility>

#include <spdlog/spdlog.h>

// Events go to the logger registered as "qel_package"; without one they are dropped.
namespace qel_package::detail {

// The logger as registered when an operation starts emitting. Finding it takes the
// registry's lock and a map lookup, so an operation looks it up once for all its events.
class EventLog {
 public:
  EventLog() : logger_(spdlog::get(name())) {}

  template <class... Args>
  void info(spdlog::format_string_t<Args...> format, Args&&... args) const {
    if (logger_) {
      logger_->info(format, std::forward<Args>(args)...);
    }
  }

  template <class... Args>
  void trace(spdlog::format_string_t<Args...> format, Args&&... args) const {
    if (logger_) {
      logger_->trace(format, std::forward<Args>(args)...);
    }
  }

 private:
  // Built once rather than for every lookup.
  static const std::string& name() {
    static const std::string logger_name = "qel_package";
    return logger_name;
  }

  std::shared_ptr<spdlog::logger> logger_;
};

}  // namespace qel_package::detail
