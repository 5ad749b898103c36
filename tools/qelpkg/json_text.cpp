#include "json_text.hpp"

#include <unordered_set>
#include <vector>

#include <fmt/format.h>

namespace qelpkg {
namespace {

struct DuplicateField {
  std::string message;
};

// Tracks the open objects and arrays while the parser runs, to catch a repeated field and
// name where it is.
class DuplicateFieldCheck {
 public:
  bool operator()(int, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
      case Event::object_start:
        open_.push_back({.is_object = true});
        break;
      case Event::array_start:
        open_.push_back({.is_object = false});
        break;
      case Event::key:
        key(parsed.get<std::string>());
        break;
      case Event::object_end:
      case Event::array_end:
        open_.pop_back();
        element_done();
        break;
      case Event::value:
        element_done();
        break;
    }
    return true;
  }

 private:
  struct Open {
    bool is_object;
    std::unordered_set<std::string> keys{};
    std::string key{};
    std::size_t index = 0;
  };

  void key(std::string name) {
    Open& object = open_.back();
    if (!object.keys.insert(name).second) {
      const std::string path = path_to_innermost();
      throw DuplicateField{path.empty() ? fmt::format("duplicate field \"{}\"", name)
                                        : fmt::format("{}: duplicate field \"{}\"", path, name)};
    }
    object.key = std::move(name);
  }

  void element_done() {
    if (!open_.empty() && !open_.back().is_object) {
      ++open_.back().index;
    }
  }

  // The path of the innermost open object, as a record's field path reads: tiles[0].segments.
  std::string path_to_innermost() const {
    std::string path;
    for (std::size_t i = 0; i + 1 < open_.size(); ++i) {
      if (open_[i].is_object) {
        path += (path.empty() ? "" : ".") + open_[i].key;
      } else {
        path += fmt::format("[{}]", open_[i].index);
      }
    }
    return path;
  }

  std::vector<Open> open_;
};

}  // namespace

tl::expected<Json, std::string> parse_json(std::string_view text) {
  DuplicateFieldCheck check;
  try {
    return Json::parse(text.begin(), text.end(),
                       [&check](int depth, Json::parse_event_t event, Json& parsed) {
                         return check(depth, event, parsed);
                       });
  } catch (const Json::parse_error& error) {
    // what() reads "[json.exception.parse_error.101] parse error at line 3, column 5: ...".
    const std::string_view message = error.what();
    const std::size_t tag_end = message.find("] ");
    return tl::unexpected(
        std::string(tag_end == std::string_view::npos ? message : message.substr(tag_end + 2)));
  } catch (const DuplicateField& duplicate) {
    return tl::unexpected(duplicate.message);
  }
}

}  // namespace qelpkg
