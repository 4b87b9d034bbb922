// The Linux backend without a bus: the translation over recorded AT-SPI
// trees of real Chromium and Firefox windows, the process table, the
// language of an environment and the executable trust.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <tuple>
#include <iostream>
#include <sstream>
#include <fstream>
#include <nlohmann/json.hpp>

#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/claude/claude_extractor.h"
#include "chat/grok/grok_extractor.h"
#include "platform/atspi/executable_trust.h"
#include "platform/atspi/object_mirror.h"
#include "platform/atspi/processes.h"
#include "platform/atspi/reply_reader.h"
#include "platform/atspi/switch_record.h"
#include "platform/atspi/translation.h"
#include "support/chats.h"
#include "support/trees.h"
#include "support/temp_dir.h"

using namespace zel::trees;
using namespace zel::chat;

namespace zel::platform::atspi {
namespace {

using nlohmann::json;

AtspiNode nodeOf(const json& j, bool inWeb) {
  AtspiNode n;
  n.role = j.value("role", "");
  n.name = j.value("name", "");
  n.description = j.value("description", "");
  const json attributes = j.value("attributes", json::object());
  for (auto& [k, v] : attributes.items()) n.attributes[k] = v.get<std::string>();
  if (j.contains("text")) n.text = j["text"].get<std::string>();
  if (j.contains("address")) n.address = j["address"].get<std::string>();
  const json states = j.value("states", json::array());
  for (const auto& s : states) {
    if (s == "active") n.active = true;
    if (s == "multi-line") n.multiLine = true;
    if (s == "checked" || s == "pressed") n.checked = true;
    if (s == "indeterminate") n.indeterminate = true;
  }
  n.inWeb = inWeb;
  return n;
}

// A recorded object with everything below it read, as the backend reads it:
// the recorder takes every object's text, the backend only what the
// translation needs.
std::shared_ptr<const AtspiObject> objectOf(const json& j, bool inWeb, const Toolkit& toolkit) {
  auto o = std::make_shared<AtspiObject>();
  o->node = nodeOf(j, inWeb);
  if (!readsText(toolkit, o->node.role)) o->node.text.reset();
  const bool web = inWeb || translate(o->node).isDocument;
  auto& children = o->children.emplace();
  for (const json& child : j.value("children", json::array())) children.push_back(objectOf(child, web, toolkit));
  return o;
}

AXNode libraryTree(const AtspiObject& o, const Toolkit& toolkit) {
  const Translation t = translate(o.node);
  AXNode out;
  out.role = t.role;
  out.subrole = t.subrole;
  out.title = t.title;
  out.desc = t.desc;
  out.value = t.value;
  out.domClasses = t.domClasses;
  out.domID = t.domID;
  out.url = t.url;
  const auto pieces = libraryChildren(toolkit, o.node, *o.children);
  EXPECT_TRUE(pieces) << "everything below was read";
  for (const Piece& p : pieces.value_or(std::vector<Piece>{})) {
    if (p.object) {
      out.children.push_back(libraryTree(*p.object, toolkit));
      continue;
    }
    AXNode run;
    run.role = "AXStaticText";
    run.value = p.text;
    out.children.push_back(std::move(run));
  }
  return out;
}

// A recorded window as the backend hands it to the library: the same
// translation, text runs, inline elements and hidden decks as a live read.
AXNode libraryTree(const json& j, const Toolkit& toolkit) { return libraryTree(*objectOf(j, false, toolkit), toolkit); }

json recorded(const std::string& name) {
  std::ifstream in(std::string(ZEL_FIXTURES) + "/atspi/" + name);
  return json::parse(in);
}

// ---- recorded windows and the macOS tree of the same page ----

const AXNode* webArea(const AXNode& window) {
  return window.first([](const AXNode& n) { return n.role == "AXWebArea"; });
}

// What macOS shows of a page and Linux cannot: the columns and header group
// macOS makes up for a table, and a control's caption beside its author's
// name (Chromium tells a control's text on Linux only when asked for it,
// which a read does not do for every button).
void leaveOutWhatOnlyMacOSShows(AXNode& n) {
  if (n.role == "AXTable")
    std::erase_if(n.children, [](const AXNode& c) {
      return c.role == "AXColumn" || (c.role == "AXGroup" && c.children.empty() && !c.subrole);
    });
  if ((n.role == "AXButton" || n.role == "AXLink") && n.desc) n.title.reset();
  for (AXNode& c : n.children) leaveOutWhatOnlyMacOSShows(c);
}

// Where two trees first differ, or nothing.
std::string difference(const AXNode& got, const AXNode& expected, const std::string& at = "") {
  const std::string here = at + "/" + expected.role.value_or("?");
  auto show = [](const std::optional<std::string>& v) { return v ? "'" + *v + "'" : std::string("none"); };
  const std::vector<std::tuple<const char*, const std::optional<std::string>*, const std::optional<std::string>*>>
      attributes = {{"role", &got.role, &expected.role},    {"subrole", &got.subrole, &expected.subrole},
                    {"title", &got.title, &expected.title}, {"desc", &got.desc, &expected.desc},
                    {"value", &got.value, &expected.value}, {"domID", &got.domID, &expected.domID},
                    {"url", &got.url, &expected.url}};
  for (const auto& [name, g, e] : attributes)
    if (*g != *e) return here + " " + name + ": " + show(*g) + ", macOS " + show(*e);
  if (got.domClasses != expected.domClasses) return here + " classes differ";
  for (size_t i = 0; i < std::min(got.children.size(), expected.children.size()); ++i)
    if (auto d = difference(got.children[i], expected.children[i], here + "[" + std::to_string(i) + "]"); !d.empty())
      return d;
  if (got.children.size() != expected.children.size())
    return here + " " + std::to_string(got.children.size()) + " children, macOS " +
           std::to_string(expected.children.size());
  return {};
}

// Attributes compared: role, subrole, title, description and value.
size_t attributesOf(const AXNode& tree) {
  size_t count = 0;
  for (const AXNode* n : tree.preorder())
    for (const auto* a : {&n->role, &n->subrole, &n->title, &n->desc, &n->value}) count += a->has_value();
  return count;
}

TEST(MacOSTree, ChromiumPagesTranslateToTheTreeMacOSShowsForThem) {
  for (const char* page : {"markup", "claude", "chatgpt", "grok"}) {
    const AXNode mac = test::fixtureWindow(std::string("atspi/") + page + "_mac.json");
    const AXNode window = libraryTree(recorded(std::string("chromium_") + page + ".json"), toolkitNamed("Chromium"));
    const AXNode* ours = webArea(window);
    ASSERT_TRUE(ours) << page;
    AXNode comparable = mac;
    leaveOutWhatOnlyMacOSShows(comparable);
    EXPECT_EQ(difference(*ours, comparable), "") << page;
    std::cout << page << ": " << attributesOf(comparable) << " of the macOS tree's " << attributesOf(mac)
              << " attributes shown on Linux\n";
  }
}

// The conversation a person reads on each chat page (conversations.json), in
// both browsers, is the one the extractors read from the macOS tree of the
// page. Firefox has no Grok row; its page is read by the extractor alone.
TEST(MacOSTree, EachChatPageGivesTheSameConversationInEitherBrowserAsOnMacOS) {
  const json reads = recorded("conversations.json");
  using Extract = std::function<std::optional<Conversation>(const AXNode&)>;
  const std::vector<std::pair<const char*, Extract>> sites = {
      {"claude", [](const AXNode& w) { return ClaudeExtractor(Source::claudeWeb, test::fixedClock()).extract(w); }},
      {"chatgpt", [](const AXNode& w) { return ChatGPTExtractor(Source::chatGPTWeb, test::fixedClock()).extract(w); }},
      {"grok", [](const AXNode& w) { return GrokExtractor(test::fixedClock()).extract(w); }},
  };
  const auto turns = [](const std::optional<Conversation>& c) {
    json out = json::array();
    if (c)
      for (const Turn& t : c->turns) out.push_back({t.role == Turn::Role::user ? "user" : "assistant", t.text});
    return out;
  };
  for (const auto& [page, extract] : sites) {
    const auto mac = extract(test::fixtureWindow(std::string("atspi/") + page + "_mac.json"));
    ASSERT_TRUE(mac) << page;
    EXPECT_EQ(turns(mac), reads.at(page)) << page;
    for (const auto& [browser, toolkit] : {std::pair{"chromium", "Chromium"}, std::pair{"firefox", "Gecko"}}) {
      const auto c = extract(libraryTree(recorded(std::string(browser) + "_" + page + ".json"), toolkitNamed(toolkit)));
      ASSERT_TRUE(c) << browser << " " << page;
      EXPECT_EQ(turns(c), reads.at(page)) << browser << " " << page;
      EXPECT_EQ(c->locator, mac->locator) << browser << " " << page;
      EXPECT_EQ(c->title, mac->title) << browser << " " << page;
    }
  }
}

class Recorded : public ::testing::TestWithParam<const char*> {};

TEST_P(Recorded, BrowserControlsNeverCarryPageClassesOrIdentifiers) {
  const AXNode window = libraryTree(recorded(std::string(GetParam()) + "_claude.json"),
                                    toolkitNamed(std::string(GetParam()) == "firefox" ? "Gecko" : "Chromium"));
  ASSERT_EQ(window.role, "AXWindow");
  const AXNode* page = webArea(window);
  ASSERT_TRUE(page);
  std::set<const AXNode*> inPage;
  for (const AXNode* n : page->preorder()) inPage.insert(n);
  size_t controls = 0;
  for (const AXNode* n : window.preorder()) {
    if (inPage.contains(n)) continue;
    ++controls;
    EXPECT_TRUE(n->domClasses.empty()) << n->domClasses.front();
    EXPECT_FALSE(n->domID) << *n->domID;
  }
  EXPECT_GT(controls, 20u);  // the browser's own controls were there to leak
  EXPECT_TRUE(page->first([](const AXNode& n) { return n.hasClass("font-claude-message"); }));
}

INSTANTIATE_TEST_SUITE_P(Atspi, Recorded, ::testing::Values("chromium", "firefox"));

// ---- single objects ----

struct Case {
  const char* what;
  json node;
  bool inWeb;
  json expected;  // role, subrole, title, desc, value, classes, domID, identifier, url
};

json summary(const Translation& t) {
  json j{{"role", t.role}};
  if (t.subrole) j["subrole"] = *t.subrole;
  if (t.title) j["title"] = *t.title;
  if (t.desc) j["desc"] = *t.desc;
  if (t.value) j["value"] = *t.value;
  if (!t.domClasses.empty()) j["classes"] = t.domClasses;
  if (t.domID) j["domID"] = *t.domID;
  if (t.identifier) j["identifier"] = *t.identifier;
  if (t.url) j["url"] = *t.url;
  return j;
}

TEST(Translation, ObjectsTranslateAsTheBrowserTranslatesThemForMacOS) {
  const std::vector<Case> cases = {
      {"a Chromium text node", {{"role", "static"}, {"name", "Hello"}, {"text", "Hello"}}, true,
       {{"role", "AXStaticText"}, {"value", "Hello"}}},
      {"a list marker keeps the blank after it", {{"role", "static"}, {"attributes", {{"tag", "::marker"}}}, {"text", "1. "}},
       true, {{"role", "AXListMarker"}, {"value", "1. "}}},
      {"a time element", {{"role", "static"}, {"attributes", {{"tag", "time"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXTimeGroup"}}},
      {"a main landmark with classes",
       {{"role", "landmark"}, {"attributes", {{"xml-roles", "main"}, {"class", "a  b"}, {"id", "m"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXLandmarkMain"}, {"classes", {"a", "b"}}, {"domID", "m"}}},
      {"an application landmark", {{"role", "embedded"}, {"attributes", {{"xml-roles", "application"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXLandmarkApplication"}}},
      {"a region named by its author",
       {{"role", "landmark"}, {"name", "Notes"}, {"attributes", {{"xml-roles", "region"}, {"name-from", "attribute"}}}},
       true, {{"role", "AXGroup"}, {"subrole", "AXLandmarkRegion"}, {"desc", "Notes"}}},
      {"an article named by its author",
       {{"role", "article"}, {"name", "Message 1 of 4"}, {"attributes", {{"explicit-name", "true"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXDocumentArticle"}, {"desc", "Message 1 of 4"}}},
      {"a heading: its name from its contents and its level",
       {{"role", "heading"}, {"name", "You said:"}, {"attributes", {{"level", "2"}, {"name-from", "contents"}}}}, true,
       {{"role", "AXHeading"}, {"title", "You said:"}, {"value", "2"}}},
      {"a link named from its contents", {{"role", "link"}, {"name", "Docs"}}, true,
       {{"role", "AXLink"}, {"title", "Docs"}}},
      {"a link named by its author", {{"role", "link"}, {"name", "Home"}, {"attributes", {{"name-from", "attribute"}}}},
       true, {{"role", "AXLink"}, {"desc", "Home"}}},
      {"a button's caption", {{"role", "push button"}, {"name", "Send"}}, true, {{"role", "AXButton"}, {"title", "Send"}}},
      {"a button's caption beside its author's name",
       {{"role", "push button"}, {"name", "Copy"}, {"text", "\u29c9"}, {"attributes", {{"name-from", "attribute"}}}}, true,
       {{"role", "AXButton"}, {"title", "\u29c9"}, {"desc", "Copy"}}},
      {"a pressed toggle button", {{"role", "toggle button"}, {"name", "Bold"}, {"states", {"pressed"}}}, true,
       {{"role", "AXCheckBox"}, {"subrole", "AXToggle"}, {"title", "Bold"}, {"value", "1"}}},
      {"a check box named by its <label>",
       {{"role", "check box"}, {"name", "Agree"}, {"attributes", {{"explicit-name", "true"}, {"name-from", "related-element"}}}},
       true, {{"role", "AXCheckBox"}, {"title", "Agree"}, {"value", "0"}}},
      {"a mixed check box named by aria-label",
       {{"role", "check box"}, {"name", "All"}, {"attributes", {{"name-from", "attribute"}}}, {"states", {"indeterminate"}}},
       true, {{"role", "AXCheckBox"}, {"desc", "All"}, {"value", "2"}}},
      {"a checked radio button", {{"role", "radio button"}, {"name", "A"}, {"states", {"checked"}}}, true,
       {{"role", "AXRadioButton"}, {"title", "A"}, {"value", "1"}}},
      {"an image's alternative text", {{"role", "image"}, {"name", "pic"}, {"attributes", {{"name-from", "attribute"}}}},
       true, {{"role", "AXImage"}, {"desc", "pic"}}},
      {"Gecko's image in a link", {{"role", "static"}, {"name", "pic"}, {"attributes", {{"tag", "img"}, {"explicit-name", "true"}}}},
       true, {{"role", "AXImage"}, {"desc", "pic"}}},
      {"Chromium's hint on an unnamed image is no description",
       {{"role", "image"}, {"name", "To get missing image descriptions, open the context menu."}}, true,
       {{"role", "AXImage"}}},
      {"... nor part of a name from contents",
       {{"role", "link"}, {"name", "To get missing image descriptions, open the context menu. Profile"}}, true,
       {{"role", "AXLink"}, {"title", "Profile"}}},
      {"a list", {{"role", "list"}, {"attributes", {{"tag", "ul"}}}}, true, {{"role", "AXList"}, {"subrole", "AXContentList"}}},
      {"Gecko's description list", {{"role", "list"}, {"attributes", {{"tag", "dl"}}}}, true,
       {{"role", "AXList"}, {"subrole", "AXDescriptionList"}}},
      {"a list item's name is not shown", {{"role", "list item"}, {"name", "1. Models drift"}}, true, {{"role", "AXGroup"}}},
      {"... unless an ARIA role made it",
       {{"role", "list item"}, {"name", "Item"}, {"attributes", {{"xml-roles", "listitem"}}}}, true,
       {{"role", "AXGroup"}, {"title", "Item"}}},
      {"a table named by its caption",
       {{"role", "table"}, {"name", "Cap"}, {"attributes", {{"explicit-name", "true"}, {"name-from", "caption"}}}}, true,
       {{"role", "AXTable"}, {"title", "Cap"}}},
      {"a header cell", {{"role", "column header"}, {"name", "Head"}}, true, {{"role", "AXCell"}, {"title", "Head"}}},
      {"a summary is a disclosure triangle", {{"role", "toggle button"}, {"name", "More"}, {"attributes", {{"tag", "summary"}}}},
       true, {{"role", "AXDisclosureTriangle"}, {"title", "More"}}},
      {"a status", {{"role", "status bar"}}, true, {{"role", "AXGroup"}, {"subrole", "AXApplicationStatus"}}},
      {"a browser's own label with a tag is a group",
       {{"role", "label"}, {"name", "Private browsing"}, {"attributes", {{"tag", "label"}}}}, false, {{"role", "AXGroup"}}},
      {"a menu button", {{"role", "push button"}, {"name", "More"}, {"attributes", {{"haspopup", "menu"}}}}, true,
       {{"role", "AXPopUpButton"}, {"title", "More"}}},
      {"a multi-line text box", {{"role", "entry"}, {"text", "draft"}, {"states", {"multi-line"}}}, true,
       {{"role", "AXTextArea"}, {"value", "draft"}}},
      {"a link and its target", {{"role", "link"}, {"address", "https://x.com/a"}}, true,
       {{"role", "AXLink"}, {"url", "https://x.com/a"}}},
      {"a document and its address", {{"role", "document web"}, {"name", "T"}, {"address", "https://a.b/"}}, false,
       {{"role", "AXWebArea"}, {"title", "T"}, {"url", "https://a.b/"}}},
      {"a browser window", {{"role", "frame"}, {"name", "T - Chromium"}, {"attributes", {{"class", "BrowserRootView"}}}},
       false, {{"role", "AXWindow"}, {"subrole", "AXStandardWindow"}, {"title", "T - Chromium"}}},
      {"a browser control keeps its id as an identifier, never a DOM id",
       {{"role", "push button"}, {"name", "End private session"}, {"attributes",
        {{"id", "reset-pbm-toolbar-button"}, {"class", "toolbarbutton-1"}, {"explicit-name", "true"}}}},
       false, {{"role", "AXButton"}, {"desc", "End private session"}, {"identifier", "reset-pbm-toolbar-button"}}},
      {"a Firefox menu of the menu bar", {{"role", "menu"}, {"name", "File"}}, false,
       {{"role", "AXMenuBarItem"}, {"title", "File"}}},
      {"an unknown role is a group", {{"role", "no such role"}}, true, {{"role", "AXGroup"}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(summary(translate(nodeOf(c.node, c.inWeb))), c.expected) << c.what;
}

// An element's children in the library's tree: "[name]" for an object, 'text'
// for a run of text; "unread" when a merged child's children are missing.
std::string piecesOf(const Toolkit& toolkit, const json& node) {
  const auto o = objectOf(node, true, toolkit);
  const auto pieces = libraryChildren(toolkit, o->node, *o->children);
  if (!pieces) return "unread";
  std::string out;
  for (const Piece& p : *pieces) out += p.object ? "[" + p.object->node.name + "]" : "'" + p.text + "'";
  return out;
}

// Plain containers for the parts, so that a single child or attribute is never
// taken for the JSON value itself.
json obj(const char* role, const char* name, const std::map<std::string, std::string>& attributes = {},
         const std::vector<json>& children = {}) {
  json out = json::object();
  out["role"] = role;
  out["name"] = name;
  out["attributes"] = json::object();
  for (const auto& [k, v] : attributes) out["attributes"][k] = v;
  out["children"] = json::array();
  for (const json& c : children) out["children"].push_back(c);
  return out;
}
json withText(json node, const char* text) {
  node["text"] = text;
  return node;
}

TEST(Translation, AnElementsChildrenAreWhatTheReaderSeesInOrder) {
  const Toolkit& gecko = toolkitNamed("Gecko");
  const Toolkit& chromium = toolkitNamed("Chromium");
  const std::map<std::string, std::string> inlineBlock{{"display", "inline-block"}};
  const std::map<std::string, std::string> inlineLevel{{"display", "inline"}};
  struct Trial {
    const char* what;
    const Toolkit& toolkit;
    json node;
    const char* expected;
  };
  const std::vector<Trial> trials = {
      {"Gecko's text runs become children between the embedded objects", gecko,
       withText(obj("paragraph", "p", {}, {obj("link", "a"), obj("link", "b")}), "Say \xEF\xBF\xBC and \xEF\xBF\xBC."),
       "'Say '[a]' and '[b]'.'"},
      {"Chromium's runs are children already", chromium,
       withText(obj("paragraph", "p", {}, {obj("link", "a"), obj("link", "b")}), "Say \xEF\xBF\xBC and \xEF\xBF\xBC."),
       "[a][b]"},
      {"marks and children that do not match: the children alone, no text guessed", gecko,
       withText(obj("paragraph", "p", {}, {obj("link", "a")}), "Say \xEF\xBF\xBC and \xEF\xBF\xBC."), "[a]"},
      {"a heading's text", gecko, withText(obj("heading", "h"), "You said:"), "'You said:'"},
      {"a text box's text is its value", gecko, withText(obj("entry", "e"), "draft"), ""},
      {"a button's caption is its title", gecko, withText(obj("push button", "b"), "E"), ""},
      {"Chromium's inline element gives its text runs to the block", chromium,
       obj("paragraph", "p", {},
           {obj("static", "One word is "), obj("static", "", {{"tag", "em"}}, {obj("static", "emphasized")}),
            obj("static", ".")}),
       "[One word is ][emphasized][.]"},
      {"Gecko's inline element gives its text to the block", gecko,
       withText(obj("paragraph", "p", {},
                    {withText(obj("static", "", {{"tag", "code"}, {"display", "inline"}}), "three")}),
                "in \xEF\xBF\xBC points"),
       "'in ''three'' points'"},
      {"inline elements inside inline elements, a link kept whole", chromium,
       obj("paragraph", "p", {},
           {obj("static", "", {{"tag", "strong"}},
                {obj("static", "", {{"tag", "code"}}, {obj("static", "x")}), obj("link", "go")})}),
       "[x][go]"},
      {"a blank between two inline pieces is kept, beside a block or a control it is not", gecko,
       withText(obj("section", "s", {},
                    {obj("link", "a", inlineLevel), obj("link", "b", inlineLevel), obj("push button", "c", inlineBlock),
                     obj("paragraph", "d")}),
                " \xEF\xBF\xBC \xEF\xBF\xBC \xEF\xBF\xBC\n\xEF\xBF\xBC\n"),
       "[a]' '[b][c][d]"},
      {"Chromium's blank text nodes follow the same rule", chromium,
       obj("section", "s", {},
           {obj("static", "b"), obj("static", " "), obj("static", "i"), obj("static", " "),
            obj("push button", "c", inlineBlock), obj("static", "\n")}),
       "[b][ ][i][c]"},
      {"a list marker's text is a static text below it, whatever the toolkit", chromium,
       withText(obj("static", "1. ", {{"tag", "::marker"}}), "1. "), "'1. '"},
      {"hidden objects are left out", chromium,
       obj("section", "s", {}, {obj("static", "seen"), obj("static", "not", {{"hidden", "true"}})}), "[seen]"},
  };
  for (const auto& t : trials) EXPECT_EQ(piecesOf(t.toolkit, t.node), t.expected) << t.what;

  // Inline elements nested beyond any page's depth: lifted so far, then one
  // stays an element of its own.
  json deep = obj("static", "x");
  for (int i = 0; i < 100; ++i) deep = obj("static", "", {{"tag", "em"}}, {deep});
  EXPECT_EQ(piecesOf(chromium, obj("paragraph", "p", {}, {deep})), "[]");

  // An inline element whose children were not read yet: the list waits for them.
  auto paragraph = std::make_shared<AtspiObject>();
  paragraph->node = nodeOf(obj("paragraph", "p"), true);
  auto em = std::make_shared<AtspiObject>();
  em->node = nodeOf(obj("static", "", {{"tag", "em"}}), true);
  EXPECT_FALSE(libraryChildren(chromium, paragraph->node, {em}));
  em->children.emplace();
  EXPECT_TRUE(libraryChildren(chromium, paragraph->node, {em}));
}

TEST(Translation, OnlyTheShownDeckContainerIsKept) {
  const Toolkit& gecko = toolkitNamed("Gecko");
  const AtspiNode panels = nodeOf({{"role", "panel"}, {"attributes", {{"tag", "tabpanels"}}}}, false);
  auto container = [](const char* classes) {
    return nodeOf({{"role", "scroll pane"}, {"attributes", {{"class", classes}}}}, false);
  };
  EXPECT_FALSE(hiddenInDeck(gecko, panels, container("browserSidebarContainer deck-selected")));
  EXPECT_TRUE(hiddenInDeck(gecko, panels, container("browserSidebarContainer")));
  EXPECT_FALSE(hiddenInDeck(gecko, panels, container("other")));
  EXPECT_FALSE(hiddenInDeck(toolkitNamed("Chromium"), panels, container("browserSidebarContainer")));
  EXPECT_TRUE(isHidden(nodeOf({{"role", "push button"}, {"attributes", {{"hidden", "true"}}}}, false)));
  EXPECT_FALSE(isHidden(nodeOf({{"role", "push button"}}, false)));
}

TEST(Translation, LongTextIsCutAtACharacterBoundary) {
  EXPECT_EQ(boundedText("abc", 5), "abc");
  EXPECT_EQ(boundedText("a\xC3\xA9z", 2), "a");  // é is two bytes
  EXPECT_EQ(boundedText("a\xC3\xA9z", 3), "a\xC3\xA9");
}

// ---- processes ----

// What reads keep of page objects is trusted for a while, then forgotten
// whole, so that a read from scratch catches what changed in place unasked.
TEST(ObjectMirror, KeptObjectsAreTrustedForTheirLifetimeAndNoLonger) {
  ObjectMirror mirror;
  const auto start = ObjectMirror::Time{} + std::chrono::hours(1);
  auto heading = std::make_shared<MirroredObject>();
  heading->role = "heading";
  heading->attributes = {{"tag", "h2"}};
  const auto key = ObjectMirror::key(":1.2", "/org/a11y/atspi/accessible/7");
  mirror.keep(key, heading, start);

  const auto found = mirror.find(key, start + std::chrono::seconds(10));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->role, "heading");
  EXPECT_EQ(found->attributes.at("tag"), "h2");
  // The same path in another application is another object.
  EXPECT_FALSE(mirror.find(ObjectMirror::key(":1.3", "/org/a11y/atspi/accessible/7"), start));
  // After the lifetime everything is forgotten, and what is kept anew lasts a lifetime from then.
  const auto later = start + std::chrono::seconds(static_cast<int>(limits.mirrorLifetime) + 1);
  EXPECT_FALSE(mirror.find(key, later));
  mirror.keep(key, heading, later);
  EXPECT_TRUE(mirror.find(key, later + std::chrono::seconds(static_cast<int>(limits.mirrorLifetime) - 1)));
  // A clock that goes back trusts nothing it kept.
  EXPECT_FALSE(mirror.find(key, start));
}

TEST(ObjectMirror, KeepingMoreThanTheLimitForgetsWhatWasKept) {
  ObjectMirror mirror;
  const auto now = ObjectMirror::Time{} + std::chrono::hours(1);
  auto object = std::make_shared<MirroredObject>();
  object->role = "static";
  for (size_t i = 0; i < limits.mirrorObjects; ++i) mirror.keep("a " + std::to_string(i), object, now);
  EXPECT_TRUE(mirror.find("a 0", now));
  mirror.keep("a one too many", object, now);
  EXPECT_FALSE(mirror.find("a 0", now));
  EXPECT_TRUE(mirror.find("a one too many", now));
}

TEST(Processes, LanguagesComeFromTheLocaleVariables) {
  using Env = std::map<std::string, std::string>;
  const std::vector<std::pair<Env, std::optional<std::string>>> cases = {
      {{{"LANG", "en_GB.UTF-8"}}, "en-GB"},
      {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}, "de-DE"},
      {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", "fr_FR@euro"}}, "fr-FR"},
      {{{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "pt_BR:en"}}, "pt-BR"},
      {{{"LANG", "C"}, {"LANGUAGE", "de"}}, "en-US"},  // LANGUAGE counts only with a real locale
      {{}, "en-US"},
      {{{"LANG", "x\"y"}}, std::nullopt},
  };
  for (const auto& [env, expected] : cases) EXPECT_EQ(languageOf(env), expected) << env.begin()->second;
}

TEST(Processes, ABrowserIsItsFirstProcessNotItsHelpers) {
  test::TempDir proc;
  std::filesystem::create_directories(proc.path());
  {
    std::ofstream(proc.path() / "stat") << "cpu 1 2 3\nbtime 1700000000\n";
  }
  auto process = [&](int pid, int parent, const std::string& comm, const std::string& argv0) {
    const auto dir = proc.path() / std::to_string(pid);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "stat") << pid << " (" << comm << ") S " << parent
                                << " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 500 0 0\n";
    std::ofstream(dir / "cmdline") << argv0 << '\0' << "--flag" << '\0';
  };
  process(100, 1, "chromium", "/usr/lib/chromium/chromium");
  process(101, 100, "chromium", "/usr/lib/chromium/chromium");  // zygote
  process(102, 101, "chromium", "/usr/lib/chromium/chromium");  // renderer
  process(200, 1, "a) b (c", "/usr/bin/google-chrome-stable");  // a name with parentheses
  process(300, 1, "firefox-esr", "/usr/lib/firefox-esr/firefox-esr");
  process(400, 1, "bash", "/bin/bash");
  {
    std::ofstream(proc.path() / "500" / "stat");  // unreadable rubbish
  }
  // Another user's browser is never this user's application.
  EXPECT_TRUE(Processes(proc.path(), ::geteuid() + 1).applications("com.google.Chrome").empty());

  Processes p(proc.path(), ::geteuid());
  std::vector<Pid> chrome;
  for (const auto& app : p.applications("com.google.Chrome")) chrome.push_back(app.pid);
  EXPECT_EQ(chrome, (std::vector<Pid>{100, 200}));
  ASSERT_EQ(p.applications("org.mozilla.firefox").size(), 1u);
  const auto firefox = p.read(300);
  ASSERT_TRUE(firefox && firefox->launched);
  // Boot time plus 500 ticks, in seconds since 2001.
  EXPECT_DOUBLE_EQ(*firefox->launched, 1700000000.0 + 500.0 / sysconf(_SC_CLK_TCK) - 978307200.0);
  EXPECT_FALSE(p.read(500));
  EXPECT_FALSE(p.read(-1));
}

// ---- the accessibility switch, written down ----

TEST(SwitchRecord, OnlyASwitchLeftOnByAnAgentThatIsGoneIsPutBack) {
  test::TempDir dir;
  const auto proc = dir.path() / "proc";
  std::filesystem::create_directories(proc);
  std::ofstream(proc / "stat") << "btime 1700000000\n";
  auto process = [&](int pid, int started) {
    std::filesystem::create_directories(proc / std::to_string(pid));
    std::ofstream(proc / std::to_string(pid) / "stat")
        << pid << " (zel-ax) S 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 " << started << " 0 0\n";
  };
  const Processes processes(proc, ::geteuid());
  EXPECT_EQ(SwitchRecord::in(nullptr), std::nullopt);
  EXPECT_EQ(SwitchRecord::in("relative"), std::nullopt);
  const auto file = SwitchRecord::in(dir.path().c_str());
  ASSERT_TRUE(file);
  const Processes real;
  const SwitchRecord record(file, real);  // this very process turns it on
  EXPECT_FALSE(record.leftOnByAGoneAgent());      // nothing written down
  record.turnedOn();
  EXPECT_TRUE(std::filesystem::exists(*file));
  EXPECT_FALSE(record.leftOnByAGoneAgent());  // its owner still runs
  record.putBack();
  EXPECT_FALSE(std::filesystem::exists(*file));

  const SwitchRecord fake(file, processes);
  process(4242, 500);
  const double launched = 1700000000.0 + 500.0 / sysconf(_SC_CLK_TCK) - 978307200.0;
  auto written = [&](const std::string& text) {
    std::ofstream(*file) << text;
    return fake.leftOnByAGoneAgent();
  };
  std::ostringstream same;
  same.precision(17);
  same << "4242 " << launched << "\n";
  EXPECT_FALSE(written(same.str()));      // still running
  EXPECT_TRUE(written("4242 12345\n"));  // the id given to another process since
  EXPECT_TRUE(written("4343 " + std::to_string(launched) + "\n"));  // gone
  EXPECT_TRUE(written("rubbish"));       // spoilt: nobody owns it
  EXPECT_TRUE(written("-1 0\n"));
}

// ---- trust ----

TEST(ExecutableTrust, OnlyARootOwnedExecutableNobodyElseCouldHaveChangedIsTrusted) {
  auto file = [](unsigned uid, unsigned mode, unsigned long long inode = 7) {
    return FileFacts{true, true, false, uid, mode, 1, inode};
  };
  auto dir = [](unsigned uid, unsigned mode) { return FileFacts{true, false, true, uid, mode, 1, 1}; };
  struct Trial {
    const char* what;
    std::string target;
    FileFacts running;
    FileFacts onDisk;
    FileFacts parent;
    SignatureVerdict expected;
  };
  const std::vector<Trial> trials = {
      {"root's, in root's folders", "/usr/lib/chromium/chromium", file(0, 0755), file(0, 0755), dir(0, 0755),
       SignatureVerdict::vendors},
      {"a user's", "/usr/lib/chromium/chromium", file(1000, 0755), file(1000, 0755), dir(0, 0755),
       SignatureVerdict::refused},
      {"writable by its group", "/usr/lib/chromium/chromium", file(0, 0775), file(0, 0775), dir(0, 0755),
       SignatureVerdict::refused},
      {"in a folder others may write", "/usr/lib/chromium/chromium", file(0, 0755), file(0, 0755), dir(0, 01777),
       SignatureVerdict::refused},
      {"in a user's folder", "/usr/lib/chromium/chromium", file(0, 0755), file(0, 0755), dir(1000, 0755),
       SignatureVerdict::refused},
      {"deleted since it started", "/usr/lib/chromium/chromium (deleted)", file(0, 0755), {}, dir(0, 0755),
       SignatureVerdict::changedOnDisk},
      {"replaced since it started", "/usr/lib/chromium/chromium", file(0, 0755, 7), file(0, 0755, 8), dir(0, 0755),
       SignatureVerdict::changedOnDisk},
      {"a relative path", "chromium", file(0, 0755), file(0, 0755), dir(0, 0755), SignatureVerdict::refused},
  };
  for (const auto& t : trials) {
    const Inspect inspect = [&](const std::filesystem::path& p) {
      return p == std::filesystem::path(t.target) ? t.onDisk : t.parent;
    };
    EXPECT_EQ(executableVerdict(t.target, t.running, inspect), t.expected) << t.what;
  }
}

// A reply as an application might send it, sealed and ready to be read.
class Replies : public ::testing::Test {
 protected:
  // Messages are made only on a bus that is open: one to nobody in particular.
  void SetUp() override {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    peer_ = ends[1];
    ASSERT_GE(sd_bus_new(&bus_), 0);
    ASSERT_GE(sd_bus_set_fd(bus_, ends[0], ends[0]), 0);
    ASSERT_GE(sd_bus_start(bus_), 0);
  }
  void TearDown() override {
    sd_bus_close_unref(bus_);
    close(peer_);
  }
  template <class... Values>
  Message reply(const char* signature, Values... values) {
    sd_bus_message* m = nullptr;
    EXPECT_GE(sd_bus_message_new_method_call(bus_, &m, "org.example", "/", "org.example", "M"), 0);
    EXPECT_GE(sd_bus_message_append(m, signature, values...), 0);
    EXPECT_GE(sd_bus_message_seal(m, ++cookie_, 0), 0);
    return Message(m);
  }
  sd_bus* bus_ = nullptr;
  int peer_ = -1;
  uint64_t cookie_ = 0;
};

TEST_F(Replies, AReplyOfAnotherShapeReadsAsNothing) {
  EXPECT_EQ(ReplyReader::word(reply("u", 7u).get()), 7u);
  EXPECT_EQ(ReplyReader::word(reply("i", 7).get()), std::nullopt);
  EXPECT_EQ(ReplyReader::string(reply("s", "text").get()), "text");
  EXPECT_EQ(ReplyReader::string(reply("ss", "a", "b").get()), std::nullopt);
  EXPECT_EQ(ReplyReader::boxedString(reply("v", "s", "Chromium").get()), "Chromium");
  EXPECT_EQ(ReplyReader::boxedString(reply("v", "u", 3u).get()), std::nullopt);
  EXPECT_EQ(ReplyReader::stringMap(reply("a{ss}", 2, "tag", "p", "class", "x y").get()),
            (std::map<std::string, std::string>{{"class", "x y"}, {"tag", "p"}}));
  EXPECT_EQ(ReplyReader::stringMap(reply("a{sv}", 0).get()), std::nullopt);
  EXPECT_EQ(ReplyReader::words(reply("au", 2, 5u, 1u << 3).get()), (std::vector<uint32_t>{5u, 8u}));
  EXPECT_EQ(ReplyReader::references(reply("a(ss)", 0).get(), ":1.2"), std::nullopt);
  EXPECT_EQ(ReplyReader::subtree(reply("a(so)", 0).get(), 10, [](auto...) { return true; }), false);
  EXPECT_EQ(ReplyReader::properties(nullptr), std::nullopt);
}

TEST_F(Replies, ChildrenOfTheApplicationItselfNameNoOtherProcess) {
  auto refs = ReplyReader::references(
      reply("a(so)", 2, ":1.2", "/org/a11y/atspi/accessible/5", ":1.9", "/org/a11y/atspi/accessible/1").get(), ":1.2");
  ASSERT_TRUE(refs);
  ASSERT_EQ(refs->size(), 2u);
  EXPECT_EQ((*refs)[0].busName, "");
  EXPECT_EQ((*refs)[0].path, "/org/a11y/atspi/accessible/5");
  EXPECT_EQ((*refs)[1].busName, ":1.9");
}

TEST_F(Replies, PropertiesOfTheWrongTypeOrUnknownAreLeftOut) {
  auto p = ReplyReader::properties(reply("a{sv}", 5, "Name", "s", "Send", "Description", "u", 4u, "Parent", "(so)",
                                         ":1.2", "/org/a11y/atspi/accessible/1", "ChildCount", "i", 3, "Attributes",
                                         "a{ss}", 1, "tag", "button")
                                       .get());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->name, "Send");
  EXPECT_EQ(p->description, std::nullopt);
  EXPECT_EQ(p->childCount, 3);
  EXPECT_EQ(p->attributes, (std::map<std::string, std::string>{{"tag", "button"}}));
}

TEST_F(Replies, ASubtreeIsToldInOrderAndNoLongerThanAllowed) {
  auto tree = [&] {
    return reply("a((so)a{sv})", 2, ":1.2", "/org/a11y/atspi/accessible/7", 2, "Name", "s", "turn", "ChildCount", "i",
                 1, ":1.2", "/org/a11y/atspi/accessible/8", 1, "ChildCount", "i", 0);
  };
  std::vector<std::string> seen;
  EXPECT_TRUE(ReplyReader::subtree(tree().get(), 2, [&](const char*, const char* path, ObjectProperties&& p) {
    seen.push_back(std::string(path) + " " + p.name.value_or("-") + " " + std::to_string(p.childCount.value_or(-1)));
    return true;
  }));
  EXPECT_EQ(seen, (std::vector<std::string>{"/org/a11y/atspi/accessible/7 turn 1", "/org/a11y/atspi/accessible/8 - 0"}));
  EXPECT_FALSE(ReplyReader::subtree(tree().get(), 1, [](auto...) { return true; }));
  EXPECT_FALSE(ReplyReader::subtree(tree().get(), 2, [](auto...) { return false; }));
}

}  // namespace
}  // namespace zel::platform::atspi
