#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "agent/front_app.h"
#include "agent/presence_watcher.h"
#include "agent/reader.h"
#include "agent/service.h"
#include "chat/extractors.h"
#include "platform/simulated/simulated_platform.h"
#include "support/chats.h"
#include "support/temp_dir.h"

using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::snapshot;
using namespace zel::chat;
using namespace zel::profile;
using namespace zel::agent;

namespace zel::agent {
namespace {

TEST(ControlInput, AppliesLinesThatParseAndSkipsTheRest) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string input = std::string("garbage\n") + std::string(100, 'x') + "\n" +
                            "{\"arm\":{\"linkedin\":{}}}\r\n" + std::string(2000, '[') + "\n" +
                            "{\"arm\":{\"x\":{}}}";  // the last line has no line feed
  ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(fds[1]);
  ProfileControl control({ProfilePage::Site::linkedin, ProfilePage::Site::x});
  Wake wake;
  readControlLines(fds[0], control, wake, [] { return Date{800000000}; }, 1000);
  ::close(fds[0]);
  EXPECT_EQ(wake.generation(), 2u);  // one poke per applied line
  EXPECT_EQ(control.requests(),
            (std::map<ProfilePage::Site, uint64_t>{{ProfilePage::Site::linkedin, 1}, {ProfilePage::Site::x, 1}}));
}

platform::Desktop desktopFrom(const std::string& json) { return platform::Desktop::decode(json).value(); }

TEST(Watchers, FrontAppAndPresenceNotificationsWakeTheReaders) {
  platform::SimulatedPlatform p(desktopFrom(R"({"front":"a","displays":[{"asleep":false},{"asleep":true}]})"));
  Wake wake;
  FrontApp front(p.workspace(), [&] { wake.poke(); });
  EXPECT_TRUE(front.is("a"));
  p.replace(desktopFrom(R"({"front":"b"})"));
  front.activated();
  EXPECT_TRUE(front.is("b"));
  EXPECT_EQ(wake.generation(), 1u);

  PresenceWatcher presence(p.session(), ReadSchedule{}, wake);
  EXPECT_EQ(PresenceWatcher::displaysAsleep(p.session()), std::nullopt);  // no displays now
  EXPECT_FALSE(presence.session().paused());
  EXPECT_TRUE(presence.notify(platform::SystemEvent::screenLocked));
  EXPECT_TRUE(presence.session().paused());  // at once, with no session dictionary to ask
  EXPECT_EQ(wake.generation(), 2u);
  EXPECT_FALSE(presence.notify(platform::SystemEvent::appActivated));

  platform::SimulatedPlatform twoDisplays(desktopFrom(R"({"displays":[{"asleep":false},{"asleep":true}]})"));
  EXPECT_EQ(PresenceWatcher::displaysAsleep(twoDisplays.session()), false);
}

// A reader over the simulated desktop with an injected clock: it never has
// to wait, because the clock is moved past every due date. Its lines go to a
// pipe, and reads of watched elements to a journal.
class ReaderTest : public ::testing::Test {
 protected:
  struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    ~Pipe() {
      ::close(fds[0]);
      if (fds[1] >= 0) ::close(fds[1]);
    }
    int fds[2] = {-1, -1};
  };

  platform::Desktop desktop() const { return platform::Desktop::decode(desktop_.dump()).value(); }

  Reader reader(ReaderConfig config) {
    return Reader(std::move(config), SharedObjects{wake_, presence_, schedule_, front_, profiles_, printer_},
                  snapshotter_, CaptureClock{[this] { return now_; }, [] { return std::optional<std::string>("UTC"); }});
  }

  // Every line printed so far, decoded.
  std::vector<Json> lines() {
    ::close(pipe_.fds[1]);
    pipe_.fds[1] = -1;
    std::string out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(pipe_.fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    std::vector<Json> decoded;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) decoded.push_back(Json::parse(line));
    return decoded;
  }

  int readsOf(const std::string& label) const {
    int reads = 0;
    std::ifstream in(dir_ / "journal");
    for (std::string line; std::getline(in, line);)
      if (Json::parse(line).value("label", "") == label) ++reads;
    return reads;
  }

