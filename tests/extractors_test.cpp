#include <gtest/gtest.h>

#include <thread>

#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/claude/claude_extractor.h"
#include "chat/extractors.h"
#include "chat/grok/grok_extractor.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::chat;
namespace {

using namespace test;

TEST(Extractors, RegistryHoldsTheAppsAndEveryReadingBrowserOnce) {
  std::vector<std::string> keys;
  for (const auto& [id, extractor] : Extractors::byBundleID(System::macOS)) {
    keys.push_back(id);
    EXPECT_NE(extractor, nullptr);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"com.anthropic.claudefordesktop", "com.apple.Safari", "com.google.Chrome",
                                            "com.openai.codex", "org.mozilla.firefox"}));
  EXPECT_EQ(Extractors::apps().size(), 2u);
  EXPECT_EQ(Extractors::byBundleID(System::macOS).at("com.openai.codex"), Extractors::apps().at("com.openai.codex"));
}

TEST(Extractors, FirstUseFromTwoThreadsBuildsOneTable) {
  const ExtractorTable* seen[2] = {};
  std::thread a([&] { seen[0] = &Extractors::byBundleID(System::macOS); });
  std::thread b([&] { seen[1] = &Extractors::byBundleID(System::macOS); });
  a.join();
  b.join();
  EXPECT_EQ(seen[0], seen[1]);
}

// Every extractor is a pure function of any tree: odd, huge or deep trees
// give a conversation or nothing, never a crash.
TEST(Extractors, AnyTreeGivesAConversationOrNothing) {
  std::vector<std::shared_ptr<const Extractor>> extractors{
      std::make_shared<ChatGPTExtractor>(Source::chatGPTWeb), std::make_shared<ClaudeExtractor>(Source::claudeWeb),
      std::make_shared<GrokExtractor>()};
  for (const auto& [id, e] : Extractors::byBundleID(System::macOS)) extractors.push_back(e);

  AXNode deep = chain(60000);
  AXNode deepWeb = el("AXWebArea", {chain(60000)});
  deepWeb.url = "https://chatgpt.com/c/abc";
  AXNode big = syntheticWindow(60000);
  AXNode odd = el(std::nullopt, {el(""), st(""), classed(el("AXGroup"), {"", "thread-scroll-container"}),
                                 subroled(el("AXGroup", {el("AXHeading")}), "AXDocumentArticle"),
                                 described(subroled(el("AXGroup"), "AXDocumentArticle"), "\xff\xfe 1 of")});
  for (const AXNode* tree : {&deep, &deepWeb, &big, &odd}) {
    for (const auto& e : extractors) {
      auto c = e->extract(*tree);
      if (c) {
        EXPECT_FALSE(c->turns.empty());
      }
    }
  }
}

}  // namespace
}  // namespace zel
