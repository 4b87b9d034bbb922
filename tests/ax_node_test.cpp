#include <gtest/gtest.h>

#include "trees/ax_node.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
namespace {

using test::chain;
using test::classed;
using test::described;
using test::el;
using test::st;
using test::titled;
using test::valued;

struct TextCase {
  const char* name;
  AXNode tree;
  std::string text;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextRendering : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextRendering, RendersAsWritten) { EXPECT_EQ(GetParam().tree.text(), GetParam().text); }

AXNode cell(std::vector<AXNode> kids) { return el("AXCell", std::move(kids)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TextRendering,
    ::testing::Values(
        TextCase{"adjacent static texts join, group ends the line",
                 el("AXGroup", {el("AXGroup", {st("Hello"), st("world")}), st("next")}), "Helloworld\nnext"},
        TextCase{"value wins over title in static text",
                 el("AXGroup", {titled(valued(el("AXStaticText"), "value"), "title")}), "value"},
        TextCase{"static text falls back to title", el("AXGroup", {titled(el("AXStaticText"), "t")}), "t"},
        TextCase{"list marker prefers title", el("AXGroup", {titled(valued(el("AXListMarker"), "v"), "1."), st("x")}),
                 "1.x"},
        TextCase{"list marker falls back to value", el("AXGroup", {valued(el("AXListMarker"), "v")}), "v"},
        TextCase{"static text children are not visited", el("AXGroup", {el("AXStaticText", {st("inner")})}), ""},
        TextCase{"buttons, pop-ups and images are silent",
                 classed(el("AXGroup", {st("a"), described(el("AXButton", {st("label")}), "d"),
                                        el("AXPopUpButton", {st("menu")}), described(el("AXImage"), "pic"), st("b")}),
                         {"_Paragraph_q"}),
                 "ab"},
        TextCase{"table with one row", el("AXTable", {el("AXRow", {cell({st("a")}), cell({st("b")})})}), "a | b |"},
        TextCase{"table with two rows",
                 el("AXTable", {el("AXRow", {cell({st("a")}), cell({st("b")})}),
                                el("AXRow", {cell({st("c")}), cell({st("d")})})}),
                 "a | b | \nc | d |"},
        TextCase{"cell joins its paragraphs with a space",
                 el("AXRow", {cell({el("AXGroup", {st("one")}), el("AXGroup", {st("two")})})}), "one two |"},
        TextCase{"inline text runs into a following block",
                 el("AXGroup", {el(std::nullopt, {st("inline")}), el("AXHeading", {st("Title")})}), "inlineTitle"},
        TextCase{"group of groups is no block",
                 el(std::nullopt, {el("AXGroup", {el("AXGroup", {el(std::nullopt, {st("x")})})}), st("y")}), "xy"},
        TextCase{"classes make a block of any role",
                 el(std::nullopt, {classed(el("AXLink", {st("a")}), {"_ListItem_3"}),
                                   classed(el(std::nullopt, {st("b")}), {"whitespace-pre-wrap"}),
                                   classed(el(std::nullopt, {st("c")}), {"standard-markdown"}), st("d")}),
                 "a\nb\nc\nd"},
        TextCase{"a block never adds a second newline",
                 el("AXList", {el("AXList", {el("AXHeading", {st("deep")})}), st("after")}), "deep\nafter"},
        TextCase{"an empty block still ends the line before it",
                 el(std::nullopt, {st("a"), el("AXHeading"), st("b")}), "a\nb"},
        TextCase{"absent role still walks children", el(std::nullopt, {el(std::nullopt, {st(" x ")})}), "x"},
        TextCase{"surrounding unicode white space is trimmed",
                 el("AXGroup", {st("\u00A0\u2003 text \u2029\n")}), "text"},
        TextCase{"nested cells render inside out",
                 el("AXRow", {cell({el("AXRow", {cell({st("in")}), cell({st("ner")})})}), cell({st("z")})}),
                 "in | ner | | z |"},
        TextCase{"a cell's block does not start with a newline",
                 el("AXGroup", {st("before"), el("AXRow", {cell({el("AXHeading", {st("h")}), st("t")})})}),
                 "beforeh t |"}));

TEST(AXNodeTexts, KeepsOrderAndDropsOnlyEmptyAndLoneBullets) {
  AXNode list = el("AXList", {st("\u2022"), st(" \u00B7 "), st("\u2022 item"), st("   "), titled(el("AXStaticText"), "t"),
                              el("AXStaticText"), st("a"), el("AXGroup", {st("a")})});
  EXPECT_EQ(list.texts(), (std::vector<std::string>{"\u2022 item", "t", "a", "a"}));
  EXPECT_EQ(st(" root ").texts(), std::vector<std::string>{"root"});
}

TEST(AXNodeSearch, FirstIsPreorderFromTheRootAndDescendantsSkipTheRoot) {
  AXNode tree = el("AXGroup", {el("AXGroup", {titled(el("AXLink"), "deep")}), titled(el("AXLink"), "shallow")});
  auto isGroup = [](const AXNode& n) { return n.role == "AXGroup"; };
  auto isLink = [](const AXNode& n) { return n.role == "AXLink"; };

  EXPECT_EQ(tree.first(isGroup), &tree);
  ASSERT_NE(tree.first(isLink), nullptr);
  EXPECT_EQ(tree.first(isLink)->title, "deep");
  EXPECT_EQ(tree.first([](const AXNode&) { return false; }), nullptr);

  auto groups = tree.descendants(isGroup);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0], &tree.children[0]);
  auto links = tree.descendants(isLink);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0]->title, "deep");
  EXPECT_EQ(links[1]->title, "shallow");

  auto all = tree.preorder();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], &tree);
  EXPECT_EQ(all[2], &tree.children[0].children[0]);
  EXPECT_EQ(all[3], &tree.children[1]);
}

