#include <gtest/gtest.h>

#include <algorithm>

#include "chat/reading_policy.h"
#include "chat/browser_extractor.h"
#include "chat/chat_page.h"
#include "chat/chat_sites.h"
#include "chat/own_chat_only.h"
#include "chat/claude/claude_extractor.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::chat;
namespace {

using namespace test;

TEST(ChatPageAddress, ShapesOfConversationAddresses) {
  const std::string id128(128, 'a'), id129(129, 'a');
  struct Case {
    std::string url;
    Source source;
    std::optional<std::string> address;
  };
  const Case cases[] = {
      {"https://chatgpt.com/c/abc-123_X", Source::chatGPTWeb, "https://chatgpt.com/c/abc-123_X"},
      {"https://chatgpt.com/c/abc?model=4#top", Source::chatGPTWeb, "https://chatgpt.com/c/abc"},
      {"https://chatgpt.com/c/abc/", Source::chatGPTWeb, "https://chatgpt.com/c/abc/"},
      {"https://chatgpt.com/c/abc//", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/c/" + id128, Source::chatGPTWeb, "https://chatgpt.com/c/" + id128},
      {"https://chatgpt.com/c/" + id129, Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/g/g-p-1%20x_y/c/abc", Source::chatGPTWeb, "https://chatgpt.com/g/g-p-1%20x_y/c/abc"},
      {"https://chatgpt.com/g/g-p/c/ab%20c", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/g/" + std::string(257, 'p') + "/c/abc", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/?c=abc", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/", Source::chatGPTWeb, std::nullopt},
      {"https://ChatGPT.com/c/abc", Source::chatGPTWeb, std::nullopt},
      {"http://chatgpt.com/c/abc", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/c/ab\xc3\xa9", Source::chatGPTWeb, std::nullopt},
      {"https://chatgpt.com/c/abc", Source::chatGPTApp, std::nullopt},
      {"https://claude.ai/chat/4f3e-2d1c", Source::claudeWeb, "https://claude.ai/chat/4f3e-2d1c"},
      {"https://claude.ai/chat/4f3e-2d1c", Source::claudeApp, "https://claude.ai/chat/4f3e-2d1c"},
      {"https://claude.ai/epitaxy/session_01AbC", Source::claudeWeb, "https://claude.ai/epitaxy/session_01AbC"},
      {"https://claude.ai/epitaxy/session_", Source::claudeWeb, std::nullopt},
      {"https://claude.ai/chat", Source::claudeWeb, std::nullopt},
      {"https://claude.ai/project/abc", Source::claudeWeb, std::nullopt},
      {"https://grok.com/c/abc", Source::grokWeb, "https://grok.com/c/abc"},
      {"https://x.com/i/grok?focus=1&conversation=123", Source::grokWeb, "https://x.com/i/grok?conversation=123"},
      {"https://x.com/i/grok?conversation=&conversation=123", Source::grokWeb, std::nullopt},
      {"https://x.com/i/grok?&conversation=9#f", Source::grokWeb, "https://x.com/i/grok?conversation=9"},
      {"https://x.com/i/grok", Source::grokWeb, std::nullopt},
      {"https://x.com/i/grok/?conversation=1", Source::grokWeb, "https://x.com/i/grok/?conversation=1"},
      {"https://x.com/i/grok#?conversation=1", Source::grokWeb, std::nullopt},
      {"https://grok.com/c/abc", Source::chatGPTWeb, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ChatPage::address(c.url, c.source), c.address) << c.url;
}

TEST(ChatPageRefuses, OnlyAppConversationsShowingOtherPages) {
  auto conversation = [](Source s, std::optional<std::string> locator) {
    Conversation c;
    c.source = s;
    c.locator = std::move(locator);
    return c;
  };
  EXPECT_FALSE(ChatPage::refuses(conversation(Source::chatGPTApp, "https://example.com/")));
  EXPECT_FALSE(ChatPage::refuses(conversation(Source::claudeApp, std::nullopt)));
  EXPECT_FALSE(ChatPage::refuses(conversation(Source::claudeApp, "")));
  EXPECT_FALSE(ChatPage::refuses(conversation(Source::claudeApp, "app://claude/new")));
  EXPECT_FALSE(ChatPage::refuses(conversation(Source::claudeApp, "https://claude.ai/chat/abc")));
  EXPECT_TRUE(ChatPage::refuses(conversation(Source::claudeApp, "https://claude.ai/settings/profile")));
}

BrowserExtractor browser(const char* bundleID) { return BrowserExtractor(*Browsers::named(bundleID, System::macOS), fixedClock()); }

TEST(ReadingPolicy, JudgesEachPageOnceAndSaysWhyNot) {
  const BrowserChatConsent consent({"com.google.Chrome", "org.mozilla.firefox"});
  int profileCalls = 0;
  const ReadingPolicy::ProfileJudge profile = [&](const std::string& url) -> std::optional<PageVerdict> {
    ++profileCalls;
    if (url.starts_with("https://www.linkedin.com/in/")) return PageVerdict::profileNotAdmitted;
    return std::nullopt;
  };
  struct Case {
    const char* browser;
    const char* url;
    PageVerdict verdict;
  };
  const Case cases[] = {
      {"com.google.Chrome", "https://chatgpt.com/c/abc", PageVerdict::read},
      {"com.apple.Safari", "https://chatgpt.com/c/abc", PageVerdict::chatNotAllowed},
      {"org.mozilla.firefox", "https://grok.com/c/abc", PageVerdict::chatSiteNotForBrowser},
      {"com.google.Chrome", "https://example.com/", PageVerdict::notAChatPage},
      {"com.google.Chrome", "https://www.linkedin.com/in/someone/", PageVerdict::profileNotAdmitted},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadingPolicy(consent, std::make_shared<BrowserExtractor>(browser(c.browser))).judge(c.url, profile), c.verdict) << c.browser << " " << c.url;
  EXPECT_EQ(profileCalls, 4);  // a chat page read is no profile page: not asked

  // A recording's policy: every page, a profile page only as the judge admits.
  const ReadingPolicy every = ReadingPolicy::everyPage();
  EXPECT_EQ(every.judge("https://example.com/", profile), PageVerdict::read);
  EXPECT_EQ(every.judge("https://grok.com/c/abc", profile), PageVerdict::read);
  EXPECT_EQ(every.judge("https://www.linkedin.com/in/someone/", profile), PageVerdict::profileNotAdmitted);
}

// A browser row names the chat sites it reads by the sites' own names.
TEST(ChatSites, EveryChatABrowserRowReadsIsASite) {
  for (System system : {System::macOS, System::Linux})
    for (const Browser& row : Browsers::all(system))
      for (const std::string& chat : row.reads.chats)
        EXPECT_TRUE(std::any_of(ChatSites::all().begin(), ChatSites::all().end(),
                                [&](const ChatSite& site) { return site.name == chat; }))
            << row.bundleID << " " << chat;
}

TEST(BrowserExtractor, ReadsAChatPageAndKeepsItsAddressAsRead) {
  AXNode window = fixtureWindow("chatgpt_grouped.json");
  auto c = browser("com.google.Chrome").extract(window);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->source, Source::chatGPTWeb);
  EXPECT_EQ(c->turns.size(), 5u);

  AXNode claude = fixtureWindow("claude_web.json");
  auto fromSafari = browser("com.apple.Safari").extract(claude);
  ASSERT_TRUE(fromSafari);
  EXPECT_EQ(fromSafari->locator, "https://claude.ai/chat/4f3e2d1c-0b9a-4876-a5b4-c3d2e1f0a9b8?from=sidebar#end");
}

TEST(BrowserExtractor, PrivateTitlesAreRefusedByTheBrowsersOwnEndings) {
  AXNode window = fixtureWindow("chatgpt_grouped.json");
  window.title = "Reversing lists - Google Chrome (Guest)";
  EXPECT_FALSE(browser("com.google.Chrome").extract(window));
  EXPECT_TRUE(browser("com.apple.Safari").extract(window));  // not a Safari ending
  EXPECT_FALSE(BrowserExtractor(std::nullopt, fixedClock()).extract(window));

  window.title = "Chat \u2014 Navigation priv\u00e9e";
  EXPECT_FALSE(browser("org.mozilla.firefox").extract(window));
  window.title = "Chat \u2014 Navigation prive\u0301e";  // decomposed: the same text
  EXPECT_FALSE(browser("org.mozilla.firefox").extract(window));
  EXPECT_TRUE(Browsers::endsLikePrivateWindow("x \u2014 Private Browsing"));
  EXPECT_TRUE(Browsers::endsLikePrivateWindow("x, Private Browsing"));
  EXPECT_FALSE(Browsers::endsLikePrivateWindow("x (incognito)"));
  EXPECT_FALSE(Browsers::endsLikePrivateWindow(std::nullopt));
}

TEST(BrowserExtractor, OnlyConversationPagesOfSitesTheBrowserReads) {
  AXNode grok = fixtureWindow("grok_page.json");
  EXPECT_TRUE(browser("com.google.Chrome").extract(grok));
  EXPECT_FALSE(browser("org.mozilla.firefox").extract(grok));  // Firefox does not read Grok

  AXNode settings = fixtureWindow("chatgpt_grouped.json");
  editAll(settings, [](AXNode& n) {
    if (hasRole(n, "AXWebArea")) n.url = "https://chatgpt.com/settings";
  });
  EXPECT_FALSE(browser("com.google.Chrome").extract(settings));

  EXPECT_FALSE(browser("com.google.Chrome").extract(el("AXWindow", {st("no page")})));
  EXPECT_TRUE(browser("com.google.Chrome").reads("https://claude.ai/chat/x"));
  EXPECT_FALSE(browser("org.mozilla.firefox").reads("https://grok.com/c/x"));
}

TEST(BrowserExtractor, FramedPagesAreNotPartOfTheChat) {
  AXNode window = fixtureWindow("grok_page.json");
  AXNode* list = nullptr;
  editAll(window, [&](AXNode& n) {
    if (n.hasClass("flex-col")) list = &n;
  });
  ASSERT_NE(list, nullptr);
  AXNode frame = el("AXWebArea", {classed(el("AXGroup", {st("from a frame")}), {"items-start"})});
  list->children.push_back(classed(el("AXGroup", {frame}), {"items-start"}));
  auto c = browser("com.google.Chrome").extract(window);
  ASSERT_TRUE(c);
  for (const Turn& t : c->turns) EXPECT_EQ(t.text.find("from a frame"), std::string::npos);
}

TEST(OwnChatOnly, RefusesAppWindowsShowingOtherPages) {
  const OwnChatOnly own(std::make_shared<ClaudeExtractor>(Source::claudeApp, fixedClock()));
  AXNode window = fixtureWindow("claude_rows.json");
  ASSERT_TRUE(own.extract(window));
  auto withPage = [&](const char* url) {
    AXNode w = window;
    editAll(w, [&](AXNode& n) {
      if (hasRole(n, "AXWebArea")) n.url = url;
    });
    return own.extract(w);
  };
  EXPECT_FALSE(withPage("https://claude.ai/settings/profile"));
  EXPECT_TRUE(withPage("app://claude/chat"));
  EXPECT_TRUE(withPage(""));
}

}  // namespace
}  // namespace zel
