#include "platform/atspi/translation.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "base/ax_vocabulary.h"
#include "base/limits.h"

namespace zel::platform::atspi {

namespace {

// ---- the tables ----

const std::array<Toolkit, 3> toolkits{{
    {"", true, "", "", "", false},
    {"Chromium", true, "", "", "", true},
    {"Gecko", false, "tabpanels", "browserSidebarContainer", "deck-selected", true},
}};

// Where an object's name goes on macOS.
enum class Name {
  title,     // always the title: windows, documents, menus, tabs
  contents,  // a name from the contents, a <label> or a caption is the title; an author's name the description
  ariaContents,  // as `contents`, but only for an element an ARIA role made (a list item's name is not shown)
  label,     // only an author's name (aria-label, alt), as the description
  description,  // always the description: a text box's name (its text is its value)
  unshown,   // not shown: the element is its text
};

// What an element's value is.
enum class Value {
  none,
  text,     // its text: a static text, a text box's contents, a list marker's "1. "
  level,    // a heading's level
  checked,  // "1" on, "0" off, "2" neither
};

enum class TextChild { no, content, always };

struct Row {
  std::string_view key;  // the AT-SPI role name, or the tag of a tag row
  std::string_view role;
  std::string_view subrole;  // empty: none, or what the ARIA role says
  Name name;
  Value value;
  Kind kind;
  // Whether its text is a child of its own: `content` where a toolkit keeps
  // text in the parent (Gecko) and it is made into static texts here; not
  // for a control, whose text is its caption or value, nor for a leaf that
  // is its own text; `always` for a list marker, whose text macOS shows
  // again as a static text below it.
  TextChild textChild;
};

using enum Name;
using enum Value;
constexpr TextChild no = TextChild::no, content = TextChild::content, always = TextChild::always;
constexpr Kind element = Kind::element, run = Kind::textRun, merged = Kind::merged;

// AT-SPI role → macOS role, as a browser maps its one tree to both.
constexpr std::array<Row, 64> roleTable{{
    {"application", AX::Application, "", title, none, element, no},
    {"frame", AX::Window, AX::StandardWindow, title, none, element, no},
    {"window", AX::Window, AX::StandardWindow, title, none, element, no},
    {"dialog", AX::Window, AX::Dialog, title, none, element, no},
    {"file chooser", AX::Window, AX::Dialog, title, none, element, no},
    {"alert", AX::Group, AX::ApplicationAlert, label, none, element, content},
    {"document web", AX::WebArea, "", title, none, element, content},
    {"document frame", AX::WebArea, "", title, none, element, content},
    {"document text", AX::WebArea, "", title, none, element, content},
    {"heading", AX::Heading, "", contents, level, element, content},
    {"paragraph", AX::Group, "", label, none, element, content},
    {"static", AX::StaticText, "", unshown, text, run, content},
    {"text", AX::StaticText, "", unshown, text, run, no},
    {"label", AX::StaticText, "", unshown, text, run, content},
    {"mark", AX::Group, "", label, none, merged, content},
    {"link", AX::Link, "", contents, none, element, content},
    {"push button", AX::Button, "", contents, none, element, no},
    {"button", AX::Button, "", contents, none, element, no},
    // The extractors know a toggle by the subrole Chrome gives it on macOS.
    {"toggle button", AX::CheckBox, AX::Toggle, contents, checked, element, no},
    {"check box", AX::CheckBox, "", contents, checked, element, no},
    {"radio button", AX::RadioButton, "", contents, checked, element, no},
    {"combo box", AX::ComboBox, "", label, none, element, no},
    {"entry", AX::TextField, "", description, text, element, no},
    {"password text", AX::TextField, AX::SecureTextField, description, text, element, no},
    {"spin button", AX::Incrementor, "", label, none, element, no},
    {"slider", AX::Slider, "", label, none, element, no},
    {"progress bar", AX::ProgressIndicator, "", label, none, element, no},
    {"image", AX::Image, "", label, none, element, no},
    {"list", AX::List, AX::ContentList, label, none, element, content},
    {"list box", AX::List, "", label, none, element, content},
    {"description list", AX::List, AX::DescriptionList, label, none, element, content},
    {"list item", AX::Group, "", ariaContents, none, element, content},
    {"table", AX::Table, "", contents, none, element, content},
    {"tree table", AX::Outline, "", label, none, element, content},
    {"table row", AX::Row, "", label, none, element, content},
    {"table cell", AX::Cell, "", contents, none, element, content},
    {"table column header", AX::Cell, "", contents, none, element, content},
    {"table row header", AX::Cell, "", contents, none, element, content},
    {"column header", AX::Cell, "", contents, none, element, content},
    {"row header", AX::Cell, "", contents, none, element, content},
    {"tool bar", AX::Toolbar, "", label, none, element, content},
    {"menu bar", AX::MenuBar, "", label, none, element, content},
    {"menu", AX::MenuBarItem, "", title, none, element, content},
    {"menu item", AX::MenuItem, "", title, none, element, content},
    {"check menu item", AX::MenuItem, "", title, none, element, content},
    {"radio menu item", AX::MenuItem, "", title, none, element, content},
    {"page tab list", AX::TabGroup, "", label, none, element, content},
    {"page tab", AX::RadioButton, AX::TabButton, title, none, element, content},
    {"scroll pane", AX::ScrollArea, "", label, none, element, content},
    {"scroll bar", AX::ScrollBar, "", label, none, element, no},
    {"separator", AX::Splitter, "", unshown, none, element, no},
    {"article", AX::Group, AX::DocumentArticle, label, none, element, content},
    {"landmark", AX::Group, "", label, none, element, content},
    {"status bar", AX::Group, AX::ApplicationStatus, label, none, element, content},
    {"footer", AX::Group, AX::SectionFooter, label, none, element, content},
    {"math", AX::Group, AX::DocumentMath, label, none, element, content},
    {"tree", AX::Outline, "", label, none, element, content},
    {"tree item", AX::Row, AX::OutlineRow, label, none, element, content},
    {"caption", AX::Group, "", label, none, element, content},
    {"block quote", AX::Group, "", label, none, element, content},
    {"section", AX::Group, "", label, none, element, content},
    {"panel", AX::Group, "", label, none, element, content},
    {"embedded", AX::Group, "", label, none, element, content},
    {"description value", AX::Group, "", label, none, element, content},
}};

// What a tag says beyond its role, in web content: elements the two
// toolkits give roles that macOS does not show them with.
constexpr std::array<Row, 6> tagTable{{
    // The marker keeps the blank after it, as the page shows "1. Models drift".
    {"::marker", AX::ListMarker, "", unshown, text, element, always},
    {"time", AX::Group, AX::TimeGroup, label, none, element, content},
    {"summary", AX::DisclosureTriangle, "", contents, none, element, content},
    {"img", AX::Image, "", label, none, element, no},
    {"dl", AX::List, AX::DescriptionList, label, none, element, content},
    // Gecko's shadow slot of <details>: the page's content, no container.
    {"slot", AX::Group, "", label, none, merged, content},
}};

// Roles a page's element has that mean something else in a browser's own
// controls.
constexpr std::array<Row, 1> webRoleTable{{
    {"menu", AX::Menu, "", label, none, element, content},
}};

// A role not in the table is a group.
constexpr Row otherRow{"", AX::Group, "", label, none, element, content};

// ARIA and HTML roles ("xml-roles") that macOS tells groups apart by.
struct SubroleRow {
  std::string_view xmlRole;
  std::string_view subrole;
};
constexpr std::array<SubroleRow, 17> subroleTable{{
    {"main", AX::LandmarkMain},
    {"navigation", AX::LandmarkNavigation},
    {"banner", AX::LandmarkBanner},
    {"complementary", AX::LandmarkComplementary},
    {"contentinfo", AX::LandmarkContentInfo},
    {"region", AX::LandmarkRegion},
    {"search", AX::LandmarkSearch},
    {"form", AX::LandmarkForm},
    {"application", AX::LandmarkApplication},
    {"article", AX::DocumentArticle},
    {"status", AX::ApplicationStatus},
    {"log", AX::ApplicationLog},
    {"alert", AX::ApplicationAlert},
    {"dialog", AX::ApplicationDialog},
    {"alertdialog", AX::ApplicationAlertDialog},
    {"note", AX::DocumentNote},
    {"time", AX::TimeGroup},
}};

template <size_t N>
const Row* find(const std::array<Row, N>& table, std::string_view key) {
  for (const auto& row : table)
    if (row.key == key) return &row;
  return nullptr;
}

const Row& rowOf(const AtspiNode& n) {
  if (n.inWeb) {
    if (const Row* tag = find(tagTable, n.attribute("tag"))) return *tag;
    if (const Row* role = find(webRoleTable, n.role)) return *role;
  }
  const Row* role = find(roleTable, n.role);
  return role ? *role : otherRow;
}

std::string_view subroleOf(std::string_view xmlRoles) {
  // The first ARIA role of a list is the one in force.
  const std::string_view first = xmlRoles.substr(0, xmlRoles.find(' '));
  for (const auto& row : subroleTable)
    if (row.xmlRole == first) return row.subrole;
  return {};
}

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

constexpr std::string_view objectMark = "\xEF\xBF\xBC";  // U+FFFC
constexpr std::string_view blanks = " \t\n\r";

bool isBlank(std::string_view text) { return text.find_first_not_of(blanks) == std::string_view::npos; }

// Chromium on Linux names an image without a description after a hint of
// its own; it is no part of the page. Names from contents carry it too.
constexpr std::string_view imageHint = "To get missing image descriptions, open the context menu.";

std::string withoutHint(std::string name) {
  for (size_t at = name.find(imageHint); at != std::string::npos; at = name.find(imageHint, at)) {
    size_t start = at, end = at + imageHint.size();
    if (start > 0 && name[start - 1] == ' ') --start;
    else if (end < name.size() && name[end] == ' ') ++end;
    name.erase(start, end - start);
  }
  return name;
}

// A name the author gave (aria-label, alt, title), not one taken from the
// contents, a <label> or a caption. Chromium says where a name came from;
// Gecko only that it did not come from the contents.
bool authorNamed(const AtspiNode& n) {
  const std::string from = n.attribute("name-from");
  if (!from.empty()) return from == "attribute";
  return n.attribute("explicit-name") == "true";
}

}  // namespace

const Toolkit& toolkitNamed(std::string_view name) {
  for (const auto& t : toolkits)
    if (t.name == name) return t;
  return toolkits[0];
}

Kind kindOf(const AtspiNode& n) {
  const Row& row = rowOf(n);
  // A text role with a tag is an element whose text runs are its children:
  // in a page an inline one (code, em, strong), in a browser's own controls
  // a group of its own.
  if (row.kind == Kind::textRun && !n.attribute("tag").empty()) return n.inWeb ? Kind::merged : Kind::element;
  return row.kind;
}

bool readsText(const Toolkit& toolkit, const std::string& role) {
  return !toolkit.textRunsAreChildren || role == "entry" || role == "password text" || role == "text";
}

bool readsStates(const std::string& role) {
  if (role == "frame" || role == "window" || role == "dialog" || role == "entry" || role == "text") return true;
  const Row* row = find(roleTable, role);
  return row && row->value == Value::checked;
}

Translation translate(const AtspiNode& n) {
  Translation out;
  const Row& row = rowOf(n);
  out.role = std::string(row.role);
  // A browser's own text element with a tag: a group, its text its children.
  const bool group = row.kind == Kind::textRun && kindOf(n) == Kind::element;
  if (group) out.role = AX::Group;
  out.isWindow = out.role == AX::Window;
  out.isDocument = out.role == AX::WebArea;
  std::string_view subrole = row.subrole;
  if (out.role == AX::TextField && n.multiLine) out.role = AX::TextArea;
  if (out.role == AX::Button && n.attribute("haspopup") == "menu") out.role = AX::PopUpButton;
  if (out.role == AX::Group)
    if (const std::string_view aria = subroleOf(n.attribute("xml-roles")); !aria.empty()) subrole = aria;
  if (!subrole.empty()) out.subrole = std::string(subrole);

  std::string name = withoutHint(n.name);
  if (!name.empty()) {
    const bool author = authorNamed(n);
    switch (row.name) {
      case Name::title: out.title = name; break;
      case Name::ariaContents:
        if (n.attribute("xml-roles").empty()) break;
        [[fallthrough]];
      case Name::contents:
        if (!author) {
          out.title = name;
          break;
        }
        // An author's name beside the contents: macOS shows both.
        out.desc = name;
        if (n.text && !isBlank(*n.text) && n.text->find(objectMark) == std::string::npos) out.title = *n.text;
        break;
      case Name::label:
        if (author) out.desc = name;
        break;
      case Name::description: out.desc = name; break;
      case Name::unshown: break;
    }
  }
  switch (group ? Value::none : row.value) {
    case Value::text:
      // A text box has no value until it holds text; a static text is its name when the toolkit gave no text.
      if (out.role == AX::TextField || out.role == AX::TextArea) {
        if (n.text) out.value = nonEmpty(*n.text);
      } else {
        out.value = nonEmpty(n.text ? *n.text : n.name);
      }
      break;
    case Value::level: out.value = nonEmpty(n.attribute("level")); break;
    case Value::checked: out.value = n.indeterminate ? "2" : n.checked ? "1" : "0"; break;
    case Value::none: break;
  }

  const std::string id = n.attribute("id");
  if (n.inWeb) {
    out.domClasses = words(n.attribute("class"));
    out.domID = nonEmpty(id);
  } else if (!out.isDocument) {
    out.identifier = nonEmpty(id);
  }
  if (n.address && (out.isDocument || out.role == AX::Link)) out.url = nonEmpty(*n.address);
  return out;
}

namespace {

// An object's own children and the runs of its text between them, where the
// toolkit keeps text in the parent. Runs are made only when the text's
// U+FFFC marks match the children one to one; otherwise the real children
// stand alone. `child` indexes the object's children.
struct Part {
  std::optional<size_t> child;
  std::string text;
};

std::vector<Part> parts(const Toolkit& toolkit, const AtspiNode& node, size_t childCount) {
  std::vector<Part> out;
  const TextChild textChild = rowOf(node).textChild;
  if (textChild == TextChild::always && childCount == 0) {
    const std::string& text = node.text ? *node.text : node.name;
    if (!text.empty()) out.push_back({std::nullopt, text});
    return out;
  }
  const bool keepsText = !toolkit.textRunsAreChildren && node.text && textChild == TextChild::content &&
                         kindOf(node) != Kind::textRun;
  if (keepsText) {
    const std::string& text = *node.text;
    size_t marks = 0;
    for (size_t at = text.find(objectMark); at != std::string::npos; at = text.find(objectMark, at + objectMark.size()))
      ++marks;
    if (marks == childCount) {
      size_t start = 0, child = 0;
      auto run = [&](size_t end) {
        if (end > start) out.push_back({std::nullopt, text.substr(start, end - start)});
      };
      for (size_t at = text.find(objectMark); at != std::string::npos; at = text.find(objectMark, start)) {
        run(at);
        out.push_back({child++, {}});
        start = at + objectMark.size();
      }
      run(text.size());
      return out;
    }
  }
  for (size_t i = 0; i < childCount; ++i) out.push_back({i, {}});
  return out;
}

bool lift(const Toolkit& toolkit, const AtspiNode& parent,
          const std::vector<std::shared_ptr<const AtspiObject>>& children, int depth, std::vector<Piece>& out) {
  for (Part& part : parts(toolkit, parent, children.size())) {
    if (!part.child) {
      out.push_back({nullptr, std::move(part.text)});
      continue;
    }
    const AtspiObject& child = *children[*part.child];
    if (child.readable) {
      if (isHidden(child.node) || hiddenInDeck(toolkit, parent, child.node)) continue;
      if (kindOf(child.node) == Kind::merged && depth < limits.inlineDepth) {
        if (!child.children) return false;
        if (!lift(toolkit, child.node, *child.children, depth + 1, out)) return false;
        continue;
      }
    }
    out.push_back({&child, {}});
  }
  return true;
}

// Text that flows on the line: a run, a text node, an inline element.
bool inlineText(const Piece& p) {
  if (!p.object) return true;
  if (!p.object->readable) return false;
  const AtspiNode& n = p.object->node;
  return kindOf(n) == Kind::textRun || n.attribute("display") == "inline";
}

const std::string* blankText(const Piece& p) {
  if (!p.object) return &p.text;
  if (!p.object->readable || kindOf(p.object->node) != Kind::textRun) return nullptr;
  return p.object->node.text ? &*p.object->node.text : &p.object->node.name;
}

}  // namespace

std::optional<std::vector<Piece>> libraryChildren(const Toolkit& toolkit, const AtspiNode& parent,
                                                  const std::vector<std::shared_ptr<const AtspiObject>>& children) {
  std::vector<Piece> all;
  if (!lift(toolkit, parent, children, 0, all)) return std::nullopt;
  // A blank between two pieces of text on one line is a space the reader
  // sees; beside a block, a control or at either end it is layout.
  std::vector<Piece> out;
  out.reserve(all.size());
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string* text = blankText(all[i]);
    if (text && isBlank(*text) &&
        !(i > 0 && i + 1 < all.size() && inlineText(all[i - 1]) && inlineText(all[i + 1])))
      continue;
    out.push_back(std::move(all[i]));
  }
  return out;
}

bool isHidden(const AtspiNode& node) { return node.attribute("hidden") == "true"; }

bool hiddenInDeck(const Toolkit& toolkit, const AtspiNode& parent, const AtspiNode& child) {
  if (toolkit.deckTag.empty() || parent.attribute("tag") != toolkit.deckTag) return false;
  const auto classes = words(child.attribute("class"));
  const auto has = [&](const std::string& c) { return std::find(classes.begin(), classes.end(), c) != classes.end(); };
  return has(toolkit.deckClass) && !has(toolkit.shownClass);
}

std::string boundedText(std::string text, size_t longest) {
  if (text.size() <= longest) return text;
  size_t end = longest;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace zel::platform::atspi
