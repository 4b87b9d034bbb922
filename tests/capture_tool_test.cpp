#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/chats.h"
#include "support/trees.h"
#include "platform/simulated/simulated_platform.h"
#include "tools/capture_tool.h"
#include "tools/show_command.h"

using namespace zel::trees;
using namespace zel::chat;

namespace zel::tools {
namespace {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

Ran run(const std::vector<std::string>& args, const std::string& input = "", ToolEnvironment environment = {}) {
  std::istringstream in(input);
  std::ostringstream out, err;
  environment.clock = test::fixedClock();
  int status = runCaptureTool(args, in, out, err, environment);
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
  EXPECT_EQ(r.err, "zel-capture: /nonexistent/tree.json: cannot be opened: No such file or directory\n"
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
  EXPECT_TRUE(unknown.err.starts_with("zel-capture: no extractor reads com.example.editor; known: com.anthropic."
                                      "claudefordesktop, com.apple.Safari, com.google.Chrome, com.openai.codex, "
                                      "org.mozilla.firefox\n"))
      << unknown.err;
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

TEST(CaptureTool, HelpVersionAndOptionsAnywhere) {
  auto help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with(captureUsage));
  EXPECT_EQ(help.err, "");
  auto version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("zel-capture ")) << version.out;

  // Options after the files read as well as before them.
  auto before = run({"extract", "--extractor", "grok", fixture("grok_page.json")});
  auto after = run({"extract", fixture("grok_page.json"), "--extractor", "grok"});
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(after.out, before.out);
  auto unknown = run({"text", fixture("text_window.json"), "--pretty"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(unknown.err.starts_with("zel-capture: unknown option --pretty\n")) << unknown.err;
}

TEST(CaptureTool, FilesThatAreNotTreesAreNamedWithTheReason) {
  const std::string folder = ZEL_FIXTURES;
  const std::string fifo = ::testing::TempDir() + "zel-capture-fifo";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A pipe with no writer would block a plain open for ever.
  auto r = run({"text", folder, fifo, fixture("text_window.json")});
  ::unlink(fifo.c_str());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "zel-capture: " + folder + ": is a directory\nzel-capture: " + fifo + ": is not a regular file\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST(CaptureToolMerge, ExtractOutputPipesIntoMerge) {
  auto extracted = run({"extract", "--app", "com.google.Chrome", fixture("chatgpt_grouped.json"),
                        fixture("text_window.json"), fixture("chatgpt_grouped.json")});
  ASSERT_EQ(extracted.status, 0);
  auto merged = run({"merge"}, extracted.out);  // two captures of one chat and a null
  EXPECT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(std::count(merged.out.begin(), merged.out.end(), '\n'), 1);

  auto pretty = run({"merge", "-"}, "{\n  \"chats\": []\n}\n");
  EXPECT_EQ(pretty.status, 2);
  EXPECT_EQ(pretty.err, "zel-capture: -: line 1: not JSON on its own: merge reads one JSON object per line\n");
}

TEST(CaptureToolShow, AgentLinesAsAPersonReadsThem) {
  const std::string chat =
      R"({"at":"2026-01-31T09:15:00Z","bundle_id":"com.apple.Safari","chats":[{"capturedAt":"2026-01-31T09:15:00Z",)"
      R"("source":"claudeWeb","title":"Plans","totalTurns":9,"turns":[{"attachments":[],"role":"user","text":"Line one\nline two"},)"
      R"({"attachments":[],"role":"assistant","text":"A long answer that goes on and on well past the width of a line and further"}]}],"read":"ok"})";
  const std::string status =
      R"({"at":"2026-01-31T09:15:00Z","bundle_id":"com.google.Chrome","kind":"profile_status","profile_status":{"own":false,"site":"x","view":"profile"}})";
  const std::string empty = R"({"at":"2026-01-31T09:15:00Z","bundle_id":"com.openai.codex","chats":[],"read":"not_running"})";
  auto r = run({"show"}, chat + "\n" + status + "\n" + empty + "\nnot an agent line\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Safari: \u201cPlans\u201d (claudeWeb, 2 turns of 9)\n"
            "    user: Line one line two\n"
            "    assistant: A long answer that goes on and on well past the width of a line\u2026\n"
            "Chrome: somebody else's x page (profile), not read\n"
            "Codex: not read (not_running)\n"
            "not an agent line\n");
  // A word longer than the width is cut inside, never inside a character.
  EXPECT_EQ(shortened("\u00e9\u00e9\u00e9", 3), "\u00e9\u2026");
}

// zel-capture record over the demo desktop: Chrome shows two chats, an
// incognito window, the user's own LinkedIn page and another member's page.
class CaptureToolRecord : public ::testing::Test {
 protected:
  Ran record(std::vector<std::string> args, const std::string& desktopChange = "") {
    args.insert(args.begin(), "record");
    return onDemoDesktop(args, desktopChange);
  }
  Ran onDemoDesktop(const std::vector<std::string>& args, const std::string& desktopChange = "",
                    const std::string& input = "") {
    auto desktop = nlohmann::json::parse(std::ifstream(std::string(ZEL_EXAMPLES) + "/desktop.json"));
    if (!desktopChange.empty()) desktop.merge_patch(nlohmann::json::parse(desktopChange));
    ToolEnvironment environment;
    environment.home = "/nonexistent";
    environment.openPlatform = [desktop](std::string&) -> std::unique_ptr<platform::Platform> {
      return std::make_unique<platform::SimulatedPlatform>(platform::Desktop::decode(desktop.dump()).value());
    };
    return run(args, input, environment);
  }
  static std::vector<std::string> titles(const std::string& lines) {
    std::vector<std::string> out;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line).value("title", ""));
    return out;
  }
};

TEST_F(CaptureToolRecord, ReadsWhatTheAgentWouldAndNeverAPrivateWindowOrAnotherMembersPage) {
  auto chrome = record({"--app", "com.google.Chrome"});
  EXPECT_EQ(chrome.status, 0) << chrome.err;
  EXPECT_EQ(titles(chrome.out), (std::vector<std::string>{"Reversing lists - Google Chrome", "Dune author - Google Chrome"}));
  // Fed back to extract, the recording gives the agent's conversations.
  auto chats = run({"extract", "--app", "com.google.Chrome", "-"}, chrome.out);
  EXPECT_NE(chats.out.find(R"("title":"Reversing lists")"), std::string::npos);
  EXPECT_NE(chats.out.find(R"("title":"Dune author")"), std::string::npos);

  auto own = record({"--app", "com.google.Chrome", "--own", "Sample-Slug"});
  EXPECT_EQ(titles(own.out), (std::vector<std::string>{"Reversing lists - Google Chrome", "Dune author - Google Chrome",
                                                       "Sam Sample | LinkedIn - Google Chrome"}));
  auto scrubbedOwn = record({"--app", "com.google.Chrome", "--own", "sample-slug", "--scrub"});
  EXPECT_EQ(scrubbedOwn.status, 0);
  EXPECT_EQ(scrubbedOwn.out.find("sample-slug"), std::string::npos);
}

// A recorder that reads again on each line of its input ends with its input.
TEST_F(CaptureToolRecord, EachLineOfInputIsOneMoreReadFollowedByAnEmptyLine) {
  const auto once = record({"--app", "com.google.Chrome"});
  auto each = onDemoDesktop({"record", "--app", "com.google.Chrome", "--each-line"}, "", "\n\n");
  EXPECT_EQ(each.status, 0) << each.err;
  EXPECT_EQ(each.out, once.out + "\n" + once.out + "\n");
  auto none = onDemoDesktop({"record", "--app", "com.google.Chrome", "--each-line"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
}

TEST_F(CaptureToolRecord, AnApplicationThatCannotBeReadIsNamedWithTheReason) {
  auto refused = record({"--app", "com.openai.codex"}, R"({"apps":[{"bundleID":"com.openai.codex","pid":502,"signature":"refused"}]})");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "zel-capture: com.openai.codex: is not running, or its code signature is refused\n");
  EXPECT_EQ(refused.out, "");
  auto untrusted = record({"--app", "com.openai.codex"}, R"({"trusted":false})");
  EXPECT_EQ(untrusted.err, "zel-capture: com.openai.codex: accessibility is not trusted\n");
  EXPECT_EQ(record({"--app"}).status, 1);
  EXPECT_EQ(run({"record", "--app", "com.openai.codex"}).status, 2);  // no platform at all
}

// Every window of every target is accounted for, with the reason it was not
// read, and nothing of a refused window shows in the report.
TEST_F(CaptureToolRecord, ExplainTellsWhyEachWindowWasOrWasNotRead) {
  auto r = onDemoDesktop({"explain", "--chat-browsers", "com.google.Chrome", "--profiles", "linkedin"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::map<std::string, std::vector<std::string>> byApp;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const auto j = nlohmann::json::parse(line);
    std::string what = j.value("outcome", "");
    if (j.contains("window")) what = std::to_string(j["window"].get<int>()) + " " + what;
    if (j.contains("why")) what += ": " + j["why"].get<std::string>();
    if (j.contains("title")) what += ": " + j["title"].get<std::string>();
    byApp[j["app"]].push_back(what);
  }
  std::sort(byApp["com.google.Chrome"].begin(), byApp["com.google.Chrome"].end());
  EXPECT_EQ(byApp["com.google.Chrome"],
            (std::vector<std::string>{"0 read: Reversing lists", "1 read: Dune author",
                                      "2 private window, not read: its title ends like a private window",
                                      "3 page not read: linkedin profile page: not armed by the host, or not the user's own",
                                      "4 page not read: linkedin profile page: not armed by the host, or not the user's own"}));
  EXPECT_EQ(byApp["com.apple.Safari"],
            std::vector<std::string>{"0 page not read: chat is not allowed in this browser (--chat-browsers)"});
  EXPECT_EQ(byApp["org.mozilla.firefox"],
            std::vector<std::string>{"browser not read: may be in always-private mode: no profile proves otherwise"});
  EXPECT_EQ(byApp["com.openai.codex"], std::vector<std::string>{"0 read: Fix flaky test"});
  for (const char* secret : {"Secret plans", "other-person", "Other Person", "claude.ai"})
    EXPECT_EQ(r.out.find(secret), std::string::npos) << secret;

  // What the screening decided, not a guess after it: a Safari window whose
  // controls mark it private though its title does not.
  auto safari = onDemoDesktop({"explain", "--app", "com.apple.Safari", "--chat-browsers", "com.apple.Safari"},
                              R"({"apps":[{"bundleID":"com.apple.Safari","pid":504,"windows":[
                                  {"role":"AXWindow","title":"Docs","children":[{"role":"AXButton",
                                   "identifier":"SidebarLibraryItemTabGroup?isPrivate=true"}]},
                                  {"role":"AXWindow","title":"Notes, Private Browsing"}]}]})");
  EXPECT_NE(safari.out.find(R"("why":"its window controls mark it private","window":0)"), std::string::npos) << safari.out;
  EXPECT_NE(safari.out.find(R"("why":"its title ends like a private window","window":1)"), std::string::npos) << safari.out;

  auto off = onDemoDesktop({"explain", "--app", "com.google.Chrome"});
  EXPECT_NE(off.out.find("linkedin profile page: profile reading is off (--profiles)"), std::string::npos);
  EXPECT_EQ(onDemoDesktop({"explain", "--app", "com.example.editor"}).status, 1);
}

}  // namespace
}  // namespace zel::tools
