#pragma once

#include <expat.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// A small element tree of an XML document, for tests that look at written images.
namespace qel_package::testing {

// An element of the parsed image.
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;
  std::vector<std::unique_ptr<Element>> children;

  std::string attribute(const std::string& key) const {
    const auto found = attributes.find(key);
    return found == attributes.end() ? "" : found->second;
  }

  // Every descendant element with this name and, when given, this class.
  void find_all(const std::string& element, const std::string& css_class,
                std::vector<const Element*>& found) const {
    for (const auto& child : children) {
      if (child->name == element && (css_class.empty() || child->attribute("class") == css_class)) {
        found.push_back(child.get());
      }
      child->find_all(element, css_class, found);
    }
  }
  std::vector<const Element*> all(const std::string& element,
                                  const std::string& css_class = "") const {
    std::vector<const Element*> found;
    find_all(element, css_class, found);
    return found;
  }
  const Element* title() const {
    const auto titles = all("title");
    return titles.size() == 1 ? titles[0] : nullptr;
  }
};

// Parses the XML with expat, which refuses anything that is not well-formed.
inline std::unique_ptr<Element> parse_xml(const std::string& text) {
  struct State {
    std::unique_ptr<Element> root = std::make_unique<Element>();
    std::vector<Element*> open{root.get()};
  } state;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto& s = *static_cast<State*>(data);
        auto element = std::make_unique<Element>();
        element->name = name;
        for (int i = 0; attributes[i] != nullptr; i += 2) {
          element->attributes[attributes[i]] = attributes[i + 1];
        }
        Element* raw = element.get();
        s.open.back()->children.push_back(std::move(element));
        s.open.push_back(raw);
      },
      [](void* data, const XML_Char*) { static_cast<State*>(data)->open.pop_back(); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
    static_cast<State*>(data)->open.back()->text.append(chars, static_cast<std::size_t>(length));
  });
  const bool parsed =
      XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                      << XML_GetCurrentLineNumber(parser);
  XML_ParserFree(parser);
  return std::move(state.root);
}

}  // namespace qel_package::testing
