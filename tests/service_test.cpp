#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "agent/front_app.h"
#include "agent/presence_watcher.h"
#include "agent/reader.h"
#include "agent/service.h"
#include "capture/extractors.h"
#include "platform/simulated/simulated_platform.h"
#include "support/chats.h"

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
// to wait, because the clock is moved past every due date.
TEST(Reader, PrintsChangesAndHeartbeatsOnly) {
  std::ifstream in(std::string(ZEL_EXAMPLES) + "/desktop.json");
  std::string json((std::istreambuf_iterator<char>(in)), {});
  platform::SimulatedPlatform p(platform::Desktop::decode(json).value());
  Wake wake;
  FrontApp front(p.workspace(), [] {});
  ReadSchedule schedule{0.2, 20, 60, 120, 60};
  PresenceWatcher presence(p.session(), schedule, wake);
  ProfileControl profiles({});
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  LinePrinter printer(fds[1]);
  TreeSwitch treeSwitch(p.accessibility(), {{}, {}, [](const platform::AXElement&, double) { return true; }, {}});
  AppSignature::Checked signatures(
      [&](platform::Pid pid, const std::string& b) { return AppSignature::verdict(p.codeSigning(), pid, b); },
      [] { return Date{0}; }, [](const std::string&) {});
  AXSnapshotter snapshotter(60000, AXSnapshotter::Environment{p, treeSwitch, signatures, "/nonexistent"});

  Date now{800000000};
  const auto extractor = Extractors::build(test::fixedClock()).byBundleID.at("com.anthropic.claudefordesktop");
  Reader reader(ReaderConfig{"com.anthropic.claudefordesktop", extractor, std::nullopt, false, true, std::nullopt},
                SharedObjects{wake, presence, schedule, front, profiles, printer}, snapshotter, [&] { return now; });
  reader.cycle();
  now = now.adding(1);
  reader.cycle();  // unchanged: nothing printed
  now = now.adding(60);
  reader.cycle();  // the heartbeat
  ::close(fds[1]);
  std::string out;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  std::vector<std::string> ats;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) ats.push_back(Json::parse(line)["at"]);
  // The first read, then the heartbeat 61 s later; the read between printed nothing.
  EXPECT_EQ(ats, (std::vector<std::string>{"2026-05-09T06:13:20Z", "2026-05-09T06:14:21Z"}));
}

}  // namespace
}  // namespace zel::agent
