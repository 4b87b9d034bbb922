#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "base/json_document.h"
#include "platform/simulated/desktop.h"
#include "support/temp_dir.h"
#include "platform/simulated/simulated_platform.h"

namespace zel::platform {
namespace {

TEST(DesktopFile, DefaultsWhenKeysAreAbsent) {
  auto d = Desktop::decode("{}");
  ASSERT_TRUE(d) << d.error();
  EXPECT_TRUE(d->trusted);
  EXPECT_EQ(d->front, std::nullopt);
  EXPECT_EQ(d->screenLockFlag, std::nullopt);
  EXPECT_TRUE(d->displaysAsleep.empty());
  EXPECT_TRUE(d->apps.empty());
}

TEST(DesktopFile, ReadsTheTopLevelAndApplications) {
  auto d = Desktop::decode(R"({"trusted":false,"front":"com.google.Chrome","idleSeconds":12.5,
    "session":{"CGSSessionScreenIsLocked":true},"displays":[{"asleep":false},{"asleep":true}],
    "apps":[{"bundleID":"com.google.Chrome","pid":41,"launched":"2026-01-05T09:30:00Z","signature":"refused",
             "languages":["de-DE"],"menuBar":["Apple","File"]},
            {"bundleID":"com.apple.Safari","pid":42}]})");
  ASSERT_TRUE(d) << d.error();
  EXPECT_FALSE(d->trusted);
  EXPECT_EQ(d->front, "com.google.Chrome");
  EXPECT_EQ(d->idleSeconds, 12.5);
  EXPECT_EQ(d->screenLockFlag, true);
  EXPECT_EQ(d->displaysAsleep, (std::vector<bool>{false, true}));
  ASSERT_EQ(d->apps.size(), 2u);
  EXPECT_EQ(d->apps[0].signature, SignatureVerdict::refused);
  EXPECT_EQ(d->apps[0].launched, 1767605400 - 978307200);
  EXPECT_EQ(d->apps[0].menuBar, (std::vector<std::string>{"Apple", "File"}));
  EXPECT_EQ(d->apps[1].signature, SignatureVerdict::vendors);
  EXPECT_EQ(d->apps[1].launched, std::nullopt);

  // A lock flag that is missing or not a boolean reads as not locked.
  EXPECT_EQ(Desktop::decode(R"({"session":{}})")->screenLockFlag, false);
  EXPECT_EQ(Desktop::decode(R"({"session":{"CGSSessionScreenIsLocked":1}})")->screenLockFlag, false);
  EXPECT_EQ(Desktop::decode(R"({"session":null})")->screenLockFlag, std::nullopt);
}

TEST(DesktopFile, BrokenFilesSayWhatIsWrong) {
  struct Case {
    const char* json;
    const char* error;
  };
  const Case cases[] = {
      {"[]", "the desktop must be a JSON object"},
      {R"({"trusted":"yes"})", "\"trusted\" must be true or false"},
      {R"({"apps":[{"pid":1}]})", "app 0: \"bundleID\" must be a text"},
      {R"({"apps":[{"bundleID":"a","pid":1.5}]})", "app 0: \"pid\" must be a 32-bit integer"},
      {R"({"apps":[{"bundleID":"a","pid":4294967296}]})", "app 0: \"pid\" must be a 32-bit integer"},
      {R"({"apps":[{"bundleID":"a","pid":1},{"bundleID":"b","pid":1}]})", "app 1: pid 1 is used twice"},
      {R"({"apps":[{"bundleID":"a","pid":1,"signature":"ok"}]})",
       "app 0: \"signature\" must be \"vendors\", \"refused\" or \"changedOnDisk\""},
      {R"({"displays":[{}]})", "each display must be {\"asleep\": true or false}"},
      {R"({"apps":[{"bundleID":"a","pid":1,"windows":[{"children":[{},{"children":[{"title":3}]}]}]}]})",
       "app 0.windows[0].children[1].children[0]: \"title\" must be a text"},
      {R"({"apps":[{"bundleID":"a","pid":1,"windows":[7]}]})", "app 0.windows[0]: an element must be an object"},
      {R"({"apps":[{"bundleID":"a","pid":1,"windows":[{}],"focusedWindow":3}]})",
       "app 0: \"focusedWindow\" names no window"},
  };
  for (const auto& c : cases) {
    auto d = Desktop::decode(c.json);
    EXPECT_FALSE(d) << c.json;
    EXPECT_EQ(d.error(), c.error) << c.json;
  }
  auto unparsable = Desktop::decode("{\"trusted\":");
  ASSERT_FALSE(unparsable);
  EXPECT_NE(unparsable.error().find("parse error"), std::string::npos);
  auto missing = Desktop::load("/nonexistent/desktop.json");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), "/nonexistent/desktop.json: cannot be read");
}

