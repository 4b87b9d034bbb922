#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/chats.h"
#include "support/trees.h"
#include "tools/capture_tool.h"

namespace zel::tools {
namespace {

struct Run {
  int status;
  std::string out;
  std::string err;
};

Run run(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = runCaptureTool(args, in, out, err, test::fixedClock());
  return {status, out.str(), err.str()};
}

std::string fixture(const std::string& name) { return std::string(ZEL_FIXTURES) + "/" + name; }

TEST(CaptureToolText, RendersEachWindowOfEachFile) {
  auto r = run({"text", fixture("text_window.json"), "-"},
               R"([{"role":"AXStaticText","value":"a/b","domClasses":[],"children":[]},)"
               R"({"domClasses":[],"children":[]}])");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "{\"text\":\"Tables\\nname | size | \\nalpha | 1 | \\n1.First\\n•Second\\nHelloworld\","
            "\"texts\":[\"Tables\",\"name\",\"size\",\"alpha\",\"1\",\"First\",\"Second\",\"• kept\","
            "\"Hello\",\"world\"]}\n"
            "{\"text\":\"a/b\",\"texts\":[\"a/b\"]}\n"
            "{\"text\":\"\",\"texts\":[]}\n");
}

TEST(CaptureToolText, BadFilesAreNamedAndSkipped) {
  const std::string missing = "/nonexistent/tree.json";
  auto r = run({"text", missing, "-", fixture("text_window.json")}, R"({"children":[]})");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "zel-capture: /nonexistent/tree.json: cannot be opened\n"
                   "zel-capture: -: $: \"domClasses\" is missing\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);  // the good file still printed
}

TEST(CaptureTool, UsageErrors) {
  const std::vector<std::string> cases[] = {
      {}, {"text"}, {"render", "x"}, {"extract"}, {"extract", "--app"}, {"extract", "--app", "com.google.Chrome"},
      {"extract", "--extractor", "claude", "--source"}, {"extract", "--extractor", "grok"}};
  for (const auto& args : cases) {
    auto r = run(args);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args);
    EXPECT_TRUE(r.err.ends_with(std::string(captureUsage) + "\n")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  auto unknown = run({"extract", "--app", "com.example.editor", "x.json"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "zel-capture: no extractor reads com.example.editor\n" + std::string(captureUsage) + "\n");
  auto mismatch = run({"extract", "--extractor", "chatgpt", "--source", "claudeWeb", "x.json"});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_TRUE(mismatch.err.starts_with("zel-capture: the chatgpt extractor takes --source chatGPTApp or chatGPTWeb\n"));
}

TEST(CaptureToolExtract, AppUsesTheAgentsExtractorForEachWindow) {
  // A Chrome window with a ChatGPT page, then the same page in a private
  // window, then a page that is no conversation.
  const std::string chat = fixture("chatgpt_grouped.json");
  AXNode privateWindow = test::fixtureWindow("chatgpt_grouped.json");
  privateWindow.title = "Reversing lists - Google Chrome (Incognito)";
  auto r = run({"extract", "--app", "com.google.Chrome", chat, "-", fixture("text_window.json")},
               privateWindow.json());
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, third);
  EXPECT_TRUE(first.starts_with(R"({"capturedAt":"2026-01-31T09:15:00Z","locator":"https://chatgpt.com/c/68a1f0c2-)"))
      << first;
  EXPECT_NE(first.find(R"("source":"chatGPTWeb","timeZone":"Europe/Berlin","title":"Reversing lists")"),
            std::string::npos);
  EXPECT_EQ(second, "null");
  EXPECT_EQ(third, "null");
  EXPECT_EQ(lines.peek(), EOF);
}

TEST(CaptureToolExtract, OneExtractorWithItsSource) {
  auto r = run({"extract", "--extractor", "claude", "--source", "claudeApp", fixture("claude_classfree.json")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(R"("source":"claudeApp")"), std::string::npos);
  EXPECT_NE(r.out.find(R"("totalTurns":6)"), std::string::npos);
  auto grok = run({"extract", "--extractor", "grok", "--source", "claudeApp", fixture("grok_page.json")});
  EXPECT_NE(grok.out.find(R"("source":"grokWeb")"), std::string::npos);  // the source is ignored for grok
}

TEST(CaptureToolProfile, OneLinePerWindow) {
  auto r = run({"profile", "--now", "2026-01-31T09:15:00.5Z", fixture("linkedin_own_profile.json"),
                fixture("x_other_profile.json"), fixture("chatgpt_grouped.json")});
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string own, other, chat;
  std::getline(lines, own);
  std::getline(lines, other);
  std::getline(lines, chat);
  EXPECT_TRUE(own.starts_with(R"({"kind":"profile","profile":{"capturedAt":"2026-01-31T09:15:00.500000000Z",)")) << own;
  EXPECT_EQ(other, R"({"kind":"profile_status","profile_status":{"own":false,"site":"x","view":"profile"}})");
  EXPECT_EQ(chat, "null");

  auto bad = run({"profile", "--now", "yesterday", fixture("x_other_profile.json")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.err.starts_with("zel-capture: --now takes an ISO 8601 date")) << bad.err;
  EXPECT_EQ(run({"profile"}).status, 1);
}

}  // namespace
}  // namespace zel::tools
