#include <gtest/gtest.h>

#include "platform/simulated/desktop.h"
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

TEST(SimulatedPlatform, TrustFollowsTheDesktopAndIsFalseWithoutOne) {
  EXPECT_FALSE(SimulatedPlatform(std::nullopt).accessibility().isTrusted());
  EXPECT_TRUE(SimulatedPlatform(Desktop::decode("{}").value()).accessibility().isTrusted());
  EXPECT_FALSE(SimulatedPlatform(Desktop::decode(R"({"trusted":false})").value()).accessibility().isTrusted());
}

}  // namespace
}  // namespace zel::platform
