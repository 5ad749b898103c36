// What qelpkg info and dump promise for any package: the text holds no control character
// but line ends, and the JSON forms are exact documents that agree.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include <qel_package/application.hpp>

#include "json_writer.hpp"
#include "package_info.hpp"
#include "record_json.hpp"
#include "rendering_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto application = qel_package::Application::read({data, size});
  if (!application) {
    return 0;
  }
  const qelpkg::MessageSize message_size{.message = size, .file = size};
  if (const auto text = qelpkg::package_info_text(*application, message_size)) {
    qelpkg::fuzzing::require_terminal_safe(*text);
  }
  if (const auto json = qelpkg::package_info_json(*application, message_size)) {
    qelpkg::fuzzing::require_json(json->dump(2));
  }
  std::string dump;
  qelpkg::write_json(*application, [&](std::string_view piece) { dump += piece; });
  if (dump != qelpkg::to_json(*application).dump(2) + "\n") {
    qelpkg::fuzzing::broken("the streamed dump differs from the JSON document");
  }
  qelpkg::fuzzing::require_json(dump);
  return 0;
}
