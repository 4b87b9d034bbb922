#include <gtest/gtest.h>

#include "chat/claude/claude_extractor.h"
#include "base/unicode_text.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

using namespace test;

std::optional<Conversation> read(const AXNode& window, Source source = Source::claudeWeb) {
  return ClaudeExtractor(source, fixedClock()).extract(window);
}

TEST(ClaudeExtractor, HiddenHeadingReadingOfABrowserPage) {
  auto c = read(fixtureWindow("claude_web.json"));
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|Summarise this paper in three points||1|-|-\n"
            "assistant|The paper makes three points:\\n1.Models drift\\n2.Probes catch it||2|2:15 PM|-\n"
            "user|Shorter please||3|-|-\n"
            "assistant|Drift happens; probes find it.||4|-|-\n");
  EXPECT_EQ(c->title, "Paper summary");
  EXPECT_EQ(c->locator, "https://claude.ai/chat/4f3e2d1c-0b9a-4876-a5b4-c3d2e1f0a9b8?from=sidebar#end");
  EXPECT_EQ(c->totalTurns, 4);
  EXPECT_EQ(c->source, Source::claudeWeb);
}

TEST(ClaudeExtractor, MessageRowsAndTheirFallback) {
  auto c = read(fixtureWindow("claude_rows.json"), Source::claudeApp);
  ASSERT_TRUE(c);
  // The empty row (5 of 12) and the empty bubble (7 of 13) give no turn, but
  // the last pair of numbers still sets the total.
  EXPECT_EQ(turnsOf(c),
            "user|Draft the release notes||3|-|-\n"
            "assistant|Release 2.1 brings faster sync.||4|3:05 PM|-\n"
            "user|hidden heading is not read in a window with rows||-|-|-\n");
  EXPECT_EQ(c->totalTurns, 13);
  EXPECT_EQ(c->title, "Release notes");
}

TEST(ClaudeExtractor, ClassFreeMessagesByToggleAndOrdinal) {
  auto c = read(fixtureWindow("claude_classfree.json"), Source::claudeApp);
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|What is a monad?||1|10:00|-\n"
            "assistant|A monoid in the category of endofunctors.\\nLess tersely: a way to chain steps.||2|10:01|-\n"
            "user|Example?||-|-|-\n"
            "assistant|Option and Result are monads.||6|-|-\n");
  EXPECT_EQ(c->totalTurns, 6);
  EXPECT_EQ(c->title, "");  // an empty title is a title: the description is not used
}

TEST(ClaudeExtractor, TitleSuffixes) {
  struct Case {
    std::optional<std::string> title, desc, expected;
  };
  const Case cases[] = {
      {"Project plan - Claude Code", {}, "Project plan"},
      {"Notes - Claude", {}, "Notes"},
      {"Notes - Claude - Claude Code", {}, "Notes - Claude"},
      {"Claude", {}, "Claude"},
      {"Notes - Claude\u0301", {}, "Notes - Claude\u0301"},
      {{}, "Monads - Claude", "Monads"},
  };
  for (const auto& c : cases) {
    AXNode article = subroled(el("AXGroup", {classed(el("AXGroup", {st("hi")}), {"whitespace-pre-wrap"})}),
                              "AXDocumentArticle");
    AXNode page = el("AXWebArea", {article});
    page.title = c.title;
    page.desc = c.desc;
    auto conversation = read(el("AXWindow", {page}));
    ASSERT_TRUE(conversation);
    EXPECT_EQ(conversation->title, c.expected);
  }
}

TEST(ClaudeExtractor, NumbersOfADescription) {
  struct Case {
    const char* text;
    std::vector<int64_t> numbers;
  };
  const Case cases[] = {
      {"Message 3 of 12", {3, 12}},
      {"", {}},
      {"1,234", {1, 234}},
      {"\u0663 of \u0661\u0662", {3, 12}},  // Arabic-Indic digits
      {"\u216B", {12}},                     // Roman numeral twelve: one character worth 12
      {"\u00BD and 7", {7}},                // one half has no whole-number value
      {"99999999999999999999 then 5", {5}},
      {"9223372036854775807", {INT64_MAX}},
      {"5\u0301 9", {9}},  // a digit with a combining mark is no whole number
  };
  for (const auto& c : cases) EXPECT_EQ(numbersIn(c.text), c.numbers) << c.text;
}

TEST(ClaudeExtractor, PositionsNeedExactlyTwoNumbers) {
  auto message = [](const char* desc, const char* text) {
    return described(subroled(el("AXGroup", {classed(el("AXGroup", {st(text)}), {"whitespace-pre-wrap"})}),
                              "AXDocumentArticle"),
                     desc);
  };
  AXNode window = el("AXWindow", {message("1 of 2", "a"), message("3", "b"), message("4 of 5 of 6", "c")});
  auto c = read(window);
  EXPECT_EQ(turnsOf(c), "user|a||1|-|-\nuser|b||-|-|-\nuser|c||-|-|-\n");
  EXPECT_EQ(c->totalTurns, 2);
}

TEST(ClaudeExtractor, ReplyContent) {
  AXNode status = subroled(el("AXGroup"), "AXApplicationStatus");
  EXPECT_TRUE(ClaudeExtractor::isReplyContent(el("AXHeading")));
  EXPECT_TRUE(ClaudeExtractor::isReplyContent(el(std::nullopt)));
  EXPECT_FALSE(ClaudeExtractor::isReplyContent(classed(el("AXHeading"), {"sr-only"})));
  EXPECT_FALSE(ClaudeExtractor::isReplyContent(el("AXToolbar")));
  EXPECT_FALSE(ClaudeExtractor::isReplyContent(status));
  EXPECT_FALSE(ClaudeExtractor::isReplyContent(el("AXGroup", {el("AXGroup", {classed(el("AXGroup"), {"group/morph-y"})})})));
}

}  // namespace
}  // namespace zel
