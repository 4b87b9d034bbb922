#pragma once
// What the accessibility bus tells about one object, before translation: the
// raw material of one element, whether read live or from a recording.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel::platform::atspi {

struct AtspiNode {
  std::string role;  // the role's name as AT-SPI spells it: "push button", "document web"
  std::string name;
  std::string description;
  std::map<std::string, std::string> attributes;  // object attributes: "tag", "class", "id", "xml-roles", ...
  std::optional<std::string> text;                // the Text interface's contents, U+FFFC for each embedded object
  std::optional<std::string> address;             // a document's "URI" or "DocURL", a link's target
  bool active = false;                            // a window the user works in
  bool multiLine = false;
  bool checked = false;        // a check box, radio button or toggle button that is on
  bool indeterminate = false;  // ... that is neither on nor off
  // Inside web content (below a document, the document itself excluded):
  // only there are "class" and "id" the page's own.
  bool inWeb = false;

  std::string attribute(const std::string& key) const {
    auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  }
};

// An object with the children read below it: what the translation needs to
// make an element's children in the library's tree, where an inline
// element's text belongs to its parent.
struct AtspiObject {
  AtspiNode node;
  bool readable = true;  // false: the object did not answer; it stays an element whose reads fail
  // Its children as the bus lists them, hidden ones included; absent until read.
  std::optional<std::vector<std::shared_ptr<const AtspiObject>>> children;
};

}  // namespace zel::platform::atspi
