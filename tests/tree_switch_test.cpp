#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "snapshot/tree_switch.h"
#include "platform/simulated/simulated_platform.h"

namespace zel {
using namespace zel::browsers;
using namespace zel::snapshot;
namespace {

using platform::AXElement;

// Records what the switch does, on an injected clock.
class Switching : public ::testing::Test {
 protected:
  platform::SimulatedPlatform ax{std::nullopt};
  Date now{800000000};
  std::vector<std::string> sets, reads;
  int waits = 0;
  bool treeShows = false;

  TreeSwitch make() {
    return TreeSwitch(ax.accessibility(), {[this](const AXElement&, const std::string& a, bool v) {
                             sets.push_back(a + (v ? "=true" : "=false"));
                           },
                           [this](const AXElement&, const std::string& a) { reads.push_back(a); },
                           [this](const AXElement&, double timeout) {
                             EXPECT_EQ(timeout, 8);
                             ++waits;
                             return treeShows;
                           },
                           [this] { return now; }},
                      limits.nodeBudget);
  }
  AXElement app() { return ax.application(7); }
  // The target of a read of `bundleID` whose process is `pid`.
  Target target(platform::Pid pid, const char* bundleID) {
    return Target{KnownApp::named(bundleID, System::macOS), {pid, std::nullopt}, app(), std::nullopt};
  }
};

TEST_F(Switching, AttributesByApplication) {
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("com.openai.codex", System::macOS)), "AXEnhancedUserInterface");
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("com.anthropic.claudefordesktop", System::macOS)), "AXManualAccessibility");
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("com.example.other", System::macOS)), "AXManualAccessibility");
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("org.mozilla.firefox", System::macOS)), "AXEnhancedUserInterface");
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("com.apple.Safari", System::macOS)), std::nullopt);
  EXPECT_EQ(TreeSwitch::attribute(KnownApp::named("com.google.Chrome", System::macOS)), std::nullopt);
  EXPECT_EQ(TreeSwitch::wake(KnownApp::named("com.google.Chrome", System::macOS)), "AXRole");
  EXPECT_EQ(TreeSwitch::wake(KnownApp::named("com.openai.codex", System::macOS)), std::nullopt);
}

TEST_F(Switching, SafariIsLeftAlone) {
  auto s = make();
  s.enable(target(7, "com.apple.Safari"), true);
  EXPECT_TRUE(sets.empty());
  EXPECT_TRUE(reads.empty());
  EXPECT_EQ(waits, 0);
}

TEST_F(Switching, SetsAtMostOncAMinuteAndWaitsOnlyTheFirstTime) {
  auto s = make();
  s.enable(target(7, "com.openai.codex"), true);
  now = now.adding(30);
  s.enable(target(7, "com.openai.codex"), true);
  EXPECT_EQ(sets, std::vector<std::string>{"AXEnhancedUserInterface=true"});
  EXPECT_EQ(waits, 1);
  now = now.adding(31);
  s.enable(target(7, "com.openai.codex"), true);
  EXPECT_EQ(sets.size(), 2u);
  EXPECT_EQ(waits, 1);
  s.enable(target(8, "com.anthropic.claudefordesktop"), false);
  EXPECT_EQ(sets.back(), "AXManualAccessibility=true");
  EXPECT_EQ(waits, 1);
}

TEST_F(Switching, ChromeIsWokenByReadingUntilATreeIsSeen) {
  auto s = make();
  s.enable(target(7, "com.google.Chrome"), true);
  s.enable(target(7, "com.google.Chrome"), true);
  EXPECT_EQ(reads, (std::vector<std::string>{"AXRole", "AXRole"}));
  EXPECT_EQ(waits, 1);  // no tree yet, and not again within a minute
  now = now.adding(60);
  treeShows = true;
  s.enable(target(7, "com.google.Chrome"), true);
  EXPECT_EQ(waits, 2);
  now = now.adding(600);
  s.enable(target(7, "com.google.Chrome"), true);
  EXPECT_EQ(waits, 2);  // woken for good
  EXPECT_EQ(reads.size(), 4u);
  EXPECT_TRUE(sets.empty());
}