TEST(AXNodeSearch, MatchingNodesStillHaveTheirSubtreeSearched) {
  AXNode tree = el("AXGroup", {el("AXList", {el("AXList")})});
  EXPECT_EQ(tree.descendants([](const AXNode& n) { return n.role == "AXList"; }).size(), 2u);
}

TEST(AXNodeAttributes, ClassesAndPageTitle) {
  AXNode n = classed(el("AXGroup"), {"_Paragraph_1", "x"});
  EXPECT_TRUE(n.hasClass("x"));
  EXPECT_FALSE(n.hasClass("_Paragraph"));
  EXPECT_TRUE(n.hasClassPrefix("_Para"));
  EXPECT_FALSE(n.hasClassPrefix("y"));

  EXPECT_EQ(titled(el("AXGroup"), "T").pageTitle(), "T");
  EXPECT_EQ(described(el("AXGroup"), "D").pageTitle(), std::nullopt);
  EXPECT_EQ(described(el("AXWebArea"), "D").pageTitle(), "D");
  EXPECT_EQ(el("AXWebArea").pageTitle(), std::nullopt);
  EXPECT_EQ(described(titled(el("AXWebArea"), ""), "D").pageTitle(), "");
}

TEST(AXNodeFrames, RemovesNestedWebAreasOnly) {
  AXNode frame = el("AXWebArea", {st("ad")});
  AXNode page = el("AXWebArea", {st("content"), el("AXGroup", {frame}), el("AXGroup", {el("AXWebArea")})});
  AXNode window = el("AXWindow", {page, el("AXWebArea", {st("sibling")})});

  AXNode expectedPage = el("AXWebArea", {st("content"), el("AXGroup"), el("AXGroup")});
  AXNode expected = el("AXWindow", {expectedPage, el("AXWebArea", {st("sibling")})});
  EXPECT_EQ(window.withoutFramedPages(), expected);

  // The root stays even when it is a web area; its nested pages go.
  EXPECT_EQ(page.withoutFramedPages(), expectedPage);
  EXPECT_EQ(expected.withoutFramedPages(), expected);
}

TEST(AXNodeEquality, ComparesEveryFieldAndChildOrder) {
  AXNode a = el("AXGroup", {st("x"), st("y")});
  AXNode b = a;
  EXPECT_EQ(a, b);
  b.children[1].domClasses.push_back("c");
  EXPECT_NE(a, b);
  AXNode swapped = el("AXGroup", {st("y"), st("x")});
  EXPECT_NE(a, swapped);
  AXNode emptyTitle = a;
  emptyTitle.title = "";
  EXPECT_NE(a, emptyTitle);  // an empty text is present, not absent
}

TEST(AXNodeValue, MoveAssigningADescendantKeepsItIntact) {
  AXNode tree = el("AXGroup", {el("AXList", {st("kept")})});
  tree = std::move(tree.children[0]);
  EXPECT_EQ(tree, el("AXList", {st("kept")}));
}

// A live walk can produce a chain this deep; nothing may recurse on it.
TEST(AXNodeDeepChain, EveryOperationWalksWithoutRecursion) {
  constexpr size_t depth = 60000;
  AXNode deep = chain(depth);
  AXNode copy = deep;
  EXPECT_EQ(copy, deep);
  EXPECT_EQ(deep.text(), "end");
  EXPECT_EQ(deep.texts(), std::vector<std::string>{"end"});
  EXPECT_EQ(deep.preorder().size(), depth);
  EXPECT_EQ(deep.descendants([](const AXNode& n) { return n.role == "AXGroup"; }).size(), depth - 2);
  EXPECT_NE(deep.first([](const AXNode& n) { return n.role == "AXStaticText"; }), nullptr);
  EXPECT_EQ(deep.withoutFramedPages(), deep);
  EXPECT_GT(deep.json().size(), depth * 10);
  copy = AXNode();  // frees the copy's 60,000 levels
  EXPECT_EQ(copy, AXNode());
}

}  // namespace
}  // namespace zel
