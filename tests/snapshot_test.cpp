// Live snapshots over the simulated desktop: which windows are captured, in
// which order, and that private windows are never walked.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "agent/read_status.h"
#include "snapshot/snapshotter.h"
#include "platform/simulated/simulated_platform.h"
#include "support/temp_dir.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::snapshot;
using namespace zel::agent;
namespace {

using platform::Accessibility;
using platform::AXElement;

// Counts the content reads (full element reads) that go through it.
class CountingAccessibility final : public Accessibility {
 public:
  explicit CountingAccessibility(Accessibility& inner) : inner_(inner) {}
  int contentReads = 0;
  int pageChildrenReads = 0;  // of a page with an address: what it shows
  size_t longestListHandedOut = 0;
  bool isTrusted() override { return inner_.isTrusted(); }
  AXElement application(platform::Pid pid) override { return inner_.application(pid); }
  void setMessagingTimeout(const AXElement& e, double s) override { inner_.setMessagingTimeout(e, s); }
  platform::AXRead attribute(const AXElement& e, const std::string& n) override {
    if (n == AX::Children) countPageChildren(e);
    return inner_.attribute(e, n);
  }
  platform::AXMultiRead attributes(const AXElement& e, const std::vector<std::string>& names,
                                   size_t longestList) override {
    if (names == AXSnapshotter::attributes()) ++contentReads;
    if (std::find(names.begin(), names.end(), AX::Children) != names.end()) countPageChildren(e);
    auto read = inner_.attributes(e, names, longestList);
    for (const auto& v : read.values) longestListHandedOut = std::max(longestListHandedOut, v.items.size());
    return read;
  }
  void setBoolean(const AXElement& e, const std::string& n, bool v) override { inner_.setBoolean(e, n, v); }
  bool equal(const AXElement& a, const AXElement& b) override { return inner_.equal(a, b); }

 private:
  void countPageChildren(const AXElement& e) {
    const auto role = inner_.attribute(e, AX::Role);
    if (role.error == platform::ax_error::success && role.value.text == AX::WebArea &&
        inner_.attribute(e, AX::URL).error == platform::ax_error::success)
      ++pageChildrenReads;
  }

  Accessibility& inner_;
};

class CountingPlatform final : public platform::Platform {
 public:
  explicit CountingPlatform(platform::Platform& inner) : inner_(inner), ax(inner.accessibility()) {}
  Accessibility& accessibility() override { return ax; }
  platform::Workspace& workspace() override { return inner_.workspace(); }
  platform::Session& session() override { return inner_.session(); }
  platform::CodeSigning& codeSigning() override { return inner_.codeSigning(); }
  platform::Preferences& preferences() override { return inner_.preferences(); }
  platform::SystemLog& systemLog() override { return inner_.systemLog(); }
  platform::RunLoop& runLoop() override { return inner_.runLoop(); }
  platform::System system() const override { return inner_.system(); }

 private:
  platform::Platform& inner_;

 public:
  CountingAccessibility ax;
};

// A desktop, a home folder for browser profiles, and a snapshotter over them.
class Snapshots : public ::testing::Test {
 protected:
  AXSnapshotter::Outcome snap(const std::string& desktopJSON, const std::string& bundleID, int64_t budget = 60000,
                             const AXSnapshotter::PageFilter* page = nullptr) {
    sets.clear();
    auto desktop = platform::Desktop::decode(desktopJSON);
    EXPECT_TRUE(desktop) << desktop.error();
    simulated_ = std::make_unique<platform::SimulatedPlatform>(std::move(desktop.value()));
    counting_ = std::make_unique<CountingPlatform>(*simulated_);
    switch_ = std::make_unique<TreeSwitch>(
        counting_->accessibility(),
        TreeSwitch::Functions{[this](const AXElement&, const std::string& a, bool v) { sets.push_back(a + (v ? "+" : "-")); },
                              {}, [](const AXElement&, double) { return true; }, {}},
        budget);
    signatures_ = std::make_unique<AppSignature::Checked>(
        [this](platform::Pid pid, const KnownApp& b) { return AppSignature::verdict(simulated_->codeSigning(), pid, b); },
        [] { return Date{0}; }, [](const std::string&) {});
    AXSnapshotter s(budget, AXSnapshotter::Environment{*counting_, *switch_, *signatures_, home_});
    return s.snapshot(bundleID, page);
  }

