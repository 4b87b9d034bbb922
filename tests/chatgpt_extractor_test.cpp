#include <gtest/gtest.h>

#include "chat/chatgpt/chatgpt_extractor.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

using namespace test;

std::optional<Conversation> read(const AXNode& window, Source source = Source::chatGPTWeb) {
  return ChatGPTExtractor(source, fixedClock()).extract(window);
}

AXNode hiddenHeading() { return classed(el("AXHeading", {st("You said:")}), {"sr-only"}); }

TEST(ChatGPTExtractor, GroupedReadingOfABrowserPage) {
  auto c = read(fixtureWindow("chatgpt_grouped.json"));
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|How do I reverse a list in Python?||-|-|-\n"
            "assistant|Use slicing or the reverse method:\\n\u2022items[::-1] returns a new list\\n"
            "\u2022items.reverse() works in place\\nitems = [1, 2, 3]\\nprint(items[::-1])\\n\\n"
            "Which one to pick\\nPrefer slicing when you need a copy.||-|-|-\n"
            "user|And for strings?||-|-|-\n"
            "user|Also tuples.||-|-|-\n"
            "assistant|Slicing works for both.\\ntype | how | \\nstr | s[::-1] |||-|-|-\n");
  EXPECT_EQ(c->source, Source::chatGPTWeb);
  EXPECT_EQ(c->title, "Reversing lists");
  EXPECT_EQ(c->locator, "https://chatgpt.com/c/68a1f0c2-7d4e-8001-9b3a-5c6d7e8f9012");
  EXPECT_EQ(c->totalTurns, std::nullopt);
  EXPECT_EQ(c->capturedAt, fixedClock().now());
  EXPECT_EQ(c->timeZone, "Europe/Berlin");
}

TEST(ChatGPTExtractor, FlatReadingOfTheCodexApp) {
  auto c = read(fixtureWindow("chatgpt_flat.json"), Source::chatGPTApp);
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|Fix the flaky test in ci.yml|ci.yml|-|9:41 PM|Yesterday\n"
            "assistant|The test races the server start.\\n\\nI added a readiness probe.||-|9:43 PM|Yesterday\n"
            "user||log.txt|-|8:00 AM|Today\n"
            "assistant|Got the log.||-|-|Today\n"
            "user|Run it again|run.sh|-|8:02 AM|Today\n"
            "assistant|All green.||-|-|Today\n");
  EXPECT_EQ(c->source, Source::chatGPTApp);
  EXPECT_EQ(c->title, "Fix flaky test");
  EXPECT_EQ(c->locator, "app://codex/thread/local");
}

TEST(ChatGPTExtractor, FlatReadingMergesSameRoleMessagesKeepingAttachmentsAndLaterTime) {
  auto part = [](const char* text, std::vector<std::string> classes) {
    return classed(el("AXGroup", {st(text)}), std::move(classes));
  };
  AXNode container = el("AXGroup", {hiddenHeading(), part("one", {"bg-user-message"}), part("a.txt", {"truncate"}),
                                    st("9:00"), hiddenHeading(), part("two", {"bg-user-message", "truncate"}),
                                    st("9:05"), st("9:06")});
  AXNode window = classed(el("AXGroup", {container}), {"thread-scroll-container"});
  EXPECT_EQ(turnsOf(read(window)), "user|one\\n\\ntwo|a.txt,two|-|9:06|-\n");
}

TEST(ChatGPTExtractor, ClassFreeReading) {
  auto c = read(fixtureWindow("chatgpt_classfree.json"));
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|Plan a week of dinners||-|-|-\n"
            "assistant|Here is a plan:\\nMonday: soup\\nTuesday: pasta\\n\\nShopping list follows.\\n\\n"
            "Want recipes too?||-|-|-\n"
            "user|Yes please||-|-|-\n"
            "user|Thanks||-|-|-\n");
  EXPECT_EQ(c->title, std::nullopt);
  EXPECT_EQ(c->locator, std::nullopt);
}

TEST(ChatGPTExtractor, ClassFreeReadingNeedsAClassFreeTreeWithAMainLandmark) {
  AXNode window = fixtureWindow("chatgpt_classfree.json");
  AXNode withAClass = window;
  withAClass.children[0].domClasses = {"x"};
  EXPECT_FALSE(read(withAClass));
  ASSERT_TRUE(read(window));
  AXNode noMain = window;
  editAll(noMain, [](AXNode& n) {
    if (hasSubrole(n, "AXLandmarkMain")) n.subrole.reset();
  });
  EXPECT_FALSE(read(noMain));
}

TEST(ChatGPTExtractor, ClassFreeRegionsInsideRegionsReadEachContainerOnce) {
  auto turnGroup = [](const char* text, bool user) {
    AXNode g = el("AXGroup", {el("AXHeading", {st("h")}), el("AXGroup", {st(text)})});
    if (user) g.children.push_back(el("AXButton"));
    return g;
  };
  AXNode inner = subroled(el("AXGroup", {el("AXGroup", {turnGroup("hi", true)})}), "AXLandmarkRegion");
  AXNode outer = subroled(el("AXGroup", {inner}), "AXLandmarkRegion");
  AXNode main = subroled(el("AXGroup", {outer}), "AXLandmarkMain");
  EXPECT_EQ(turnsOf(read(el("AXWindow", {main}))), "user|hi||-|-|-\n");
}

TEST(ChatGPTExtractor, AScrollContainerWithoutHeadingsRulesOutTheOtherReadings) {
  AXNode window = fixtureWindow("chatgpt_classfree.json");
  AXNode scroll = classed(el("AXGroup", {st("nothing here")}), {"thread-scroll-container"});
  window.children.push_back(scroll);
  EXPECT_FALSE(read(window));
}

TEST(ChatGPTExtractor, AnEmptyUserBubbleSilencesItsGroup) {
  AXNode group = el("AXGroup", {hiddenHeading(), classed(el("AXGroup"), {"bg-user-message"}),
                                el("AXGroup", {st("answer text")})});
  AXNode answer = el("AXGroup", {hiddenHeading(), el("AXGroup", {st("real answer")})});
  AXNode window = classed(el("AXGroup", {group, answer}), {"thread-scroll-container"});
  EXPECT_EQ(turnsOf(read(window)), "assistant|real answer||-|-|-\n");
}

TEST(ChatGPTExtractor, ReplyContent) {
  struct Case {
    AXNode node;
    bool reply;
  };
  AXNode status = subroled(el("AXGroup"), "AXApplicationStatus");
  AXNode empty = subroled(el("AXGroup"), "AXEmptyGroup");
  const Case cases[] = {
      {el("AXGroup"), true},           {el("AXList"), true},
      {el("AXTable"), true},           {el("AXHeading"), true},
      {el(std::nullopt), false},       {el("AXStaticText"), false},
      {status, false},                 {empty, false},
      {classed(el("AXGroup"), {"sr-only"}), false}, {classed(el("AXGroup"), {"contents"}), false},
      {classed(el("AXGroup"), {"outline-none"}), false}, {classed(el("AXGroup"), {"contents-x"}), true},
  };
  for (const auto& c : cases) EXPECT_EQ(ChatGPTExtractor::isReplyContent(c.node), c.reply) << c.node.json();
}

}  // namespace
}  // namespace zel
