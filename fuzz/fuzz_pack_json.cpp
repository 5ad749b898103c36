// What qelpkg pack and dump promise for any text: a package that packs reads back equal,
// and its dump, written as it goes, equals the JSON document and packs to the same package.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <qel_package/application.hpp>

#include "json_writer.hpp"
#include "record_json.hpp"
#include "record_json_reader.hpp"

namespace {

[[noreturn]] void broken(const char* expectation) {
  std::fprintf(stderr, "%s\n", expectation);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel_package::Application;
  const auto application =
      qelpkg::from_json_text<Application>({reinterpret_cast<const char*>(data), size});
  if (!application) {
    return 0;
  }
  std::vector<std::uint8_t> package;
  if (!application->write(package)) {
    return 0;  // pack refuses a package that breaks a rule
  }
  const auto read = Application::read(package);
  if (!read) {
    broken("a packed package cannot be read");
  }
  if (*read != *application) {
    broken("a packed package reads back different");
  }
  std::string dump;
  qelpkg::write_json(*read, [&](std::string_view piece) { dump += piece; });
  if (dump != qelpkg::to_json(*read).dump(2) + "\n") {
    broken("the streamed dump differs from the JSON document");
  }
  const auto again = qelpkg::from_json_text<Application>(dump);
  if (!again || *again != *read) {
    broken("a dump does not pack back to the same package");
  }
  return 0;
}
