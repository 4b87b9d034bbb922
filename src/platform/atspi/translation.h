#pragma once
// The translation of AT-SPI objects into the macOS accessibility vocabulary
// the library reads, following the tree a browser builds for the same page on
// macOS. One table of roles and a few rules on top of it; pure functions, so
// that recorded trees test it without a bus.

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
};

// The row of a toolkit by its name; an unknown toolkit gets Chromium's rules.
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

// A text run: an element that is its own text (Chromium's text nodes).
bool isTextRun(const AtspiNode& node);

// A child of an element in the library's tree: one of its real children (by
// index) or a run of its text that the toolkit did not make a child.
struct Piece {
  std::optional<size_t> child;
  std::string text;
};

// The children of an element as the library sees them: every real child in
// order, with the element's own text runs between them where the toolkit
// keeps text in the parent. Runs are made only when the text's U+FFFC marks
// match the children one to one; otherwise the real children stand alone.
std::vector<Piece> pieces(const Toolkit& toolkit, const AtspiNode& node, size_t childCount);

// Whether an object is hidden from the user: Chromium keeps its hidden views
// and aria-hidden content on the bus, marked "hidden"; macOS leaves them out.
bool isHidden(const AtspiNode& node);

// Whether a child is a hidden deck container under this parent.
bool hiddenInDeck(const Toolkit& toolkit, const AtspiNode& parent, const AtspiNode& child);

// At most `longest` bytes of `text`, cut at a character boundary.
std::string boundedText(std::string text, size_t longest);

}  // namespace zel::platform::atspi
