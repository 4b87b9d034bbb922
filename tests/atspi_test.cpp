// The Linux backend without a bus: the translation over recorded AT-SPI
// trees of real Chromium and Firefox windows, the process table, the
// language of an environment and the executable trust.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "chat/claude_extractor.h"
#include "platform/atspi/executable_trust.h"
#include "platform/atspi/processes.h"
#include "platform/atspi/translation.h"
#include "support/chats.h"
#include "support/temp_dir.h"

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
  }
  n.inWeb = inWeb;
  return n;
}

// A recorded window as the backend hands it to the library: the same
// translation, text runs and hidden decks as a live read.
AXNode libraryTree(const json& j, const Toolkit& toolkit, bool inWeb = false) {
  const AtspiNode n = nodeOf(j, inWeb);
  const Translation t = translate(n);
  AXNode out;
  out.role = t.role;
  out.subrole = t.subrole;
  out.title = t.title;
  out.desc = t.desc;
  out.value = t.value;
  out.domClasses = t.domClasses;
  out.domID = t.domID;
  out.url = t.url;
  const json children = j.value("children", json::array());
  const bool web = inWeb || t.isDocument;
  for (const Piece& p : pieces(toolkit, n, children.size())) {
    if (!p.child) {
      AXNode run;
      run.role = "AXStaticText";
      run.value = p.text;
      out.children.push_back(std::move(run));
      continue;
    }
    const json& child = children[*p.child];
    const AtspiNode c = nodeOf(child, web);
    if (isHidden(c) || hiddenInDeck(toolkit, n, c)) continue;
    out.children.push_back(libraryTree(child, toolkit, web));
  }
  return out;
}

json recorded(const std::string& name) {
  std::ifstream in(std::string(ZEL_FIXTURES) + "/atspi/" + name);
  return json::parse(in);
}

// ---- recorded windows ----

struct RecordedWindow {
  const char* file;
  const char* toolkit;
  const char* marker;  // how the list items' numbers read: Gecko keeps them in the item's text
};

class Recorded : public ::testing::TestWithParam<RecordedWindow> {};

TEST_P(Recorded, TheSamePageGivesTheSameConversationInEitherToolkit) {
  const AXNode window = libraryTree(recorded(GetParam().file), toolkitNamed(GetParam().toolkit));
  auto c = ClaudeExtractor(Source::claudeWeb, test::fixedClock()).extract(window);
  ASSERT_TRUE(c);
  EXPECT_EQ(test::turnsOf(c),
            "user|Summarise chat 11111111-2222-4333-8444-555555555555 in three\\n points||1|-|-\n"
            "assistant|The paper makes three\\n points about 11111111-2222-4333-8444-555555555555:\\n"
            "1." + std::string(GetParam().marker) + "Models drift\\n2." + GetParam().marker +
                "Probes catch it||2|-|-\n");
  EXPECT_EQ(c->locator, "https://claude.ai/chat/11111111-2222-4333-8444-555555555555");
  EXPECT_EQ(c->totalTurns, 2);
}

TEST_P(Recorded, BrowserControlsNeverCarryPageClassesOrIdentifiers) {
  const AXNode window = libraryTree(recorded(GetParam().file), toolkitNamed(GetParam().toolkit));
  ASSERT_EQ(window.role, "AXWindow");
  const AXNode* page = window.first([](const AXNode& n) { return n.role == "AXWebArea"; });
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

INSTANTIATE_TEST_SUITE_P(Atspi, Recorded,
                         ::testing::Values(RecordedWindow{"chromium_claude.json", "Chromium", ""},
                                           RecordedWindow{"firefox_claude.json", "Gecko", " "}));

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
      {"an inline element is a group", {{"role", "static"}, {"attributes", {{"tag", "code"}}}, {"text", "x"}}, true,
       {{"role", "AXGroup"}}},
      {"a list marker", {{"role", "static"}, {"attributes", {{"tag", "::marker"}}}, {"text", "1. "}}, true,
       {{"role", "AXListMarker"}, {"title", "1."}}},
      {"a time element", {{"role", "static"}, {"attributes", {{"tag", "time"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXTimeGroup"}}},
      {"a main landmark with classes",
       {{"role", "landmark"}, {"attributes", {{"xml-roles", "main"}, {"class", "a  b"}, {"id", "m"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXLandmarkMain"}, {"classes", {"a", "b"}}, {"domID", "m"}}},
      {"an article named by its author",
       {{"role", "article"}, {"name", "Message 1 of 4"}, {"attributes", {{"explicit-name", "true"}}}}, true,
       {{"role", "AXGroup"}, {"subrole", "AXDocumentArticle"}, {"desc", "Message 1 of 4"}}},
      {"a heading named from its contents", {{"role", "heading"}, {"name", "You said:"}}, true,
       {{"role", "AXHeading"}}},
      {"a menu button", {{"role", "push button"}, {"attributes", {{"haspopup", "menu"}}}}, true,
       {{"role", "AXPopUpButton"}}},
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

std::string piecesOf(const Toolkit& toolkit, const json& node, size_t children) {
  std::string out;
  for (const Piece& p : pieces(toolkit, nodeOf(node, true), children))
    out += p.child ? "[" + std::to_string(*p.child) + "]" : "'" + p.text + "'";
  return out;
}

TEST(Translation, GeckoTextRunsBecomeChildrenBetweenTheEmbeddedObjects) {
  const Toolkit& gecko = toolkitNamed("Gecko");
  const Toolkit& chromium = toolkitNamed("Chromium");
  const json paragraph{{"role", "paragraph"}, {"text", "Say \xEF\xBF\xBC and \xEF\xBF\xBC."}};
  EXPECT_EQ(piecesOf(gecko, paragraph, 2), "'Say '[0]' and '[1]'.'");
  EXPECT_EQ(piecesOf(chromium, paragraph, 2), "[0][1]");  // Chromium's runs are children already
  // Marks and children that do not match: the children alone, no text guessed.
  EXPECT_EQ(piecesOf(gecko, paragraph, 3), "[0][1][2]");
  EXPECT_EQ(piecesOf(gecko, {{"role", "heading"}, {"text", "You said:"}}, 0), "'You said:'");
  // A text box's text is its value, a button's label its description.
  EXPECT_EQ(piecesOf(gecko, {{"role", "entry"}, {"text", "draft"}}, 0), "");
  EXPECT_EQ(piecesOf(gecko, {{"role", "push button"}, {"text", "E"}}, 0), "");
  // Blank runs between blocks are no text.
  EXPECT_EQ(piecesOf(gecko, {{"role", "section"}, {"text", "\xEF\xBF\xBC\n\xEF\xBF\xBC"}}, 2), "[0][1]");
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

}  // namespace
}  // namespace zel::platform::atspi