// A file read whole is taken apart without recursion and without the memory
// the JSON library would ask for, when an exception leaves its owner: here a
// value nested 200,000 levels deep.
TEST(DesktopFile, AValueReadWholeIsTakenApartAsAnExceptionPassesHoweverDeep) {
  const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
  EXPECT_THROW(
      {
        JsonDocument document;
        EXPECT_EQ(document.read(deep), std::nullopt);
        throw std::runtime_error("leaving");
      },
      std::runtime_error);
  JsonDocument broken;
  EXPECT_NE(broken.read("[[1,").value_or(""), "");
}

TEST(SimulatedPlatform, TrustFollowsTheDesktopAndIsFalseWithoutOne) {
  EXPECT_FALSE(SimulatedPlatform(std::nullopt).accessibility().isTrusted());
  EXPECT_TRUE(SimulatedPlatform(Desktop::decode("{}").value()).accessibility().isTrusted());
  EXPECT_FALSE(SimulatedPlatform(Desktop::decode(R"({"trusted":false})").value()).accessibility().isTrusted());
}

}  // namespace
}  // namespace zel::platform

namespace zel::platform {
namespace {

using Kind = AXValue::Kind;

const char* const sampleDesktop = R"({
  "front": "com.example.app",
  "apps": [{"bundleID": "com.example.app", "pid": 10, "menuBar": ["Apple", "File"],
            "windows": [
              {"role": "AXWindow", "title": "One", "identifier": "main-window", "value": 42, "children": [
                {"role": "AXStaticText", "value": "", "unreadable": ["AXTitle"]},
                {"role": "AXGroup", "value": 2.5, "domClasses": ["a", "b"], "url": "https://x.com/a"},
                {"role": "AXCheckBox", "value": true}]},
              {"role": "AXWindow", "title": "Two"}],
            "focusedWindow": 1,
            "mainWindow": {"role": "AXWindow", "title": "Elsewhere"}},
           {"bundleID": "com.example.broken", "pid": 11, "windowsError": -25204,
            "windows": [{"role": "AXWindow"}]}]})";

class SimulatedAX : public ::testing::Test {
 protected:
  SimulatedPlatform p{Desktop::decode(sampleDesktop).value()};
  Accessibility& ax = p.accessibility();

  std::vector<AXElement> windows(Pid pid) {
    std::vector<AXElement> out;
    auto r = ax.attribute(ax.application(pid), "AXWindows");
    for (auto& v : r.value.items) out.push_back(v.element);
    return out;
  }
};

