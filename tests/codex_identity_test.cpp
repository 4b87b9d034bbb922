#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "chat/chatgpt/codex_identity.h"
#include "support/chats.h"
#include "support/temp_dir.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
namespace {

namespace fs = std::filesystem;

// A Codex home in a temporary folder: a state database and rollout files.
class CodexHome : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = (home_ / "state_5.sqlite").string();
    exec(database_,
         "CREATE TABLE threads (id TEXT, rollout_path TEXT, archived INTEGER, name TEXT, title TEXT);");
  }
  static void exec(const std::string& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(handle);
  }

  static std::string userLine(const std::string& text) {
    return R"({"type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":)" +
           Json(text).dump() + "}]}}\n";
  }

  // A thread with a rollout holding these bytes.
  std::string thread(const std::string& id, const std::string& name, const std::string& title,
                     const std::string& rollout, int archived = 0) {
    const std::string path = (home_ / (id + ".jsonl")).string();
    std::ofstream(path, std::ios::binary) << rollout;
    exec(database_, "INSERT INTO threads VALUES ('" + id + "', '" + path + "', " + std::to_string(archived) + ", " +
                        (name == "NULL" ? name : "'" + name + "'") + ", '" + title + "');");
    return path;
  }

  CodexIdentity identity(int minimumWords = 8) {
    return CodexIdentity(std::make_shared<SQLiteCodexThreads>(home_.string()), minimumWords);
  }

  static Conversation chat(const std::string& title, std::vector<std::string> userTexts) {
    Conversation c;
    c.source = Source::chatGPTApp;
    c.title = title;
    for (auto& t : userTexts) {
      c.turns.push_back(makeTurn(Turn::Role::user, std::move(t)));
      c.turns.push_back(makeTurn(Turn::Role::assistant, "an answer that is never compared"));
    }
    return c;
  }

  test::TempDir dir_;
  const fs::path home_ = dir_.path();
  std::string database_;
};

const char* const eightWords = "please fix the flaky test in ci today";

TEST(CodexWords, LowerCasedRunsOfLettersNumbersAndLowLines) {
  struct Case {
    const char* text;
    const char* words;
  };
  const Case cases[] = {
      {"Hello, World!", "hello world"}, {"don't  stop", "don t stop"}, {"", ""},     {"?!", ""},
      {"\u00C4BC_def 12", "\u00e4bc_def 12"}, {"line\nbreak", "line break"},  {"\u0663\u0664x", "\u0663\u0664x"},
  };
  for (const auto& c : cases) EXPECT_EQ(CodexIdentity::words(c.text), c.words) << c.text;
}

TEST(CodexRollout, UserTextOfALine) {
  struct Case {
    std::string line;
    std::optional<std::string> text;
  };
  const std::string head = R"({"type":"response_item","payload":{"type":"message","role":"user","content":)";
  const Case cases[] = {
      {head + R"([{"type":"input_text","text":"a"},{"type":"input_image"},{"type":"input_text","text":"b"}]}})",
       "a\nb"},
      {head + R"([{"type":"input_text","text":5},{"type":"input_text","text":"c"}]}})", "c"},
      {head + R"([{"type":"input_text","text":""}]}})", std::nullopt},
      {head + R"([1]}})", std::nullopt},
      {head + R"({}}})", std::nullopt},
      {R"({"type":"event","payload":{"type":"message","role":"user","content":[]}})", std::nullopt},
      {R"({"type": "response_item","payload":{"type":"message","role": "user","content":[{"type":"input_text","text":"x"}]}})",
       std::nullopt},
      {R"({"type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":"x"}]})",
       std::nullopt},
      {"\"role\":\"user\"", std::nullopt},
      {head + "[{\"type\":\"input_text\",\"text\":\"\xff\"}]}}", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CodexIdentity::userText(c.line), c.text) << c.line;
}

TEST_F(CodexHome, TheNewestDatabaseByNumber) {
  for (const char* name : {"state_7.sqlite", "state_12.sqlite", "state_.sqlite", "state_x1.sqlite", "state_99.db"})
    std::ofstream(home_ / name) << "";
  EXPECT_EQ(SQLiteCodexThreads(home_.string()).database(), (home_ / "state_12.sqlite").string());
  EXPECT_EQ(SQLiteCodexThreads((home_ / "missing").string()).database(), std::nullopt);
}

TEST_F(CodexHome, ThreadsByNameOrElseByTitle) {
  thread("named", "Fix CI", "Other title", "");
  thread("titled", "", "Fix CI", "");
  thread("nullname", "NULL", "Fix CI", "");
  thread("namedOther", "Something", "Fix CI", "");
  thread("archived", "Fix CI", "Fix CI", "", 1);
  exec(database_, "INSERT INTO threads VALUES ('norollout', NULL, 0, 'Fix CI', '');");
  std::vector<std::string> ids;
  for (const auto& t : SQLiteCodexThreads(home_.string()).threads("Fix CI")) ids.push_back(t.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"named", "titled", "nullname"}));
}