  std::vector<AXNode> trees(const AXSnapshotter::Outcome& r) {
    if (auto* t = std::get_if<std::vector<AXNode>>(&r)) return *t;
    ADD_FAILURE() << "snapshot failed";
    return {};
  }
  std::vector<std::string> titles(const AXSnapshotter::Outcome& r) {
    std::vector<std::string> out;
    for (const auto& t : trees(r)) out.push_back(t.title.value_or("-"));
    return out;
  }
  int contentReads() const { return counting_->ax.contentReads; }
  int pageChildrenReads() const { return counting_->ax.pageChildrenReads; }

  test::TempDir dir_;
  const std::filesystem::path home_ = dir_.path();
  std::vector<std::string> sets;
  std::unique_ptr<platform::SimulatedPlatform> simulated_;
  std::unique_ptr<CountingPlatform> counting_;
  std::unique_ptr<TreeSwitch> switch_;
  std::unique_ptr<AppSignature::Checked> signatures_;
};

std::string app(const std::string& bundleID, const std::string& rest) {
  return R"({"bundleID":")" + bundleID + R"(","pid":7,)" + rest + "}";
}
std::string desktop(const std::string& apps, const std::string& extra = "") {
  return "{" + extra + R"("apps":[)" + apps + "]}";
}

TEST_F(Snapshots, ErrorsComeBeforeAnyRead) {
  auto untrusted = snap(desktop(app("com.example.a", R"("windows":[{"title":"w"}])"), R"("trusted":false,)"), "com.example.a");
  EXPECT_EQ(std::get<SnapshotError>(untrusted), (SnapshotError{SnapshotError::Kind::notTrusted, ""}));
  EXPECT_EQ(readStatus(std::get<SnapshotError>(untrusted)), ReadStatus::notTrusted);

  auto absent = snap(desktop(app("com.openai.codex", R"("windows":[{}])")), "com.anthropic.claudefordesktop");
  EXPECT_EQ(std::get<SnapshotError>(absent).kind, SnapshotError::Kind::notRunning);
  auto refused = snap(desktop(app("com.openai.codex", R"("signature":"refused","windows":[{}])")), "com.openai.codex");
  EXPECT_EQ(std::get<SnapshotError>(refused).kind, SnapshotError::Kind::notRunning);
  EXPECT_EQ(contentReads(), 0);
  auto changed = snap(desktop(app("com.openai.codex", R"("signature":"changedOnDisk")")), "com.openai.codex");
  EXPECT_EQ(std::get<SnapshotError>(changed), (SnapshotError{SnapshotError::Kind::needsRestart, "com.openai.codex"}));
  EXPECT_EQ(readStatus(std::get<SnapshotError>(changed)), ReadStatus::needsRestart);

  auto none = snap(desktop(app("com.openai.codex", R"("windows":[])")), "com.openai.codex");
  EXPECT_EQ(std::get<SnapshotError>(none).kind, SnapshotError::Kind::noVisibleWindow);
  EXPECT_EQ(sets, std::vector<std::string>{"AXEnhancedUserInterface+"});  // switched on before giving up
  auto broken = snap(desktop(app("com.openai.codex", R"("windowsError":-25204,"windows":[{}])")), "com.openai.codex");
  EXPECT_EQ(std::get<SnapshotError>(broken).kind, SnapshotError::Kind::unreadable);
  EXPECT_EQ(readStatus(std::get<SnapshotError>(broken)), ReadStatus::failed);
  auto unsupported = snap(desktop(app("com.openai.codex", R"("windowsError":-25205,"windows":[{}])")), "com.openai.codex");
  EXPECT_EQ(std::get<SnapshotError>(unsupported).kind, SnapshotError::Kind::noVisibleWindow);
}

TEST_F(Snapshots, WindowsInListOrderWithFocusedAndMainOnlyAdded) {
  const std::string windows = R"("windows":[{"title":"A"},{"title":"B"}],)";
  EXPECT_EQ(titles(snap(desktop(app("com.openai.codex", windows + R"("focusedWindow":1,"mainWindow":1)")), "com.openai.codex")),
            (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(titles(snap(desktop(app("com.openai.codex", R"("windowsError":-25204,"windows":[{"title":"A"},{"title":"B"}],
      "focusedWindow":1,"mainWindow":{"title":"M"})")), "com.openai.codex")),
            (std::vector<std::string>{"B", "M"}));
  EXPECT_EQ(sets, std::vector<std::string>{"AXEnhancedUserInterface+"});
}

TEST_F(Snapshots, ValuesAsNodes) {
  auto t = trees(snap(desktop(app("com.anthropic.claudefordesktop", R"("windows":[{"role":"AXWindow","title":"","value":42,
      "children":[{"role":"AXStaticText","value":2.5},{"role":"AXCheckBox","value":true,"unreadable":["AXRole"]},
                  {"role":"AXLink","url":"https://x.com/a","domClasses":["c"],"domID":"d"}]}])")), "com.anthropic.claudefordesktop"));
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].title, std::nullopt);  // an empty title is absent
  EXPECT_EQ(t[0].value, "42");
  EXPECT_EQ(t[0].children[0].value, "2.5");
  EXPECT_EQ(t[0].children[1].value, "1");
  EXPECT_EQ(t[0].children[1].role, std::nullopt);
  EXPECT_EQ(t[0].children[2].url, "https://x.com/a");
  EXPECT_EQ(t[0].children[2].domClasses, std::vector<std::string>{"c"});
  EXPECT_EQ(t[0].children[2].domID, "d");
}

TEST_F(Snapshots, EachWindowHasItsOwnBudgetAndDeepChainsAreWalked) {
  const std::string five = R"({"role":"AXWindow","children":[{},{},{},{},{},{},{}]})";
  auto t = trees(snap(desktop(app("com.anthropic.claudefordesktop", R"("windows":[)" + five + "," + five + "]")), "com.anthropic.claudefordesktop", 5));
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].children.size(), 4u);
  EXPECT_EQ(t[1].children.size(), 4u);

  std::string deep;
  for (int i = 0; i < 60000; ++i) deep += R"({"role":"AXGroup","children":[)";
  deep += R"({"role":"AXStaticText","value":"end"})";
  for (int i = 0; i < 60000; ++i) deep += "]}";
  auto chain = trees(snap(desktop(app("com.anthropic.claudefordesktop", R"("windows":[)" + deep + "]")), "com.anthropic.claudefordesktop"));
  ASSERT_EQ(chain.size(), 1u);
  EXPECT_EQ(chain[0].preorder().size(), 60000u);  // the budget ends it, nothing else

  // A window with far more children than the budget: no read hands out more
  // children than the walk could still visit.
  std::string wide = R"({"role":"AXWindow","children":[)";
  for (int i = 0; i < 100000; ++i) wide += i ? ",{}" : "{}";
  wide += "]}";
  auto few = trees(snap(desktop(app("com.anthropic.claudefordesktop", R"("windows":[)" + wide + "]")), "com.anthropic.claudefordesktop", 50));
  ASSERT_EQ(few.size(), 1u);
  EXPECT_EQ(few[0].children.size(), 49u);
  EXPECT_LE(counting_->ax.longestListHandedOut, 50u);
}

const std::string chromeMenus = R"("menuBar":["Apple","Chrome","File","Edit","View","History","Bookmarks","Window"],)";

std::string page(const std::string& title, const std::string& url) {
  return R"({"role":"AXWindow","title":")" + title + R"(","children":[{"role":"AXWebArea","url":")" + url +
         R"(","children":[{"role":"AXStaticText","value":"content"}]}]})";
}

