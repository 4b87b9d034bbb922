#include <gtest/gtest.h>

#include "browsers/browsers.h"

namespace zel {
using namespace zel::browsers;
namespace {

TEST(Browsers, TheBuiltInTable) {
  const auto& all = Browsers::all(System::macOS);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].bundleID, "com.google.Chrome");
  EXPECT_EQ(all[1].bundleID, "com.apple.Safari");
  EXPECT_EQ(all[2].bundleID, "org.mozilla.firefox");
  EXPECT_EQ(Browsers::read(System::macOS).size(), 3u);

  const Browser& firefox = all[2];
  ASSERT_EQ(firefox.privateWindow.titleSuffixes.size(), 68u);
  for (const auto& s : firefox.privateWindow.titleSuffixes) EXPECT_TRUE(s.starts_with(" \u2014 ")) << s;
  EXPECT_EQ(firefox.privateWindow.titleSuffixes.front(), " \u2014 Private Browsing");
  EXPECT_EQ(firefox.privateWindow.titleSuffixes.back(), " \u2014 \uc0ac\uc0dd\ud65c \ubcf4\ud638 \ubaa8\ub4dc");
  EXPECT_FALSE(firefox.readsChat("grok"));
  EXPECT_TRUE(firefox.readsChat("claude"));
  EXPECT_EQ(firefox.treeSwitch, "AXEnhancedUserInterface");
  ASSERT_TRUE(firefox.privateWindow.alwaysPrivate);
  EXPECT_EQ(firefox.privateWindow.alwaysPrivate->root, "Library/Application Support/Firefox");
  EXPECT_EQ(all[0].treeWake, "AXRole");
  EXPECT_EQ(all[1].signer.kind, Browser::Signer::Kind::apple);
  EXPECT_EQ(all[0].signer.team, "EQHXZ8M8AV");
}

TEST(Browsers, NamedIsExact) {
  EXPECT_EQ(Browsers::named("com.google.Chrome", System::macOS), &Browsers::all(System::macOS)[0]);
  EXPECT_EQ(Browsers::named("com.google.chrome", System::macOS), nullptr);
  EXPECT_EQ(Browsers::named("", System::macOS), nullptr);
}

TEST(Browsers, InterfaceLanguageIsTheFirstOfAListOfTexts) {
  struct Case {
    std::optional<Json> value;
    std::optional<std::string> language;
  };
  const Case cases[] = {
      {Json::parse(R"(["en-GB","de"])"), "en-GB"},
      {std::nullopt, std::nullopt},
      {Json::parse("[]"), std::nullopt},
      {Json::parse(R"("en")"), std::nullopt},
      {Json::parse(R"(["en", 1])"), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Browsers::interfaceLanguage(c.value), c.language);
}

Json browserJSON() {
  return Json::parse(R"json({
    "bundleId": "com.example.browser", "name": "Example", "engine": "webkit",
    "signer": {"kind": "developerId", "team": "ABCDE12345"},
    "private": {"titleSuffixes": [" (Private)"], "titleLanguages": [], "shownMenus": [],
                "privateMarkers": [], "normalMarkers": [],
                "alwaysPrivate": {"pref": "p", "root": "Library/Example"}},
    "reads": {"chats": ["claude"], "profiles": false},
    "verified": {"date": "2026-01-01", "version": "1.0"}})json");
}

TEST(BrowserJSON, DecodesEveryField) {
  auto b = browserFromJSON(browserJSON());
  ASSERT_TRUE(b) << b.error();
  EXPECT_EQ(b->bundleID, "com.example.browser");
  EXPECT_EQ(b->engine, Browser::Engine::webkit);
  EXPECT_EQ(b->signer.team, "ABCDE12345");
  EXPECT_EQ(b->treeSwitch, std::nullopt);
  EXPECT_EQ(b->treeWake, std::nullopt);
  EXPECT_EQ(b->privateWindow.titleSuffixes, std::vector<std::string>{" (Private)"});
  EXPECT_EQ(b->privateWindow.alwaysPrivate->pref, "p");
  EXPECT_EQ(b->reads.chats, std::vector<std::string>{"claude"});
  EXPECT_FALSE(b->reads.profiles);
}

TEST(BrowserJSON, SignerKindsAndMissingKeys) {
  Json apple = browserJSON();
  apple["signer"] = {{"kind", "apple"}, {"team", "IGNORED"}};
  auto a = browserFromJSON(apple);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->signer, (Browser::Signer{Browser::Signer::Kind::apple, ""}));

  struct Case {
    const char* pointer;  // what to change
    Json value;           // null removes the key
    const char* error;
  };
  const Case cases[] = {
      {"/signer/kind", "thirdParty", "signer.kind: signer thirdParty"},
      {"/signer/team", nullptr, "signer.team: is missing"},
      {"/private", nullptr, "private: is missing"},
      {"/private/shownMenus", "File", "private.shownMenus: must be a list of texts"},
      {"/reads/profiles", "yes", "reads.profiles: must be true or false"},
      {"/engine", "blink", "engine: engine blink"},
      {"/verified/version", nullptr, "verified.version: is missing"},
  };
  for (const auto& c : cases) {
    Json j = browserJSON();
    const Json::json_pointer at(c.pointer);
    if (c.value.is_null()) j[at.parent_pointer()].erase(at.back());
    else j[at] = c.value;
    auto b = browserFromJSON(j);
    EXPECT_FALSE(b) << c.pointer;
    EXPECT_EQ(b.error(), c.error) << c.pointer;
  }
}

}  // namespace
}  // namespace zel