TEST_F(SimulatedAX, AttributesValuesAndErrors) {
  auto w = windows(10);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(ax.attribute(w[0], "AXTitle").value.text, "One");
  EXPECT_EQ(ax.attribute(w[0], "AXIdentifier").value.text, "main-window");
  auto number = ax.attribute(w[0], "AXValue");
  EXPECT_EQ(number.value.kind, Kind::integer);
  EXPECT_EQ(number.value.integer, 42);
  EXPECT_EQ(ax.attribute(w[0], "AXSubrole").error, ax_error::noValue);
  EXPECT_EQ(ax.attribute(w[0], "AXSomethingElse").error, ax_error::attributeUnsupported);

  auto kids = ax.attribute(w[0], "AXChildren").value.items;
  ASSERT_EQ(kids.size(), 3u);
  auto empty = ax.attribute(kids[0].element, "AXValue");
  EXPECT_EQ(empty.error, ax_error::success);
  EXPECT_EQ(empty.value.text, "");
  EXPECT_EQ(ax.attribute(kids[0].element, "AXTitle").error, ax_error::cannotComplete);
  EXPECT_EQ(ax.attribute(kids[1].element, "AXValue").value.kind, Kind::real);
  EXPECT_EQ(ax.attribute(kids[1].element, "AXURL").value.kind, Kind::url);
  EXPECT_EQ(ax.attribute(kids[1].element, "AXDOMClassList").value.items.size(), 2u);
  EXPECT_EQ(ax.attribute(kids[2].element, "AXValue").value.kind, Kind::boolean);

  auto many = ax.attributes(kids[0].element, {"AXRole", "AXTitle", "AXSubrole", "AXValue"});
  EXPECT_EQ(many.error, ax_error::success);
  ASSERT_EQ(many.values.size(), 4u);
  EXPECT_EQ(many.values[0].text, "AXStaticText");
  EXPECT_EQ(many.values[1].kind, Kind::placeholder);
  EXPECT_EQ(many.values[2].kind, Kind::placeholder);
  EXPECT_EQ(many.values[3].kind, Kind::text);

  EXPECT_EQ(ax.attribute(ax.application(11), "AXWindows").error, -25204);
  EXPECT_NE(ax.attribute(ax.application(99), "AXWindows").error, ax_error::success);
}

TEST_F(SimulatedAX, FocusedAndMainWindowsAndTheMenuBar) {
  auto w = windows(10);
  auto focused = ax.attribute(ax.application(10), "AXFocusedWindow");
  ASSERT_EQ(focused.error, ax_error::success);
  EXPECT_TRUE(ax.equal(focused.value.element, w[1]));
  EXPECT_FALSE(ax.equal(focused.value.element, w[0]));
  auto main = ax.attribute(ax.application(10), "AXMainWindow");
  EXPECT_EQ(ax.attribute(main.value.element, "AXTitle").value.text, "Elsewhere");
  EXPECT_FALSE(ax.equal(main.value.element, w[0]));
  EXPECT_EQ(ax.attribute(ax.application(11), "AXFocusedWindow").error, ax_error::noValue);

  auto bar = ax.attribute(ax.application(10), "AXMenuBar");
  ASSERT_EQ(bar.error, ax_error::success);
  std::vector<std::string> titles;
  for (auto& item : ax.attribute(bar.value.element, "AXChildren").value.items)
    titles.push_back(ax.attribute(item.element, "AXTitle").value.text);
  EXPECT_EQ(titles, (std::vector<std::string>{"Apple", "File"}));
  EXPECT_EQ(ax.attribute(ax.application(11), "AXMenuBar").error, ax_error::noValue);
}

TEST(SimulatedDesktop, NothingIsReadableWithoutTrust) {
  SimulatedPlatform p(Desktop::decode(R"({"trusted":false,"apps":[{"bundleID":"a","pid":1,"windows":[{}]}]})").value());
  EXPECT_EQ(p.accessibility().attribute(p.accessibility().application(1), "AXWindows").error, ax_error::apiDisabled);
  SimulatedPlatform none(std::nullopt);
  EXPECT_EQ(none.accessibility().attributes(none.accessibility().application(1), {"AXRole"}).error,
            ax_error::apiDisabled);
}

