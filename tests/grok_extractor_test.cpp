#include <gtest/gtest.h>

#include "chat/grok/grok_extractor.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

using namespace test;

std::optional<Conversation> read(const AXNode& window) { return GrokExtractor(fixedClock()).extract(window); }

TEST(GrokExtractor, ReadsRowsByAlignment) {
  auto c = read(fixtureWindow("grok_page.json"));
  ASSERT_TRUE(c);
  EXPECT_EQ(turnsOf(c),
            "user|Who wrote Dune?||-|-|-\n"
            "assistant|Frank Herbert, in 1965.\\nWikipedia||-|-|-\n"
            "assistant|Want a summary?||-|-|-\n"
            "assistant|Both sides, no bubble: read as an answer||-|-|-\n");
  EXPECT_EQ(c->source, Source::grokWeb);
  EXPECT_EQ(c->title, "Dune author");
  EXPECT_EQ(c->locator, "https://grok.com/c/5e4d3c2b-1a09-4f8e-b7d6-c5b4a3928170");
}

AXNode page(AXNode region, std::optional<std::string> title = std::nullopt) {
  AXNode web = el("AXWebArea", {std::move(region)});
  web.title = std::move(title);
  return el("AXWindow", {web});
}

AXNode region(std::vector<std::string> classes, const char* subrole = "AXLandmarkRegion") {
  AXNode list = el("AXGroup", {classed(el("AXGroup", {classed(st("hi"), {"whitespace-pre-wrapper"})}), {"items-end"})});
  return subroled(classed(el("AXGroup", {list}), std::move(classes)), subrole);
}

TEST(GrokExtractor, TheScrollRegionNeedsItsSubroleAndAScrollbarClass) {
  EXPECT_TRUE(read(page(region({"x", "scrollbar-thin"}))));
  EXPECT_FALSE(read(page(region({"x"}))));
  EXPECT_FALSE(read(page(region({"scrollbar"}, "AXLandmarkMain"))));
}

TEST(GrokExtractor, TitleLosesOnlyATrailingXSuffix) {
  EXPECT_EQ(read(page(region({"scrollbar"}), "Chat / X"))->title, "Chat");
  EXPECT_EQ(read(page(region({"scrollbar"}), "Chat / X / X"))->title, "Chat / X");
  EXPECT_EQ(read(page(region({"scrollbar"}), "X / Chat"))->title, "X / Chat");
  EXPECT_EQ(read(page(region({"scrollbar"})))->title, std::nullopt);
}

TEST(GrokExtractor, ReplyContent) {
  EXPECT_TRUE(GrokExtractor::isReplyContent(el(std::nullopt)));
  EXPECT_TRUE(GrokExtractor::isReplyContent(el("AXLink", {st("text")})));
  EXPECT_FALSE(GrokExtractor::isReplyContent(el("AXLink", {el("AXGroup", {el("AXImage")})})));
  EXPECT_FALSE(GrokExtractor::isReplyContent(el("AXButton")));
  EXPECT_FALSE(GrokExtractor::isReplyContent(el("AXPopUpButton")));
}

}  // namespace
}  // namespace zel