TEST_F(Snapshots, ChromeIsReadOnlyInALanguageAndMenusItsRulesTrust) {
  const std::string windows = R"("windows":[)" + page("Chat - Google Chrome", "https://chatgpt.com/c/a") + "," +
                              page("Secret - Google Chrome (Incognito)", "https://chatgpt.com/c/b") + "," +
                              R"({"role":"AXWindow","unreadable":["AXTitle"],"children":[]}])";
  EXPECT_EQ(titles(snap(desktop(app("com.google.Chrome", R"("languages":["en-GB"],)" + chromeMenus + windows)), "com.google.Chrome")),
            std::vector<std::string>{"Chat - Google Chrome"});

  auto german = snap(desktop(app("com.google.Chrome", R"("languages":["de-DE"],)" + chromeMenus + windows)), "com.google.Chrome");
  EXPECT_TRUE(trees(german).empty());
  EXPECT_EQ(contentReads(), 0);
  EXPECT_TRUE(sets.empty());  // Chrome is woken by a read, never set; see the journal test for the wake

  auto noLanguage = snap(desktop(app("com.google.Chrome", chromeMenus + windows)), "com.google.Chrome");
  EXPECT_TRUE(trees(noLanguage).empty());
  auto fewMenus = snap(desktop(app("com.google.Chrome", R"("languages":["en-US"],"menuBar":["File","Edit","View","History"],)" + windows)),
                       "com.google.Chrome");
  EXPECT_TRUE(trees(fewMenus).empty());
  EXPECT_EQ(contentReads(), 0);
}