struct Files : test::TempDir {
  std::string file(const std::string& name) const { return (*this / name).string(); }
  std::vector<std::string> lines(const std::string& name) const {
    std::ifstream in(file(name));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
};

TEST(SimulatedDesktop, WebContentStaysHiddenUntilTheTreeIsSwitchedOn) {
  Files dir;
  const char* json = R"({"apps":[
      {"bundleID":"org.mozilla.firefox","pid":1,"treeNeeds":"AXEnhancedUserInterface",
       "windows":[{"role":"AXWindow","children":[{"role":"AXToolbar"},{"role":"AXWebArea"}]}]},
      {"bundleID":"com.google.Chrome","pid":2,"treeNeeds":"AXRole",
       "windows":[{"role":"AXWindow","children":[{"role":"AXWebArea"}]}]}]})";
  SimulatedPlatform p(Desktop::decode(json).value(), std::string(), dir.file("journal"));
  Accessibility& ax = p.accessibility();
  auto childCount = [&](Pid pid) {
    auto window = ax.attribute(ax.application(pid), "AXWindows").value.items.at(0).element;
    return ax.attribute(window, "AXChildren").value.items.size();
  };
  EXPECT_EQ(childCount(1), 1u);
  ax.setBoolean(ax.application(1), "AXManualAccessibility", true);  // not the attribute it needs
  EXPECT_EQ(childCount(1), 1u);
  ax.setBoolean(ax.application(1), "AXEnhancedUserInterface", true);
  EXPECT_EQ(childCount(1), 2u);
  ax.setBoolean(ax.application(1), "AXEnhancedUserInterface", false);
  EXPECT_EQ(childCount(1), 1u);

  EXPECT_EQ(childCount(2), 0u);
  (void)ax.attribute(ax.application(2), "AXRole");
  EXPECT_EQ(childCount(2), 1u);

  p.systemLog().write("zel-ax capture.signature_refused com.example.app");
  EXPECT_EQ(dir.lines("journal"),
            (std::vector<std::string>{
                R"({"attribute":"AXManualAccessibility","event":"set","pid":1,"value":true})",
                R"({"attribute":"AXEnhancedUserInterface","event":"set","pid":1,"value":true})",
                R"({"attribute":"AXEnhancedUserInterface","event":"set","pid":1,"value":false})",
                R"({"event":"log","line":"zel-ax capture.signature_refused com.example.app"})"}));
}

TEST(SimulatedDesktop, AChangedFilePostsNotificationsAndABrokenOneIsIgnored) {
  Files dir;
  const std::string path = dir.file("desktop.json");
  auto writeDesktop = [&](const std::string& json) {
    // Written beside and renamed over, as tests and the demo change it.
    std::ofstream(path + ".new") << json;
    std::filesystem::rename(path + ".new", path);
  };
  writeDesktop(R"({"front":"a","session":{"CGSSessionScreenIsLocked":false},"displays":[{"asleep":false}],
                   "apps":[{"bundleID":"a","pid":1,"windows":[{"title":"w"}]}]})");
  SimulatedPlatform p(Desktop::load(path).value(), path);
  auto oldWindow = p.accessibility().attribute(p.accessibility().application(1), "AXWindows").value.items.at(0).element;

  std::vector<SystemEvent> seen;
  std::mutex seenLock;
  std::condition_variable delivered;
  std::thread loop([&] {
    p.runLoop().run([&](SystemEvent e) {
      std::lock_guard g(seenLock);
      seen.push_back(e);
      delivered.notify_all();
    });
  });

  writeDesktop("{ broken");
  EXPECT_FALSE(p.reload());
  EXPECT_EQ(p.workspace().frontBundleID(), "a");

  writeDesktop(R"({"front":"b","session":{"CGSSessionScreenIsLocked":true},"displays":[{"asleep":true}],
                   "apps":[{"bundleID":"a","pid":1,"windows":[{"title":"w"}]}]})");
  p.reload();  // the watcher may have been first; either way the new desktop is in force
  EXPECT_EQ(p.workspace().frontBundleID(), "b");
  EXPECT_EQ(p.session().screenLockFlag(), true);
  // Elements of the earlier desktop have vanished.
  EXPECT_EQ(p.accessibility().attribute(oldWindow, "AXTitle").error, ax_error::invalidElement);

  p.replace(Desktop::decode(R"({"front":"b","session":{},"displays":[{"asleep":false}]})").value());
  {
    std::unique_lock g(seenLock);
    delivered.wait_for(g, std::chrono::seconds(10), [&] { return seen.size() >= 5; });
  }
  p.runLoop().stop();
  loop.join();
  EXPECT_EQ(seen, (std::vector<SystemEvent>{SystemEvent::appActivated, SystemEvent::screenLocked,
                                            SystemEvent::screensDidSleep, SystemEvent::screenUnlocked,
                                            SystemEvent::screensDidWake}));
}

}  // namespace
}  // namespace zel::platform
