#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "base/unicode_text.h"
#include "chat/conversation.h"
#include "support/chats.h"
#include "tools/capture_tool.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

using R = Turn::Role;

Turn t(R role, std::string text, std::optional<int64_t> position = std::nullopt) {
  Turn turn = makeTurn(role, std::move(text));
  turn.position = position;
  return turn;
}

std::string texts(const std::vector<Turn>& turns) {
  std::string out;
  for (const Turn& turn : turns) {
    out += (turn.role == R::user ? "u:" : "a:") + turn.text;
    if (turn.position) out += "@" + std::to_string(*turn.position);
    out += " ";
  }
  return out;
}

std::string merged(const std::vector<Turn>& e, const std::vector<Turn>& l) { return texts(Conversation::mergeByContent(e, l)); }

TEST(MergeByContent, MatchingAndGrowth) {
  const std::vector<Turn> chat{t(R::user, "hi"), t(R::assistant, "hello there")};
  EXPECT_EQ(merged(chat, chat), texts(chat));
  EXPECT_EQ(merged({}, chat), texts(chat));
  EXPECT_EQ(merged(chat, {}), texts(chat));
  // A grown answer replaces the shorter one in place; a shorter prefix does not.
  EXPECT_EQ(merged(chat, {t(R::assistant, "hello there, friend")}), "u:hi a:hello there, friend ");
  EXPECT_EQ(merged(chat, {t(R::assistant, "hello")}), "u:hi a:hello there ");
  // Different roles or unrelated texts never match.
  EXPECT_EQ(merged({t(R::user, "same")}, {t(R::assistant, "same")}), "u:same a:same ");
  EXPECT_EQ(merged({t(R::user, "one")}, {t(R::user, "two")}), "u:one u:two ");
  EXPECT_EQ(merged({t(R::user, "")}, {t(R::user, "")}), "u: ");
  EXPECT_EQ(merged({t(R::user, "")}, {t(R::user, "x")}), "u: u:x ");
  // Canonically equal texts match: precomposed and decomposed.
  EXPECT_EQ(merged({t(R::user, "caf\u00e9")}, {t(R::user, "cafe\u0301 au lait")}), "u:cafe\u0301 au lait ");
  EXPECT_EQ(merged({t(R::user, "cafe")}, {t(R::user, "cafe\u0301")}), "u:cafe u:cafe\u0301 ");
}

TEST(MergeByContent, PlacingNewTurns) {
  const std::vector<Turn> earlier{t(R::user, "q1"), t(R::assistant, "a1"), t(R::user, "q2"), t(R::assistant, "a2")};
  // Scrolled further down: new turns right after the last matched one, before
  // earlier turns that were not seen again.
  EXPECT_EQ(merged(earlier, {t(R::assistant, "a1"), t(R::user, "q9"), t(R::assistant, "a9")}),
            "u:q1 a:a1 u:q9 a:a9 u:q2 a:a2 ");
  // Scrolled up, nothing matched: without positions, after everything.
  EXPECT_EQ(merged(earlier, {t(R::user, "q0"), t(R::assistant, "a0")}), "u:q1 a:a1 u:q2 a:a2 u:q0 a:a0 ");
  // With positions: before the first earlier turn of a greater position.
  const std::vector<Turn> positioned{t(R::user, "q5", 5), t(R::assistant, "a5", 6)};
  EXPECT_EQ(merged(positioned, {t(R::user, "q1", 1), t(R::assistant, "a1", 2)}), "u:q1@1 a:a1@2 u:q5@5 a:a5@6 ");
  EXPECT_EQ(merged(positioned, {t(R::user, "q9", 9)}), "u:q5@5 a:a5@6 u:q9@9 ");
  // New turns between two matched ones land right before the later match.
  EXPECT_EQ(merged(earlier, {t(R::user, "q1"), t(R::user, "between"), t(R::user, "q2")}), "u:q1 a:a1 u:between u:q2 a:a2 ");
}

