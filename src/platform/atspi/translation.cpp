#include "platform/atspi/translation.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace zel::platform::atspi {

namespace {

// ---- the tables ----

const std::array<Toolkit, 2> toolkits{{
    {"Chromium", true, "", "", ""},
    {"Gecko", false, "tabpanels", "browserSidebarContainer", "deck-selected"},
}};

// How a title reaches the library: macOS puts a window's, a document's, a
// menu's or a tab's name in "AXTitle", and an author's label of anything else
// in "AXDescription"; a name taken from the contents is left to the children.
enum class Name { title, label, none };

struct RoleRow {
  std::string_view atspi;
  std::string_view role;
  std::string_view subrole;  // empty: none
  Name name;
};

// AT-SPI role → macOS role, as a browser maps its one tree to both. A role not
// in the table is a group.
constexpr std::array<RoleRow, 57> roleTable{{
    {"application", "AXApplication", "", Name::title},
    {"frame", "AXWindow", "AXStandardWindow", Name::title},
    {"window", "AXWindow", "AXStandardWindow", Name::title},
    {"dialog", "AXWindow", "AXDialog", Name::title},
    {"alert", "AXGroup", "AXApplicationAlert", Name::label},
    {"file chooser", "AXWindow", "AXDialog", Name::title},
    {"document web", "AXWebArea", "", Name::title},
    {"document frame", "AXWebArea", "", Name::title},
    {"document text", "AXWebArea", "", Name::title},
    {"heading", "AXHeading", "", Name::label},
    {"paragraph", "AXGroup", "", Name::label},
    {"static", "AXStaticText", "", Name::none},
    {"text", "AXStaticText", "", Name::none},
    {"label", "AXStaticText", "", Name::none},
    {"link", "AXLink", "", Name::label},
    {"push button", "AXButton", "", Name::label},
    {"button", "AXButton", "", Name::label},
    {"toggle button", "AXCheckBox", "AXToggle", Name::label},
    {"check box", "AXCheckBox", "", Name::title},
    {"radio button", "AXRadioButton", "", Name::title},
    {"combo box", "AXComboBox", "", Name::label},
    {"entry", "AXTextField", "", Name::label},
    {"password text", "AXTextField", "AXSecureTextField", Name::label},
    {"spin button", "AXIncrementor", "", Name::label},
    {"slider", "AXSlider", "", Name::label},
    {"progress bar", "AXProgressIndicator", "", Name::label},
    {"image", "AXImage", "", Name::label},
    {"list", "AXList", "", Name::label},
    {"list box", "AXList", "", Name::label},
    {"description list", "AXList", "AXDescriptionList", Name::label},
    {"list item", "AXGroup", "", Name::label},
    {"table", "AXTable", "", Name::label},
    {"tree table", "AXOutline", "", Name::label},
    {"table row", "AXRow", "", Name::label},
    {"table cell", "AXCell", "", Name::label},
    {"table column header", "AXCell", "", Name::label},
    {"table row header", "AXCell", "", Name::label},
    {"column header", "AXCell", "", Name::label},
    {"row header", "AXCell", "", Name::label},
    {"tool bar", "AXToolbar", "", Name::label},
    {"menu bar", "AXMenuBar", "", Name::label},
    {"menu", "AXMenuBarItem", "", Name::title},
    {"menu item", "AXMenuItem", "", Name::title},
    {"check menu item", "AXMenuItem", "", Name::title},
    {"radio menu item", "AXMenuItem", "", Name::title},
    {"page tab list", "AXTabGroup", "", Name::label},
    {"page tab", "AXRadioButton", "AXTabButton", Name::title},
    {"scroll pane", "AXScrollArea", "", Name::label},
    {"scroll bar", "AXScrollBar", "", Name::label},
    {"separator", "AXSplitter", "", Name::none},
    {"article", "AXGroup", "AXDocumentArticle", Name::label},
    {"landmark", "AXGroup", "", Name::label},
    {"status bar", "AXGroup", "AXApplicationStatus", Name::label},
    {"footer", "AXGroup", "AXSectionFooter", Name::label},
    {"math", "AXGroup", "AXDocumentMath", Name::label},
    {"tree", "AXOutline", "", Name::label},
    {"tree item", "AXRow", "AXOutlineRow", Name::label},
}};

// ARIA and HTML roles ("xml-roles") that macOS tells apart by subrole.
struct SubroleRow {
  std::string_view xmlRole;
  std::string_view subrole;
};
constexpr std::array<SubroleRow, 16> subroleTable{{
    {"main", "AXLandmarkMain"},
    {"navigation", "AXLandmarkNavigation"},
    {"banner", "AXLandmarkBanner"},
    {"complementary", "AXLandmarkComplementary"},
    {"contentinfo", "AXLandmarkContentInfo"},
    {"region", "AXLandmarkRegion"},
    {"search", "AXLandmarkSearch"},
    {"form", "AXLandmarkForm"},
    {"article", "AXDocumentArticle"},
    {"status", "AXApplicationStatus"},
    {"log", "AXApplicationLog"},
    {"alert", "AXApplicationAlert"},
    {"dialog", "AXApplicationDialog"},
    {"alertdialog", "AXApplicationAlertDialog"},
    {"note", "AXDocumentNote"},
    {"time", "AXTimeGroup"},
}};

const RoleRow* roleRow(std::string_view atspi) {
  for (const auto& row : roleTable)
    if (row.atspi == atspi) return &row;
  return nullptr;
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

std::string trimmed(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t\n\r");
  if (start == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t\n\r");
  return std::string(text.substr(start, end - start + 1));
}

bool authorNamed(const AtspiNode& n) {
  return n.attribute("explicit-name") == "true" || n.attribute("name-from") == "attribute";
}

}  // namespace

const Toolkit& toolkitNamed(std::string_view name) {
  for (const auto& t : toolkits)
    if (t.name == name) return t;
  return toolkits[0];
}

bool isTextRun(const AtspiNode& n) {
  // Chromium's text nodes carry no tag; an inline element with a tag is a
  // group of its own, as on macOS.
  return (n.role == "static" || n.role == "text" || n.role == "label") && n.attribute("tag").empty();
}

Translation translate(const AtspiNode& n) {
  Translation out;
  const RoleRow* row = roleRow(n.role);
  out.role = row ? std::string(row->role) : "AXGroup";
  if (row && !row->subrole.empty()) out.subrole = std::string(row->subrole);
  const Name naming = row ? row->name : Name::label;
  out.isWindow = out.role == "AXWindow";
  out.isDocument = out.role == "AXWebArea";

  const std::string tag = n.attribute("tag");
  if (out.role == "AXStaticText" && !isTextRun(n)) {
    // An inline element (code, em, time) or a list marker.
    if (tag == "::marker") {
      out.role = "AXListMarker";
      out.title = nonEmpty(trimmed(n.text.value_or(n.name)));
    } else {
      out.role = "AXGroup";
    }
  }
  if (out.role == "AXTextField" && n.multiLine) out.role = "AXTextArea";
  if (out.role == "AXButton" && n.attribute("haspopup") == "menu") out.role = "AXPopUpButton";
  if (out.role == "AXGroup") {
    std::string_view sub = subroleOf(n.attribute("xml-roles"));
    if (sub.empty() && tag == "time") sub = "AXTimeGroup";
    if (!sub.empty()) out.subrole = std::string(sub);
  }

  if (out.role == "AXStaticText") {
    out.value = nonEmpty(n.text ? *n.text : n.name);
  } else if (out.role == "AXTextField" || out.role == "AXTextArea") {
    if (n.text) out.value = nonEmpty(*n.text);
    if (!n.name.empty()) out.desc = n.name;
  } else if (!out.title && !n.name.empty()) {
    if (naming == Name::title) out.title = n.name;
    else if (naming == Name::label && (authorNamed(n) || out.role == "AXImage")) out.desc = n.name;
  }

  const std::string id = n.attribute("id");
  if (n.inWeb) {
    out.domClasses = words(n.attribute("class"));
    out.domID = nonEmpty(id);
  } else if (!out.isDocument) {
    out.identifier = nonEmpty(id);
  }
  if (n.address && (out.isDocument || out.role == "AXLink")) out.url = nonEmpty(*n.address);
  return out;
}

// Roles whose text is their value or label rather than content of their own:
// a text box's text, a button's caption (its children are presentational).
constexpr std::array<std::string_view, 12> textIsNoChild{
    "entry",  "password text", "text",      "push button", "toggle button", "check box",
    "radio button", "image",   "slider", "progress bar", "separator", "scroll bar"};

std::vector<Piece> pieces(const Toolkit& toolkit, const AtspiNode& node, size_t childCount) {
  std::vector<Piece> out;
  const bool keepsText = !toolkit.textRunsAreChildren && node.text && !isTextRun(node) &&
                         std::find(textIsNoChild.begin(), textIsNoChild.end(), node.role) == textIsNoChild.end() &&
                         node.attribute("tag") != "::marker";
  if (keepsText) {
    const std::string& text = *node.text;
    size_t marks = 0;
    for (size_t at = text.find(objectMark); at != std::string::npos; at = text.find(objectMark, at + objectMark.size()))
      ++marks;
    if (marks == childCount) {
      size_t start = 0, child = 0;
      auto run = [&](size_t end) {
        std::string piece = text.substr(start, end - start);
        if (piece.find_first_not_of(" \t\n\r") != std::string::npos) out.push_back({std::nullopt, std::move(piece)});
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