TEST_F(Switching, DisableAllPutsEveryAttributeBackAndEndsSwitching) {
  auto s = make();
  s.enable(target(7, "com.openai.codex"), false);
  s.enable(target(8, "com.anthropic.claudefordesktop"), false);
  s.enable(target(9, "com.google.Chrome"), false);
  sets.clear();
  s.disableAll();
  EXPECT_EQ(sets, (std::vector<std::string>{"AXEnhancedUserInterface=false", "AXEnhancedUserInterface=false",
                                            "AXManualAccessibility=false", "AXManualAccessibility=false"}));
  sets.clear();
  now = now.adding(1000);
  s.enable(target(7, "com.openai.codex"), true);
  s.enable(target(9, "com.google.Chrome"), false);
  EXPECT_TRUE(sets.empty());
  EXPECT_EQ(reads.back(), "AXRole");  // the wake read still happens
  s.disableAll();
  EXPECT_TRUE(sets.empty());
}

// The switch is set with no lock held (the backend takes its own and calls
// the bus); `disableAll` must still come after a set to true in flight.
TEST_F(Switching, DisableAllWaitsForASetInFlight) {
  std::mutex m;
  std::condition_variable changed;
  bool inFlight = false, released = false, falseWhileInFlight = false;
  std::vector<std::string> order;
  TreeSwitch s(ax.accessibility(), {[&](const AXElement&, const std::string&, bool v) {
                                      std::unique_lock g(m);
                                      order.push_back(v ? "true" : "false");
                                      if (!v) {
                                        falseWhileInFlight = falseWhileInFlight || inFlight;
                                        changed.notify_all();
                                        return;
                                      }
                                      inFlight = true;
                                      changed.notify_all();
                                      changed.wait(g, [&] { return released; });
                                      inFlight = false;
                                    },
                                    [](const AXElement&, const std::string&) {}, [](const AXElement&, double) { return true; },
                                    [this] { return now; }},
               limits.nodeBudget);
  std::thread enabling([&] { s.enable(target(7, "com.openai.codex"), false); });
  std::thread disabling;
  {
    std::unique_lock g(m);
    changed.wait(g, [&] { return inFlight; });
    disabling = std::thread([&] { s.disableAll(); });
    // Given a tenth of a second, a disableAll that does not wait would set
    // the switch back while the set to true is still in flight.
    changed.wait_for(g, std::chrono::milliseconds(100), [&] { return falseWhileInFlight; });
    released = true;
    changed.notify_all();
  }
  enabling.join();
  disabling.join();
  EXPECT_FALSE(falseWhileInFlight);
  EXPECT_EQ(order, (std::vector<std::string>{"true", "false", "false"}));
}

// A focused window whose web area sits `depth` levels below it.
platform::Desktop windowWithWebAreaAt(int depth) {
  std::string element = R"({"role":"AXWebArea"})";
  for (int i = 0; i < depth; ++i) element = R"({"role":"AXGroup","children":[)" + element + "]}";
  return platform::Desktop::decode(R"({"apps":[{"bundleID":"b","pid":5,"windows":[)" + element +
                                   R"(],"focusedWindow":0}]})")
      .value();
}

TEST(TreeSwitchWaits, WebAreasAreFoundDownToDepthFourteen) {
  for (int depth : {0, 14, 15}) {
    platform::SimulatedPlatform ax(windowWithWebAreaAt(depth));
    auto window = ax.attribute(ax.application(5), "AXFocusedWindow");
    ASSERT_EQ(window.error, 0);
    EXPECT_EQ(TreeSwitch::hasWebArea(ax.accessibility(), window.value.element, 0), depth <= 14) << depth;
  }
}

TEST(TreeSwitchWaits, LooksEveryQuarterSecondUntilTheDeadline) {
  platform::SimulatedPlatform ax(windowWithWebAreaAt(15));
  Date now{0};
  int sleeps = 0;
  auto clock = [&] { return now; };
  auto sleep = [&](double s) {
    ++sleeps;
    now = now.adding(s);
  };
  EXPECT_FALSE(TreeSwitch::waitForWebArea(ax.accessibility(), ax.application(5), 8, clock, sleep));
  EXPECT_EQ(sleeps, 32);
  platform::SimulatedPlatform shown(windowWithWebAreaAt(2));
  sleeps = 0;
  EXPECT_TRUE(TreeSwitch::waitForWebArea(shown.accessibility(), shown.application(5), 8, clock, sleep));
  EXPECT_EQ(sleeps, 1);
}

}  // namespace
}  // namespace zel