TEST_F(Snapshots, SafariWindowsNeedTheirNormalMarkerAndNoPrivateOne) {
  auto window = [](const std::string& title, const std::string& controls) {
    return R"({"role":"AXWindow","title":")" + title + R"(","children":[{"role":"AXToolbar","children":[)" + controls +
           R"(]},{"role":"AXWebArea","url":"https://claude.ai/chat/x","children":[{"role":"AXButton","identifier":"SidebarLibraryItemTabGroup?isPrivate=true"}]}]})";
  };
  const std::string normal = R"({"role":"AXButton","identifier":"TabGroupPickerButton"})";
  const std::string privateMarker = R"({"role":"AXButton","domID":"SidebarLibraryItemTabGroup?isPrivate=true-7"})";
  const std::string unsure = R"({"unreadable":["AXRole"]})";
  const std::string windows = R"("windows":[)" + window("Normal", normal) + "," + window("No marker", "") + "," +
                              window("Private", normal + "," + privateMarker) + "," + window("Unsure", normal + "," + unsure) +
                              "," + window("Titled, Private Browsing", normal) + "]";
  auto t = snap(desktop(app("com.apple.Safari", windows)), "com.apple.Safari");
  EXPECT_EQ(titles(t), std::vector<std::string>{"Normal"});
  EXPECT_EQ(contentReads(), 5);  // only the readable window's five elements are walked
}

TEST_F(Snapshots, FirefoxInAlwaysPrivateModeIsNotReadAtAll) {
  const auto profile = home_ / "Library/Application Support/Firefox/Profiles/p";
  std::filesystem::create_directories(profile);
  std::ofstream(profile / "prefs.js") << "user_pref(\"browser.privatebrowsing.autostart\", false);\n";
  std::ofstream(profile / ".parentlock") << "";
  const std::string firefox = app("org.mozilla.firefox", R"("windows":[)" + page("Chat", "https://claude.ai/chat/x") + "]");
  // No other process holds the profile: nothing proves the mode is off.
  EXPECT_TRUE(trees(snap(desktop(firefox), "org.mozilla.firefox")).empty());
  EXPECT_EQ(contentReads(), 0);
  EXPECT_TRUE(sets.empty());
}

TEST_F(Snapshots, PagesOutsideTheFilterAreSkipped) {
  const std::string windows = R"("windows":[)" + page("Chat", "https://chatgpt.com/c/a") + "," + page("Mail", "https://mail.example.com/") +
                              R"(,{"role":"AXWindow","title":"No page"},
      {"role":"AXWindow","title":"Nested","children":[{"role":"AXWebArea","children":[{"role":"AXGroup","children":[
        {"role":"AXWebArea","url":"https://chatgpt.com/c/inner"}]}]}]}])";
  std::vector<std::string> asked;
  AXSnapshotter::PageFilter chats = [&](const std::string& url) {
    asked.push_back(url);
    return url.starts_with("https://chatgpt.com/") ? PageVerdict::read : PageVerdict::notAChatPage;
  };
  auto plain = snap(desktop(app("com.openai.codex", windows)), "com.openai.codex", 60000, &chats);
  EXPECT_EQ(titles(plain), (std::vector<std::string>{"Chat", "Nested"}));
  EXPECT_EQ(asked.back(), "https://chatgpt.com/c/inner");  // a page without an address: its inner page's
  AXSnapshotter::PageFilter nothing = [](const std::string&) { return PageVerdict::notAChatPage; };
  EXPECT_TRUE(trees(snap(desktop(app("com.openai.codex", windows)), "com.openai.codex", 60000, &nothing)).empty());
  EXPECT_EQ(contentReads(), 0);
  // Judged by its address alone: not even the list of what a refused page
  // shows is asked for (a browser can take a second to list a long page's).
  EXPECT_EQ(pageChildrenReads(), 0);
}

}  // namespace
}  // namespace zel
