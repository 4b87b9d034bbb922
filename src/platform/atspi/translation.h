#pragma once
// The translation of AT-SPI objects into the macOS accessibility vocabulary
// the library reads: for each object, the element the macOS tree of the same
// page shows, and for each element, the children that tree gives it. One
// table of roles (with a few rows by HTML tag) carries every fact about a
// role; pure functions, so that recorded trees test it without a bus.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atspi/atspi_node.h"

namespace zel::platform::atspi {

// What differs between the toolkits that put their trees on the bus.
struct Toolkit {
  std::string name;  // the application's "ToolkitName"
  // Text runs are children of their own (Chromium); otherwise they sit in the
  // parent's text between U+FFFC marks (Gecko) and are made children here.
  bool textRunsAreChildren = true;
  // Containers of which only one is shown, the others holding preloaded,
  // hidden documents (Gecko's tab panels): the parent's tag, the container
  // class and the class of the one shown.
  std::string deckTag;
  std::string deckClass;
  std::string shownClass;
  // An object path names one object for the application's life, so an
  // object's role and attributes may be kept between reads. True of both
  // browsers: at-spi2-core's bridge, which they answer through, numbers an
  // object when it first hands it out and never gives a number again.
  bool pathsAreLasting = false;
};

// The row of a toolkit by its name; an unknown toolkit gets Chromium's rules,
// but nothing of it is kept between reads.
const Toolkit& toolkitNamed(std::string_view name);

// One element in the library's words.
struct Translation {
  std::string role;
  std::optional<std::string> subrole;
  std::optional<std::string> title;
  std::optional<std::string> desc;
  std::optional<std::string> value;
  std::vector<std::string> domClasses;  // web content only
  std::optional<std::string> domID;     // web content only
  std::optional<std::string> identifier;  // browser controls only
  std::optional<std::string> url;
  bool isDocument = false;  // its children are web content
  bool isWindow = false;
};

Translation translate(const AtspiNode& node);

// What an object is in the library's tree.
enum class Kind {
  element,  // an element of its own
  textRun,  // a run of text that is an object of its own (Chromium's text nodes): a static text
  // An inline element (em, code, strong, mark ...) or a container the page
  // never shows as one: no element of its own, its children (its text runs)
  // stand in its parent's list in its place.
  merged,
};
Kind kindOf(const AtspiNode& node);

// Whether the translation reads the object's text: a toolkit's that keeps
// text in the parent, everyone's text boxes.
bool readsText(const Toolkit& toolkit, const std::string& role);

// Whether the translation reads the object's states (a window's activity,
// a text box's lines, a check box's mark): the backend asks only for those.
bool readsStates(const std::string& role);

// One child of an element in the library's tree: an object below it (its own
// child, or one lifted out of a merged child) or a run of text its toolkit
// kept in the parent's text.
struct Piece {
  const AtspiObject* object = nullptr;
  std::string text;  // the run, when there is no object
};

// The children of an element in the library's tree, in order: its objects'
// children with merged ones replaced by their own pieces, hidden ones left
// out, the text runs a toolkit keeps in a parent made pieces of their own, and
// blank runs kept only between two pieces of inline text, where the page
// shows them. Absent when a merged child's children are not read yet.
std::optional<std::vector<Piece>> libraryChildren(const Toolkit& toolkit, const AtspiNode& parent,
                                                  const std::vector<std::shared_ptr<const AtspiObject>>& children);

// Whether an object is hidden from the user: Chromium keeps its hidden views
// and aria-hidden content on the bus, marked "hidden"; macOS leaves them out.
bool isHidden(const AtspiNode& node);

// Whether a child is a hidden deck container under this parent.
bool hiddenInDeck(const Toolkit& toolkit, const AtspiNode& parent, const AtspiNode& child);

// At most `longest` bytes of `text`, cut at a character boundary.
std::string boundedText(std::string text, size_t longest);

}  // namespace zel::platform::atspi