TEST_F(CodexHome, IdentifiesTheOneThreadHoldingEveryVisibleUserLine) {
  thread("t1", "Fix CI", "", userLine("Please FIX the flaky test, in CI today!") + userLine("unrelated"));
  thread("t2", "Fix CI", "", userLine("please fix the build"));
  auto id = identity();
  auto c = id.identify(chat("Fix CI", {"please fix the flaky test in CI today"}));
  EXPECT_EQ(c.locator, "codex://thread/t1");
}

TEST_F(CodexHome, UndecidedCasesStayUnidentified) {
  thread("t1", "Fix CI", "", userLine(eightWords));
  auto id = identity();
  // Seven words are too few to tell threads apart.
  EXPECT_EQ(id.threadID(chat("Fix CI", {"please fix the flaky test in ci"})), std::nullopt);
  EXPECT_EQ(id.threadID(chat("", {eightWords})), std::nullopt);
  EXPECT_EQ(id.threadID(chat("Other title", {eightWords})), std::nullopt);
  // A word standing between two visible words is no match.
  EXPECT_EQ(id.threadID(chat("Fix CI", {"please fix the flaky test in ci today", "fix flaky"})), std::nullopt);

  thread("t2", "Fix CI", "", userLine("well " + std::string(eightWords) + " thanks"));
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), std::nullopt);  // two threads match
}

TEST_F(CodexHome, AHalfWrittenLineLeavesTheDecisionOpen) {
  thread("writing", "Fix CI", "", userLine("something else entirely") + R"({"type":"response_item")");
  thread("match", "Fix CI", "", userLine(eightWords));
  auto id = identity();
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), std::nullopt);
  // Once the line is finished and holds other words, the other thread is it.
  std::ofstream((home_ / "writing.jsonl"), std::ios::app) << ",\"payload\":{}}\n";
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), "match");
}

TEST_F(CodexHome, AThreadWithoutUserMessagesLeavesTheDecisionOpen) {
  thread("empty", "Fix CI", "", R"({"type":"session_meta"})" "\n");
  thread("match", "Fix CI", "", userLine(eightWords));
  EXPECT_EQ(identity().threadID(chat("Fix CI", {eightWords})), std::nullopt);
}

TEST_F(CodexHome, RolloutsAreReadIncrementallyAndAfreshWhenReplaced) {
  const std::string path = thread("t1", "Fix CI", "", userLine("first message here"));
  auto id = identity();
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), std::nullopt);
  const uint64_t afterFirst = id.bytesRead();

  const std::string appended = userLine(eightWords);
  std::ofstream(path, std::ios::app | std::ios::binary) << appended;
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), "t1");
  EXPECT_EQ(id.bytesRead() - afterFirst, appended.size());

  // A new file at the same path (another file number) is read from its start.
  fs::remove(path);
  std::ofstream(path, std::ios::binary) << userLine("nothing of the sort was said here, believe me, not one word of it");
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), std::nullopt);

  // Cut shorter in place: also read again from the start.
  std::ofstream(path, std::ios::binary | std::ios::trunc) << userLine(eightWords);
  EXPECT_EQ(id.threadID(chat("Fix CI", {eightWords})), "t1");
}

TEST_F(CodexHome, BrokenRecordsLeaveConversationsUnidentified) {
  thread("t1", "Fix CI", "", "not json\n" + userLine(eightWords) + "{\"role\":\"user\"\n");
  EXPECT_EQ(identity().threadID(chat("Fix CI", {eightWords})), "t1");  // malformed lines are skipped

  fs::remove(home_ / "t1.jsonl");
  EXPECT_EQ(identity().threadID(chat("Fix CI", {eightWords})), std::nullopt);  // rollout gone

  std::ofstream(home_ / "state_9.sqlite") << "this is not a database";
  EXPECT_EQ(identity().threadID(chat("Fix CI", {eightWords})), std::nullopt);
  fs::remove_all(home_);
  EXPECT_EQ(identity().threadID(chat("Fix CI", {eightWords})), std::nullopt);
}

TEST_F(CodexHome, PrivateChatsAreNeverLookedUp) {
  struct CountingStore : CodexThreadStore {
    mutable int calls = 0;
    std::vector<CodexThread> threads(const std::string&) const override {
      ++calls;
      return {};
    }
  };
  auto store = std::make_shared<CountingStore>();
  CodexIdentity id(store, 1);
  for (const char* locator : {"app://codex/incognito/1", "https://chatgpt.com/?temporary-chat=true"}) {
    Conversation c = chat("Fix CI", {eightWords});
    c.locator = locator;
    EXPECT_EQ(id.identify(c), c);
  }
  EXPECT_EQ(store->calls, 0);
}

TEST_F(CodexHome, TheCodexWindowGetsItsThreadLocator) {
  thread("019a-thread", "Fix flaky test", "",
         userLine("Fix the flaky test in ci.yml") + userLine("run it again please"));
  IdentifiedChatGPTExtractor extractor(ChatGPTExtractor(Source::chatGPTApp, test::fixedClock()),
                                       std::make_shared<CodexIdentity>(
                                           std::make_shared<SQLiteCodexThreads>(home_.string()), 8));
  auto c = extractor.extract(test::fixtureWindow("chatgpt_flat.json"));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->locator, "codex://thread/019a-thread");
}

}  // namespace
}  // namespace zel
