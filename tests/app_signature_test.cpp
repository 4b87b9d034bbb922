#include <gtest/gtest.h>

#include "snapshot/app_signature.h"
#include "platform/simulated/simulated_platform.h"

namespace zel {
using namespace zel::browsers;
using namespace zel::snapshot;
namespace {

using AppSignature::Verdict;

TEST(AppSignature, Requirements) {
  EXPECT_EQ(AppSignature::requirement(KnownApp::named("com.openai.codex", System::macOS)),
            "identifier \"com.openai.codex\" and anchor apple generic and certificate leaf[subject.OU] = \"2DC432GLL2\"");
  EXPECT_EQ(AppSignature::requirement(KnownApp::named("com.google.Chrome", System::macOS)),
            "identifier \"com.google.Chrome\" and anchor apple generic and certificate leaf[subject.OU] = \"EQHXZ8M8AV\"");
  EXPECT_EQ(AppSignature::requirement(KnownApp::named("com.apple.Safari", System::macOS)), "identifier \"com.apple.Safari\" and anchor apple");
  EXPECT_EQ(AppSignature::requirement(KnownApp::named("com.example.unknown", System::macOS)), std::nullopt);
}

class Cache : public ::testing::Test {
 protected:
  Date now{800000000};
  std::map<platform::Pid, Verdict> verdicts;
  int checks = 0;
  std::vector<std::string> logged;
  AppSignature::Checked checked{[this](platform::Pid pid, const KnownApp&) {
                                  ++checks;
                                  auto it = verdicts.find(pid);
                                  return it == verdicts.end() ? Verdict::vendors : it->second;
                                },
                                [this] { return now; }, [this](const std::string& b) { logged.push_back(b); }};
};

TEST_F(Cache, APassingProcessIsCheckedAgainOnlyForAnotherLaunch) {
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"a"}), Verdict::vendors);
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"a"}), Verdict::vendors);
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(checked.verdict(1, 200.0, KnownApp{"a"}), Verdict::vendors);  // a reused process identifier
  EXPECT_EQ(checks, 2);
  checked.verdict(2, std::nullopt, KnownApp{"a"});
  checked.verdict(2, std::nullopt, KnownApp{"a"});
  EXPECT_EQ(checks, 4);  // without a launch date, every call checks
}

TEST_F(Cache, RefusalsAreRecheckedAfterAMinuteAndLoggedOnce) {
  verdicts[1] = Verdict::refused;
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"bad.app"}), Verdict::refused);
  now = now.adding(59);
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"bad.app"}), Verdict::refused);
  EXPECT_EQ(checks, 1);
  now = now.adding(1);
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"bad.app"}), Verdict::refused);
  EXPECT_EQ(checks, 2);
  EXPECT_EQ(logged, std::vector<std::string>{"bad.app"});

  verdicts[1] = Verdict::vendors;
  now = now.adding(60);
  EXPECT_EQ(checked.verdict(1, 100.0, KnownApp{"bad.app"}), Verdict::vendors);
  verdicts[1] = Verdict::refused;
  EXPECT_EQ(checked.verdict(1, 300.0, KnownApp{"bad.app"}), Verdict::refused);
  EXPECT_EQ(logged.size(), 2u);  // refused, passed, refused again: logged again
}

TEST_F(Cache, TheTablesAreDroppedPastTwoHundredFiftySixEntries) {
  for (platform::Pid pid = 1; pid <= 257; ++pid) checked.verdict(pid, 1.0, KnownApp{"a"});
  EXPECT_EQ(checks, 257);
  checked.verdict(1000, 1.0, KnownApp{"a"});  // more than 256 held: everything goes, the new verdict stays
  checked.verdict(1000, 1.0, KnownApp{"a"});
  EXPECT_EQ(checks, 258);
  checked.verdict(5, 1.0, KnownApp{"a"});
  EXPECT_EQ(checks, 259);
}

TEST(VendorsApp, PicksTheFirstPassingInstance) {
  auto desktop = platform::Desktop::decode(R"({"apps":[
      {"bundleID":"com.openai.codex","pid":1,"signature":"refused"},
      {"bundleID":"com.openai.codex","pid":2,"launched":"2026-01-01T00:00:00Z"},
      {"bundleID":"com.anthropic.claudefordesktop","pid":3,"signature":"changedOnDisk"},
      {"bundleID":"com.anthropic.claudefordesktop","pid":4,"signature":"refused"},
      {"bundleID":"com.example.unknown","pid":5}]})");
  ASSERT_TRUE(desktop) << desktop.error();
  platform::SimulatedPlatform p(desktop.value());
  std::vector<std::string> logged;
  AppSignature::Checked checked(
      [&](platform::Pid pid, const KnownApp& b) { return AppSignature::verdict(p.codeSigning(), pid, b); },
      [] { return Date{0}; }, [&](const std::string& b) { logged.push_back(b); });

  auto codex = AppSignature::vendorsApp(p.workspace(), checked, KnownApp::named("com.openai.codex", System::macOS));
  EXPECT_EQ(codex.kind, AppSignature::Found::Kind::running);
  EXPECT_EQ(codex.app.pid, 2);
  EXPECT_EQ(AppSignature::vendorsApp(p.workspace(), checked, KnownApp::named("com.anthropic.claudefordesktop", System::macOS)).kind,
            AppSignature::Found::Kind::changedOnDisk);
  EXPECT_EQ(AppSignature::vendorsApp(p.workspace(), checked, KnownApp::named("com.example.unknown", System::macOS)).kind,
            AppSignature::Found::Kind::none);  // no requirement: refused
  EXPECT_EQ(AppSignature::vendorsApp(p.workspace(), checked, KnownApp::named("com.apple.Safari", System::macOS)).kind, AppSignature::Found::Kind::none);
  EXPECT_EQ(logged, (std::vector<std::string>{"com.openai.codex", "com.anthropic.claudefordesktop",
                                              "com.anthropic.claudefordesktop", "com.example.unknown"}));
  EXPECT_EQ(AppSignature::verdict(p.codeSigning(), 2, KnownApp::named("com.openai.codex", System::macOS)), Verdict::vendors);
  EXPECT_EQ(AppSignature::verdict(p.codeSigning(), 5, KnownApp::named("com.example.unknown", System::macOS)), Verdict::refused);
}

}  // namespace
}  // namespace zel
