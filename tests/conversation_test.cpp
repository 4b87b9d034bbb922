#include <gtest/gtest.h>

#include "chat/conversation.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

Conversation sample() {
  Conversation c;
  c.source = Source::claudeWeb;
  c.title = "Plans";
  c.locator = "https://claude.ai/chat/abc";
  Turn user{Turn::Role::user, "hi", {"a.pdf"}, 1, "9:41", "Today"};
  Turn reply{Turn::Role::assistant, "hello", {}, 2, std::nullopt, std::nullopt};
  c.turns = {user, reply};
  c.totalTurns = 2;
  c.capturedAt = Date{791976900.25};  // 2026-02-05T09:35:00.25Z
  c.timeZone = "Europe/Berlin";
  return c;
}

TEST(ConversationJSON, WritesKeysSortedAndLeavesAbsentOptionalsOut) {
  Conversation c = sample();
  EXPECT_EQ(encodeConversation(c, DateForm::wholeSeconds),
            R"({"capturedAt":"2026-02-05T09:35:00Z","locator":"https://claude.ai/chat/abc","source":"claudeWeb",)"
            R"("timeZone":"Europe/Berlin","title":"Plans","totalTurns":2,"turns":[)"
            R"({"attachments":["a.pdf"],"position":1,"role":"user","shownDay":"Today","shownTime":"9:41","text":"hi"},)"
            R"({"attachments":[],"position":2,"role":"assistant","text":"hello"}]})");
  EXPECT_NE(encodeConversation(c, DateForm::nanoseconds)->find(R"("capturedAt":"2026-02-05T09:35:00.250000000Z")"),
            std::string::npos);
  c.turns[0].text = "bad \xc3";
  EXPECT_EQ(encodeConversation(c, DateForm::wholeSeconds), std::nullopt);

  Conversation bare;
  bare.source = Source::chatGPTApp;
  bare.turns = {Turn{Turn::Role::assistant, "x", {}, std::nullopt, std::nullopt, std::nullopt}};
  EXPECT_EQ(encodeConversation(bare, DateForm::wholeSeconds),
            R"({"capturedAt":"2001-01-01T00:00:00Z","source":"chatGPTApp",)"
            R"("turns":[{"attachments":[],"role":"assistant","text":"x"}]})");
}

TEST(ConversationJSON, ReadsBackWhatItWrites) {
  Conversation c = sample();
  c.capturedAt = Date{791976900};
  auto back = conversationFromJSON(Json::parse(*encodeConversation(c, DateForm::wholeSeconds)));
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back.value(), c);
  auto precise = conversationFromJSON(Json::parse(*encodeConversation(sample(), DateForm::nanoseconds)));
  ASSERT_TRUE(precise) << precise.error();
  EXPECT_EQ(precise.value(), sample());
}

TEST(ConversationJSON, DecodingErrors) {
  const char* base = R"({"source":"grokWeb","capturedAt":"2026-01-01T00:00:00Z","turns":[]})";
  ASSERT_TRUE(conversationFromJSON(Json::parse(base)));
  struct Case {
    const char* patch;  // merged into the base object
    const char* error;
  };
  const Case cases[] = {
      {R"({"source":"bard"})", "\"source\" names no known source"},
      {R"({"source":null})", "\"source\" is missing"},
      {R"({"turns":{}})", "\"turns\" must be an array"},
      {R"({"capturedAt":"yesterday"})", "\"capturedAt\" must be an ISO 8601 date"},
      {R"({"title":3})", "\"title\" must be a string"},
      {R"({"totalTurns":"3"})", "\"totalTurns\" must be a 64-bit integer"},
      {R"({"totalTurns":18446744073709551615})", "\"totalTurns\" must be a 64-bit integer"},
      {R"({"turns":[{"role":"system","text":"","attachments":[]}]})",
       "turn 0: \"role\" must be \"user\" or \"assistant\""},
      {R"({"turns":[{"role":"user","attachments":[]}]})", "turn 0: \"text\" is missing"},
      {R"({"turns":[{"role":"user","text":""}]})", "turn 0: \"attachments\" is missing"},
      {R"({"turns":[{"role":"user","text":"","attachments":[1]}]})",
       "turn 0: \"attachments\" must be an array of strings"},
  };
  for (const auto& c : cases) {
    Json j = Json::parse(base);
    j.merge_patch(Json::parse(c.patch));
    auto r = conversationFromJSON(j);
    EXPECT_FALSE(r) << c.patch;
    EXPECT_EQ(r.error(), c.error) << c.patch;
  }
  Json nulls = Json::parse(base);
  nulls["title"] = nullptr;
  nulls["turns"] = Json::parse(R"([{"role":"user","text":"","attachments":[],"position":null}])");
  auto r = conversationFromJSON(nulls);
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ(r->title, std::nullopt);
  EXPECT_EQ(r->turns[0].position, std::nullopt);
}

TEST(ConversationKeys, ChatKey) {
  Conversation c;
  c.source = Source::chatGPTApp;
  c.locator = "app://codex/thread";
  EXPECT_EQ(c.chatKey(), "chatGPTApp:untitled");
  c.title = "Fix build";
  EXPECT_EQ(c.chatKey(), "chatGPTApp:Fix build");
  c.locator = "https://chatgpt.com/c/1";
  EXPECT_EQ(c.chatKey(), "https://chatgpt.com/c/1");
  c.locator.reset();
  EXPECT_EQ(c.chatKey(), "chatGPTApp:Fix build");
}

TEST(ConversationKeys, StartsMidChat) {
  auto first = [](Turn::Role role, std::optional<int64_t> position) {
    Conversation c;
    c.turns = {Turn{role, "t", {}, position, std::nullopt, std::nullopt}};
    return c.startsMidChat();
  };
  EXPECT_FALSE(Conversation{}.startsMidChat());
  EXPECT_FALSE(first(Turn::Role::assistant, 1));
  EXPECT_TRUE(first(Turn::Role::user, 2));
  EXPECT_TRUE(first(Turn::Role::assistant, std::nullopt));
  EXPECT_FALSE(first(Turn::Role::user, std::nullopt));
}

}  // namespace
}  // namespace zel
