// The example host in examples/host/ run against the demo desktop: its chat
// library holds each chat once, and a chat that grows while the host runs
// grows in the library.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "support/served_desktop.h"

namespace zel {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

class ExampleHost : public test::ServedDesktop {
 protected:
  // Waits until the host has stored `title` with `turns` turns.
  static bool stored(test::AgentProcess& host, const std::string& title, size_t turns) {
    const std::string wanted = " " + std::to_string(turns) + " " + title;
    while (auto line = host.readLine(5s))
      if (line->ends_with(wanted)) return true;
    return false;
  }

  std::map<std::string, Json> library() const {
    std::map<std::string, Json> chats;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dir_ / "library.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return chats;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT key, conversation FROM chats", -1, &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
      chats[reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))] =
          Json::parse(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return chats;
  }
};

TEST_F(ExampleHost, KeepsOneGrowingConversationPerChat) {
  test::AgentProcess host(
      "/usr/bin/python3",
      {std::string(ZEL_EXAMPLES) + "/host/host.py", "--zel-ax", ZEL_AX_BINARY, "--zel-capture", ZEL_CAPTURE_BINARY,
       "--library", (dir_ / "library.db").string(), "--every", "0.2", "--chat-browsers",
       "com.google.Chrome,com.apple.Safari", "--profiles", "linkedin"},
      {{"ZEL_AX_DESKTOP", (dir_ / "desktop.json").string()}, {"HOME", (dir_ / "home").string()},
       {"CODEX_HOME", (dir_ / "codex").string()}, {"PATH", "/usr/bin:/bin"}});
  ASSERT_TRUE(stored(host, "Reversing lists", 5)) << host.errors();

  // Chrome comes to the front with two more turns of that chat.
  desktop_ = Json::parse(std::ifstream(std::string(ZEL_EXAMPLES) + "/desktop-later.json"));
  write();
  ASSERT_TRUE(stored(host, "Reversing lists", 7)) << host.errors();
  host.signal(SIGTERM);
  EXPECT_EQ(host.wait(10s), 0) << host.errors();

  const auto chats = library();
  std::map<std::string, size_t> turns;
  for (const auto& [key, conversation] : chats) turns[conversation.value("title", "")] = conversation["turns"].size();
  EXPECT_EQ(turns, (std::map<std::string, size_t>{{"Dune author", 4},
                                                  {"Fix flaky test", 6},
                                                  {"Paper summary", 4},
                                                  {"Release notes", 3},
                                                  {"Reversing lists", 7}}));
}

}  // namespace
}  // namespace zel
