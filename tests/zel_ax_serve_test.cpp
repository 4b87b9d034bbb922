// zel-ax serve end to end: the real executable on desktop files, talked to
// as a host would, with short intervals and firm time limits.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "support/served_desktop.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;
using test::AgentProcess;

const std::string allBrowsers = "com.google.Chrome,com.apple.Safari,org.mozilla.firefox";

class Serve : public test::ServedDesktop {
 protected:
  static std::vector<std::string> sources(const Json& line) {
    std::vector<std::string> out;
    for (const auto& c : line["chats"]) out.push_back(c["source"].get<std::string>() + ":" + c.value("title", ""));
    return out;
  }
};

TEST_F(Serve, EveryKindOfTargetPrintsItsConversationsOnce) {
  auto agent = start({"--every", "0.2", "--chat-browsers", allBrowsers});
  auto lines = byTarget(*agent, 2500ms);
  ASSERT_EQ(lines["com.anthropic.claudefordesktop"].size(), 1u);
  EXPECT_EQ(sources(lines["com.anthropic.claudefordesktop"][0]), std::vector<std::string>{"claudeApp:Release notes"});
  ASSERT_EQ(lines["com.openai.codex"].size(), 1u);
  EXPECT_EQ(sources(lines["com.openai.codex"][0]), std::vector<std::string>{"chatGPTApp:Fix flaky test"});
  ASSERT_EQ(lines["com.google.Chrome"].size(), 1u);
  // The incognito window shows the same Grok chat: it is never read.
  EXPECT_EQ(sources(lines["com.google.Chrome"][0]),
            (std::vector<std::string>{"chatGPTWeb:Reversing lists", "grokWeb:Dune author"}));
  ASSERT_EQ(lines["com.apple.Safari"].size(), 1u);
  EXPECT_EQ(sources(lines["com.apple.Safari"][0]), std::vector<std::string>{"claudeWeb:Paper summary"});
  // Firefox may be in always-private mode (no profile proves otherwise).
  ASSERT_EQ(lines["org.mozilla.firefox"].size(), 1u);
  EXPECT_EQ(lines["org.mozilla.firefox"][0]["chats"], Json::array());
  for (const auto& [target, ls] : lines) {
    EXPECT_EQ(ls[0]["read"], "ok") << target;
    EXPECT_FALSE(ls[0].contains("kind"));
  }

  // Chrome comes to the front with a new answer: it is read at once and
  // prints again; the others, unchanged and now in the background, do not.
  desktop_ = Json::parse(std::ifstream(std::string(ZEL_EXAMPLES) + "/desktop-later.json"));
  write();
  auto after = byTarget(*agent, 2000ms);
  ASSERT_EQ(after["com.google.Chrome"].size(), 1u);
  EXPECT_EQ(after["com.google.Chrome"][0]["chats"][0]["turns"].size(), 7u);
  EXPECT_TRUE(after["com.anthropic.claudefordesktop"].empty());
  agent->closeInput();
  EXPECT_EQ(agent->wait(5s), 0);
}

TEST_F(Serve, AppsAndChatBrowsersNarrowWhatIsRead) {
  auto agent = start({"--every", "0.2", "--apps", "com.apple.Safari,com.openai.codex"});
  auto lines = byTarget(*agent, 1500ms);
  // Safari is read, but no chat page is allowed in it: it prints nothing.
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines["com.openai.codex"].size(), 1u);
  agent->closeInput();
  EXPECT_EQ(agent->wait(5s), 0);
}

TEST_F(Serve, ARefusedSignatureIsNotRunningAndLoggedOnce) {
  app("com.openai.codex")["signature"] = "refused";
  write();
  auto agent = start({"--every", "0.2", "--apps", "com.openai.codex"});
  auto lines = agent->linesFor(1500ms);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Json::parse(lines[0])["read"], "not_running");
  EXPECT_EQ(Json::parse(lines[0])["chats"], Json::array());
  agent->closeInput();
  EXPECT_EQ(agent->wait(5s), 0);
  int logged = 0;
  for (const auto& e : journal())
    if (e["event"] == "log") {
      ++logged;
      EXPECT_EQ(e["line"], "zel-ax capture.signature_refused com.openai.codex");
    }
  EXPECT_EQ(logged, 1);
}

TEST_F(Serve, NothingIsReadWhileTheScreenIsLockedAndReadingResumesAtOnce) {
  auto agent = start({"--every", "0.2", "--apps", "com.anthropic.claudefordesktop"});
  ASSERT_TRUE(agent->readLine(3s));
  // The screen locks, and a new answer appears behind it.
  desktop_["session"]["CGSSessionScreenIsLocked"] = true;
  Json& messages =
      app("com.anthropic.claudefordesktop")["windows"][0]["children"][1]["children"][0]["children"][0]["children"][0];
  ASSERT_EQ(messages["domClasses"], Json::array({"messages"}));
  Json added = messages["children"][1];
  added["desc"] = "9 of 14";
  messages["children"].push_back(added);
  write();
  EXPECT_TRUE(agent->linesFor(1500ms).empty());  // changed, but locked: not read
  desktop_["session"]["CGSSessionScreenIsLocked"] = false;
  write();
  auto line = agent->readLine(1500ms);  // the unlock wakes the readers, well before the 60 s recheck
  ASSERT_TRUE(line);
  EXPECT_EQ(Json::parse(*line)["chats"][0]["turns"].size(), 4u);
  EXPECT_EQ(Json::parse(*line)["chats"][0]["totalTurns"], 14);
  agent->closeInput();
  EXPECT_EQ(agent->wait(5s), 0);
}