// The matching, against the rule's plain reading: every later turn tries the
// earlier turns from the cursor on. Texts from a tiny alphabet make prefixes,
// equal texts and near misses common; "\u00e9" and "e\u0301" are the same
// character, and a prefix ending inside a character does not count.
TEST(MergeByContent, MatchingIsTheRulesReading) {
  const std::vector<std::string> pieces = {"", "a", "ab", "abc", "b", "e\u0301", "\u00e9x", "a\u0301", "ba"};
  auto naive = [](const std::vector<Turn>& e, const std::vector<Turn>& l) {
    std::vector<std::optional<size_t>> matched(l.size());
    size_t cursor = 0;
    for (size_t li = 0; li < l.size(); ++li)
      for (size_t ei = cursor; ei < e.size(); ++ei) {
        const std::string a = decomposed(e[ei].text), b = decomposed(l[li].text);
        const bool match = e[ei].role == l[li].role &&
                           ((a.empty() || b.empty()) ? a.empty() && b.empty() : oneBeginsWithOther(a, b));
        if (match) {
          matched[li] = ei;
          cursor = ei + 1;
          break;
        }
      }
    return matched;
  };
  std::mt19937 random(7);
  auto turns = [&](size_t n) {
    std::vector<Turn> out;
    for (size_t i = 0; i < n; ++i)
      out.push_back(makeTurn(random() % 3 ? Turn::Role::assistant : Turn::Role::user,
                             pieces[random() % pieces.size()] + pieces[random() % pieces.size()]));
    return out;
  };
  for (int round = 0; round < 300; ++round) {
    const auto e = turns(random() % 12), l = turns(random() % 12);
    ASSERT_EQ(Conversation::matchedTurns(e, l), naive(e, l)) << round;
  }
}

TEST(MergedCaptures, TotalsShiftEarlierPositions) {
  Conversation earlier, later;
  earlier.totalTurns = 4;
  earlier.turns = {t(R::user, "q3", 3), t(R::assistant, "a3", 4)};
  later.totalTurns = 6;
  later.title = "later";
  later.turns = {t(R::user, "q1", 1), t(R::assistant, "a1", 2)};
  Conversation m = earlier.merged(later);
  EXPECT_EQ(texts(m.turns), "u:q1@1 a:a1@2 u:q3@5 a:a3@6 ");
  EXPECT_EQ(m.totalTurns, 6);
  EXPECT_EQ(m.title, "later");
  later.totalTurns.reset();
  EXPECT_EQ(earlier.merged(later).totalTurns, 4);
  EXPECT_EQ(texts(earlier.merged(later).turns), "u:q1@1 a:a1@2 u:q3@3 a:a3@4 ");

  // Totals far apart saturate instead of overflowing.
  earlier.totalTurns = INT64_MIN;
  later.totalTurns = INT64_MAX;
  EXPECT_EQ(earlier.merged(later).turns.back().position, INT64_MAX);
}

TEST(SessionMerge, OneConversationPerChatInFirstSeenOrder) {
  Conversation a, b, app;
  a.locator = "https://chatgpt.com/c/a";
  a.turns = {t(R::user, "a")};
  b.locator = "https://chatgpt.com/c/b";
  b.turns = {t(R::user, "b")};
  app.source = Source::claudeApp;
  app.locator = "app://claude/x";
  app.title = "T";
  app.turns = {t(R::user, "c")};
  Conversation a2 = a;
  a2.turns.push_back(t(R::assistant, "reply"));
  Conversation app2 = app;
  app2.locator = "app://claude/y";  // another internal page, same chat by source and title
  app2.turns = {t(R::assistant, "d")};
  auto out = SessionMerge::merge({a, b, app, a2, app2});
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(texts(out[0].turns), "u:a a:reply ");
  EXPECT_EQ(texts(out[1].turns), "u:b ");
  EXPECT_EQ(texts(out[2].turns), "u:c a:d ");
}

TEST(MergeTool, ReadsConversationsAndChatLines) {
  const std::string input =
      R"({"at":"2026-01-01T00:00:00Z","bundle_id":"b","read":"ok","chats":[{"source":"chatGPTWeb","locator":"https://chatgpt.com/c/a","capturedAt":"2026-01-01T00:00:00Z","turns":[{"role":"user","text":"hi","attachments":[]}]}]})"
      "\n\n"
      R"({"source":"chatGPTWeb","locator":"https://chatgpt.com/c/a","capturedAt":"2026-01-01T00:01:00Z","turns":[{"role":"user","text":"hi","attachments":[]},{"role":"assistant","text":"hello","attachments":[]}]})"
      "\n";
  std::istringstream in(input);
  std::ostringstream out, err;
  EXPECT_EQ(tools::runCaptureTool({"merge"}, in, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), R"({"capturedAt":"2026-01-01T00:01:00Z","locator":"https://chatgpt.com/c/a","source":"chatGPTWeb",)"
                       R"("turns":[{"attachments":[],"role":"user","text":"hi"},{"attachments":[],"role":"assistant","text":"hello"}]})"
                       "\n");
  std::istringstream bad("{\"source\":\"x\"}\n");
  std::ostringstream badOut, badErr;
  EXPECT_EQ(tools::runCaptureTool({"merge", "-"}, bad, badOut, badErr), 2);
  EXPECT_EQ(badErr.str(), "zel-capture: -: line 1: \"source\" names no known source\n");
}

}  // namespace
}  // namespace zel
