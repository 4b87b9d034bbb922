// The Codex thread lookup over a large rollout: a first look reads the whole
// file, a second look after one appended user line should read only that line.
// Prints bytes read and times of both lookups and their ratio.
//
//   codex_identity_bench [megabytes]   (default 200)

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "chat/chatgpt/codex_identity.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string userLine(const std::string& text) {
  return R"({"type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":")" +
         text + "\"}]}}\n";
}

}  // namespace

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
  const fs::path home = fs::temp_directory_path() / ("codex-bench-" + std::to_string(::getpid()));
  fs::create_directories(home);
  const std::string rollout = (home / "rollout.jsonl").string();

  {
    std::ofstream out(rollout, std::ios::binary);
    const std::string answer =
        R"({"type":"response_item","payload":{"type":"message","role":"assistant","content":[{"type":"output_text","text":")" +
        std::string(900, 'x') + "\"}]}}\n";
    size_t written = 0, n = 0;
    while (written < megabytes << 20) {
      const std::string line =
          (++n % 50 == 0) ? userLine("question number " + std::to_string(n) + " about the build") : answer;
      out << line;
      written += line.size();
    }
    out << userLine("please fix the flaky test in ci today");
  }

  sqlite3* db = nullptr;
  sqlite3_open((home / "state_1.sqlite").c_str(), &db);
  const std::string sql =
      "CREATE TABLE threads (id TEXT, rollout_path TEXT, archived INTEGER, name TEXT, title TEXT);"
      "INSERT INTO threads VALUES ('t1', '" + rollout + "', 0, 'Fix CI', '');";
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);

  zel::chat::CodexIdentity identity(std::make_shared<zel::chat::SQLiteCodexThreads>(home.string()), 8);
  zel::chat::Conversation c;
  c.title = "Fix CI";
  c.turns.push_back(zel::chat::makeTurn(zel::chat::Turn::Role::user, "please fix the flaky test in ci today"));

  auto start = Clock::now();
  auto first = identity.threadID(c);
  const double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  const uint64_t firstBytes = identity.bytesRead();

  const std::string appended = userLine("and run the whole suite once more please");
  std::ofstream(rollout, std::ios::app | std::ios::binary) << appended;
  c.turns.push_back(zel::chat::makeTurn(zel::chat::Turn::Role::user, "and run the whole suite once more please"));
  start = Clock::now();
  auto second = identity.threadID(c);
  const double secondSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  const uint64_t secondBytes = identity.bytesRead() - firstBytes;

  std::printf("rollout: %zu MB\n", megabytes);
  std::printf("first lookup:  %-10s %12llu bytes read  %10.3f ms\n", first.value_or("none").c_str(),
              static_cast<unsigned long long>(firstBytes), firstSeconds * 1e3);
  std::printf("second lookup: %-10s %12llu bytes read  %10.3f ms  (appended %zu bytes)\n",
              second.value_or("none").c_str(), static_cast<unsigned long long>(secondBytes), secondSeconds * 1e3,
              appended.size());
  std::printf("second / first time: %.5f%%\n", 100.0 * secondSeconds / firstSeconds);
  fs::remove_all(home);
  return first && second ? 0 : 1;
}