TEST_F(Serve, EveryWayOutPutsTheSwitchesBack) {
  for (int sig : {0, SIGTERM, SIGINT}) {
    fs::remove(dir_ / "journal");
    auto agent = start({"--every", "0.2", "--apps", "com.anthropic.claudefordesktop,com.openai.codex"});
    ASSERT_EQ(agent->linesFor(1500ms).size(), 2u);
    if (sig) agent->signal(sig);
    else agent->closeInput();
    EXPECT_EQ(agent->wait(5s), 0) << sig;
    std::map<int, std::vector<bool>> sets;
    for (const auto& e : journal())
      if (e["event"] == "set") sets[e["pid"].get<int>()].push_back(e["value"].get<bool>());
    EXPECT_EQ(sets[501], (std::vector<bool>{true, false, false})) << sig;
    EXPECT_EQ(sets[502], (std::vector<bool>{true, false, false})) << sig;
  }
}

TEST_F(Serve, MalformedControlLinesAreIgnoredAndAClosedOutputIsSurvived) {
  auto agent = start({"--every", "0.2", "--apps", "com.openai.codex", "--profiles", "linkedin"});
  ASSERT_TRUE(agent->readLine(3s));
  agent->write("not json\n\xff\xfe\n{\"arm\":5}\n{\"until\":\"2026-11-18 10:00:00\"}\n" + std::string(3 << 20, '[') +
               "\n" + std::string(100, '[') + "\n{\"arm\":{\"linkedin\":{}}}\n");
  agent->closeOutput();
  // Something new to print, into a pipe nobody reads any more.
  desktop_["front"] = "com.openai.codex";
  app("com.openai.codex")["windows"][0]["children"][1]["children"][0]["title"] = "Fix the flaky test for good";
  write();
  EXPECT_EQ(agent->wait(1500ms), std::nullopt);  // still running
  agent->closeInput();
  EXPECT_EQ(agent->wait(5s), 0);
  EXPECT_EQ(agent->errors(), "");
}

// Under an address-space limit, a desktop rewrite too large to load is passed
// over: the agent keeps the last good desktop, takes the next good one, and
// still ends cleanly with its switches put back. At start, the same file is
// one line and status 2. Too large by one long name, or by two million small
// elements, whose half-read tree the JSON library cannot free the usual way.
TEST_F(Serve, ADesktopTooLargeForTheMemoryThereIsIsPassedOver) {
#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
  GTEST_SKIP() << "a sanitized agent reserves more address space than the limit allows";
#endif
#endif
  const std::vector<std::pair<std::string, std::string>> env{{"ZEL_AX_DESKTOP", (dir_ / "desktop.json").string()},
                                                             {"ZEL_AX_JOURNAL", (dir_ / "journal").string()},
                                                             {"HOME", (dir_ / "home").string()}};
  auto limited = [&] {
    return std::make_unique<AgentProcess>(
        "/usr/bin/prlimit", std::vector<std::string>{"--as=400000000", ZEL_AX_BINARY, "serve", "--every", "0.2",
                                                     "--apps", "com.anthropic.claudefordesktop"},
        env);
  };
  const Json good = desktop_;
  const std::vector<std::pair<const char*, std::function<void()>>> tooLarge = {
      {"a long name",
       [&] {
         app("com.anthropic.claudefordesktop")["windows"][0]["title"] = std::string(150'000'000, 'x');
         write();
       }},
      {"many elements",
       [&] {
         // Written as text: the test's own JSON value of it would not be small.
         app("com.anthropic.claudefordesktop")["windows"][0]["children"].push_back(
             Json{{"role", "AXGroup"}, {"domClasses", Json::array()}, {"children", "MANY"}});
         std::string text = desktop_.dump();
         std::string many;
         const std::string one = R"({"role":"AXStaticText","value":"x","domClasses":[],"children":[]})";
         many.reserve(2'000'000 * (one.size() + 1));
         for (int i = 0; i < 2'000'000; ++i) many += (i ? "," : "") + one;
         text.replace(text.find("\"MANY\""), 6, "[" + many + "]");
         std::ofstream(dir_ / "desktop.json.next") << text;
         std::filesystem::rename(dir_ / "desktop.json.next", dir_ / "desktop.json");
       }},
  };
  for (const auto& [what, writeTooLarge] : tooLarge) {
    SCOPED_TRACE(what);
    desktop_ = good;
    write();
    auto agent = limited();
    ASSERT_TRUE(agent->readLine(3s));
    writeTooLarge();
    EXPECT_TRUE(agent->linesFor(800ms).empty());  // the watcher tries it, and the agent stays quiet
    desktop_ = good;
    desktop_["front"] = "com.anthropic.claudefordesktop";
    app("com.anthropic.claudefordesktop")["windows"][0]["children"][1]["children"][0]["title"] = "Release notes v2";
    write();
    auto line = agent->readLine(3s);  // the good rewrite after the one that could not be loaded
    ASSERT_TRUE(line);
    EXPECT_NE(line->find("Release notes v2"), std::string::npos) << *line;
    agent->closeInput();
    EXPECT_EQ(agent->wait(5s), 0);
    std::vector<bool> sets;
    for (const auto& e : journal())
      if (e["event"] == "set") sets.push_back(e["value"].get<bool>());
    EXPECT_EQ(sets, (std::vector<bool>{true, false, false}));
    std::filesystem::remove(dir_ / "journal");

    desktop_ = good;
    writeTooLarge();
    auto atStart = limited();
    EXPECT_EQ(atStart->wait(10s), 2);
    EXPECT_EQ(atStart->errors(), "zel-ax: desktop file " + (dir_ / "desktop.json").string() +
                                     ": not enough memory to load it\n");
  }
}

}  // namespace
}  // namespace zel