  test::TempDir dir_;
  Json desktop_ = Json::parse(std::ifstream(std::string(ZEL_EXAMPLES) + "/desktop.json"));
  Pipe pipe_;
  Date now_{800000000};
  platform::SimulatedPlatform platform_{desktop(), "", (dir_ / "journal").string()};
  Wake wake_;
  FrontApp front_{platform_.workspace(), [] {}};
  ReadSchedule schedule_{0.2, 20, 60, 120, 60};
  PresenceWatcher presence_{platform_.session(), schedule_, wake_};
  ProfileControl profiles_{{ProfilePage::Site::linkedin}};
  LinePrinter printer_{pipe_.fds[1]};
  TreeSwitch treeSwitch_{platform_.accessibility(), {{}, {}, [](const platform::AXElement&, double) { return true; }, {}}, limits.nodeBudget};
  AppSignature::Checked signatures_{
      [this](platform::Pid pid, const KnownApp& b) { return AppSignature::verdict(platform_.codeSigning(), pid, b); },
      [] { return Date{0}; }, [](const std::string&) {}};
  AXSnapshotter snapshotter_{60000, AXSnapshotter::Environment{platform_, treeSwitch_, signatures_, "/nonexistent"}};
};

TEST_F(ReaderTest, PrintsChangesAndHeartbeatsOnly) {
  const auto extractor = Extractors::build(test::fixedClock(), System::macOS).byBundleID.at("com.anthropic.claudefordesktop");
  Reader r = reader(ReaderConfig{"com.anthropic.claudefordesktop", extractor, false, true, std::nullopt});
  r.cycle();
  now_ = now_.adding(1);
  r.cycle();  // unchanged: nothing printed
  now_ = now_.adding(60);
  r.cycle();  // the heartbeat
  std::vector<std::string> ats;
  for (const Json& line : lines()) ats.push_back(line["at"]);
  // The first read, then the heartbeat 61 s later; the read between printed nothing.
  EXPECT_EQ(ats, (std::vector<std::string>{"2026-05-09T06:13:20Z", "2026-05-09T06:14:21Z"}));
}

// The user's own LinkedIn page in front: read while fresh, then left alone
// while it rests, read again when the rest ends, and afresh when it comes
// back after a read that found the browser gone.
TEST_F(ReaderTest, AnOwnPageRestsOnceSettledAndStartsAfreshWhenItComesBack) {
  Json window = Json::parse(std::ifstream(std::string(ZEL_FIXTURES) + "/linkedin_own_profile.json"));
  for (Json& child : window["children"][0]["children"][0]["children"]) child["watch"] = "own";
  const std::string chrome = "com.google.Chrome";
  for (Json& app : desktop_["apps"])
    if (app["bundleID"] == chrome) app["windows"] = Json::array({window});
  desktop_["front"] = chrome;
  platform_.replace(desktop());
  front_.activated();
  profiles_.apply(*ControlLine::parse(R"({"own":{"linkedin":"sample-slug"}})"), now_);

  ReaderConfig config{chrome, Extractors::byBundleID(System::macOS).at(chrome), true, false, std::nullopt};
  config.pages = ReadingPolicy(BrowserChatConsent({}), Extractors::browsers(System::macOS).at(chrome));
  Reader r = reader(std::move(config));
  auto readsAfter = [&](double seconds) {
    now_ = now_.adding(seconds);
    r.cycle();
    return readsOf("own");
  };

  const int first = readsAfter(0);
  ASSERT_GT(first, 0);
  const int settled = readsAfter(1.5);  // the same content a moment later: it rests
  EXPECT_GT(settled, first);
  EXPECT_EQ(readsAfter(1), settled);  // resting: refused by the page filter
  EXPECT_EQ(readsAfter(300), settled);
  const int before = readsAfter(300);  // the rest is over: read, and unchanged, so resting again
  EXPECT_GT(before, settled);
  EXPECT_EQ(readsAfter(1), before);

  // Chrome quits: the failed read records that no page was seen. When it
  // comes back, its page is fresh again, not resting.
  Json gone = desktop_;
  desktop_["apps"] = Json::array();
  platform_.replace(desktop());
  EXPECT_EQ(readsAfter(1), before);
  desktop_ = gone;
  platform_.replace(desktop());
  EXPECT_GT(readsAfter(1), before);

  // One profile line: everything later was the same content, and the status
  // line of the read without Chrome is a chat line nobody may print here.
  const auto printed = lines();
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_EQ(printed[0]["kind"], "profile");
  EXPECT_EQ(printed[0]["at"], "2026-05-09T06:13:20Z");
}

}  // namespace
}  // namespace zel::agent
