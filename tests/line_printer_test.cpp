#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <sstream>
#include <thread>

#include "agent/line_printer.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::snapshot;
using namespace zel::chat;
using namespace zel::profile;
using namespace zel::agent;
namespace {

// 2026-01-05T09:30:00Z
const Date jan5 = Date::fromUnix(1767605400);

// Captures what a printer writes through a pipe.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    closeWrite();
    if (fds_[0] >= 0) ::close(fds_[0]);
  }
  int writeEnd() const { return fds_[1]; }
  void closeWrite() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }
  void closeRead() {
    ::close(fds_[0]);
    fds_[0] = -1;
  }
  std::string readAll() {
    std::string out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    return out;
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(LinePrinter, ChatLines) {
  EXPECT_EQ(LinePrinter::chatLine("com.google.Chrome", jan5.adding(0.75), ReadStatus::noWindow, {}),
            R"({"at":"2026-01-05T09:30:00Z","bundle_id":"com.google.Chrome","chats":[],"read":"no_window"})"
            "\n");
  Conversation c;
  c.source = Source::chatGPTWeb;
  c.locator = "https://chatgpt.com/c/a/b";
  c.capturedAt = jan5.adding(0.5);
  c.turns = {makeTurn(Turn::Role::user, "hi")};
  EXPECT_EQ(LinePrinter::chatLine("com.google.Chrome", jan5, ReadStatus::ok, {c}, std::string("t")),
            R"({"at":"2026-01-05T09:30:00Z","bundle_id":"com.google.Chrome","chats":[{"capturedAt":"2026-01-05T09:30:00Z",)"
            R"("locator":"https://chatgpt.com/c/a/b","source":"chatGPTWeb","turns":[{"attachments":[],"role":"user",)"
            R"("text":"hi"}]}],"read":"ok","tree":"t"})"
            "\n");
  c.turns[0].text = "broken \xc3";
  EXPECT_EQ(LinePrinter::chatLine("com.google.Chrome", jan5, ReadStatus::ok, {c}), std::nullopt);
}

TEST(LinePrinter, ProfileLinesCarryNanosecondsStatusLinesDoNot) {
  ProfileRead r;
  r.site = ProfilePage::Site::x;
  r.handle = "sam";
  r.proof = {"settings_profile"};
  r.photo = ProfileImage{"https://pbs.twimg.com/p_400x400.jpg", 400, Date::fromUnix(86400.25), "x_photo"};
  r.capturedAt = jan5.adding(0.5);
  r.timeZone = "UTC";
  const std::string line = *LinePrinter::profileLine("com.apple.Safari", jan5.adding(0.25), r);
  EXPECT_TRUE(line.starts_with(R"({"at":"2026-01-05T09:30:00.250000000Z","bundle_id":"com.apple.Safari","kind":"profile","profile":{"capturedAt":"2026-01-05T09:30:00.500000000Z",)"))
      << line;
  EXPECT_NE(line.find(R"("photo":{"expires":"1970-01-02T00:00:00.250000000Z","from":"x_photo","px":400,)"),
            std::string::npos);
  r.capturedAt = jan5;
  EXPECT_NE(LinePrinter::profileLine("b", jan5, r)->find(R"("capturedAt":"2026-01-05T09:30:00Z")"), std::string::npos);

  EXPECT_EQ(LinePrinter::statusLine("com.apple.Safari", jan5.adding(0.25),
                                    ProfileStatus{ProfilePage::Site::linkedin, ProfilePage::View::detailsSkills, false}),
            R"({"at":"2026-01-05T09:30:00Z","bundle_id":"com.apple.Safari","kind":"profile_status",)"
            R"("profile_status":{"own":false,"site":"linkedin","view":"details/skills"}})"
            "\n");
}

TEST(LinePrinter, ConcurrentLinesStayWhole) {
  Pipe pipe;
  LinePrinter printer(pipe.writeEnd());
  Conversation big;
  big.turns = {makeTurn(Turn::Role::assistant, std::string(300000, 'a'))};
  std::string received;
  std::thread reader([&] { received = pipe.readAll(); });
  std::thread a([&] {
    for (int i = 0; i < 5; ++i) printer.emit("com.a", jan5, ReadStatus::ok, {big});
  });
  std::thread b([&] {
    for (int i = 0; i < 5; ++i) printer.emit("com.b", jan5, ReadStatus::ok, {big});
  });
  a.join();
  b.join();
  pipe.closeWrite();
  reader.join();
  const std::string expectedA = *LinePrinter::chatLine("com.a", jan5, ReadStatus::ok, {big});
  const std::string expectedB = *LinePrinter::chatLine("com.b", jan5, ReadStatus::ok, {big});
  std::istringstream lines(received);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_TRUE(line + "\n" == expectedA || line + "\n" == expectedB);
  }
  EXPECT_EQ(count, 10);
}

TEST(LinePrinter, AClosedOutputIsNotFatal) {
  std::signal(SIGPIPE, SIG_IGN);  // as the agent runs
  Pipe pipe;
  pipe.closeRead();
  LinePrinter printer(pipe.writeEnd());
  printer.emit("com.a", jan5, ReadStatus::ok, {});
  printer.emit("com.a", jan5, ReadStatus::ok, {});
  EXPECT_FALSE(writeAll(pipe.writeEnd(), "x"));
}

}  // namespace
}  // namespace zel
