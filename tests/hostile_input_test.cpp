// Everything that reads input from outside gets mangled versions of good
// input: it must answer with a value or an error, never crash. Run under the
// sanitizers, this catches out-of-bounds reads and undefined behaviour.

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "trees/ax_node.h"
#include "chat/reading_policy.h"
#include "chat/browser_extractor.h"
#include "chat/chat_page.h"
#include "chat/own_chat_only.h"
#include "chat/chatgpt/codex_identity.h"
#include "chat/conversation.h"
#include "chat/extractors.h"
#include "profile/profile_extractor.h"
#include "profile/profile_read_plan.h"
#include "profile/profile_page.h"
#include "profile/linkedin/linkedin_page.h"
#include "profile/x/x_page.h"
#include "profile/profile_read.h"
#include "profile/profile_control.h"
#include "profile/profile_gate.h"
#include "profile/profile_schedule.h"
#include "scrub/scrubber.h"
#include "browsers/private_windows.h"
#include "snapshot/snapshotter.h"
#include "trees/recorded_source.h"
#include "platform/simulated/simulated_platform.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::snapshot;
using namespace zel::chat;
using namespace zel::profile;
using namespace zel::scrub;
namespace {

// Deterministic mangling: flips, cuts, duplications and stray bytes.
class Mangler {
 public:
  explicit Mangler(uint32_t seed) : rng_(seed) {}
  std::string operator()(const std::string& good) {
    std::string s = good;
    const int edits = 1 + static_cast<int>(rng_() % 4);
    for (int e = 0; e < edits && !s.empty(); ++e) {
      const size_t at = rng_() % s.size();
      switch (rng_() % 5) {
        case 0: s[at] = static_cast<char>(rng_() % 256); break;
        case 1: s.erase(at, 1 + rng_() % 8); break;
        case 2: s.insert(at, s.substr(at, 1 + rng_() % 16)); break;
        case 3: s.resize(at); break;
        default: {
          static constexpr std::string_view strays = "{}[]\",:\\\xff\xc3%/(#";
          s.insert(at, 1, strays[rng_() % strays.size()]);
        }
      }
    }
    return s;
  }

 private:
  std::mt19937 rng_;
};

std::string file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(HostileInput, RecordedTreesAndEverythingThatReadsThem) {
  const std::string good = file(std::string(ZEL_FIXTURES) + "/chatgpt_grouped.json");
  const std::string profile = file(std::string(ZEL_FIXTURES) + "/linkedin_own_profile.json");
  Mangler mangle(7);
  const auto& registry = Extractors::byBundleID(System::macOS);
  int decoded = 0;
  for (int i = 0; i < 300; ++i) {
    for (const std::string* source : {&good, &profile}) {
      auto windows = decodeWindows(mangle(*source));
      if (!windows) continue;
      ++decoded;
      for (const AXNode& w : *windows) {
        (void)w.text();
        (void)w.json();
        for (const auto& [id, extractor] : registry) (void)extractor->extract(w);
        (void)ProfileExtractor::extract(w, Date{0});
      }
      (void)scrubbed(*windows);
    }
  }
  EXPECT_GT(decoded, 0);  // some mangled trees still decode and go all the way through
}

TEST(HostileInput, DesktopsControlLinesConversationsAndProfiles) {
  Mangler mangle(11);
  const std::string desktop = file(std::string(ZEL_EXAMPLES) + "/desktop.json");
  const std::string control = R"({"arm":{"linkedin":{"slug":"Sample"},"x":{}},"until":"2026-11-18T10:00:00Z","own":{"x":"sam"}})";
  const std::string conversation =
      R"({"source":"claudeWeb","title":"T","locator":"https://claude.ai/chat/a","totalTurns":3,"capturedAt":"2026-01-01T00:00:00.5Z",)"
      R"("turns":[{"role":"user","text":"hi","attachments":["a"],"position":1,"shownTime":"9:00","shownDay":"Today"}]})";
  ProfileRead read;
  read.handle = "sam";
  ProfileRole role;
  role.roleId = "1";
  role.title = "Engineer";
  read.sections = {ProfileSection{"experience", {"dom_id"}, "t", Topcard{"n", {}, {}}, std::vector<ProfileRole>{role}, {}, {}}};
  read.photo = ProfileImage{"https://media.licdn.com/p?e=5", 100, Date{1}, "own_link"};
  const std::string profileJSON = *encodeLine([&](JSONWriter& w) { writeJSON(w, read, DateForm::nanoseconds); });

  int snapshots = 0;
  for (int i = 0; i < 300; ++i) {
    // A mangled desktop that still decodes is read as the agent reads it.
    if (auto d = platform::Desktop::decode(mangle(desktop))) {
      platform::SimulatedPlatform p(std::move(d.value()));
      TreeSwitch treeSwitch(p.accessibility(), {{}, {}, [](const platform::AXElement&, double) { return true; }, {}}, limits.nodeBudget);
      AppSignature::Checked signatures(
          [&](platform::Pid pid, const KnownApp& b) { return AppSignature::verdict(p.codeSigning(), pid, b); },
          [] { return Date{0}; }, [](const std::string&) {});
      AXSnapshotter snapshotter(5000, AXSnapshotter::Environment{p, treeSwitch, signatures, "/nonexistent"});
      AXSnapshotter::PageFilter any = [](const std::string&) { return PageVerdict::read; };
      AXSnapshotter::PlanFactory plans = [](const std::string& url) { return profileReadPlan(url); };
      for (const auto& [id, extractor] : Extractors::byBundleID(System::macOS)) {
        auto result = snapshotter.snapshot(id, &any, &plans);
        if (auto* trees = std::get_if<std::vector<AXNode>>(&result))
          for (const AXNode& t : *trees) {
            (void)extractor->extract(t);
            ++snapshots;
          }
      }
    }
    if (auto line = ControlLine::parse(mangle(control))) {
      ProfileControl c({ProfilePage::Site::linkedin, ProfilePage::Site::x});
      c.apply(*line, Date{0});
    }
    const Json j = Json::parse(mangle(conversation), nullptr, false);
    if (!j.is_discarded()) (void)conversationFromJSON(j);
    const Json p = Json::parse(mangle(profileJSON), nullptr, false);
    if (!p.is_discarded()) (void)profileReadFromJSON(p);
  }
  EXPECT_GT(snapshots, 0);
}

TEST(HostileInput, AddressesPreferencesAndRolloutLines) {
  Mangler mangle(13);
  const std::string addresses[] = {"https://chatgpt.com/g/g-p-1/c/abc?x=1#f", "https://x.com/i/grok?conversation=123",
                                   "https://www.linkedin.com/in/Caf%C3%A9/details/skills/",
                                   "https://media.licdn.com/dms/image/v2/shrink_400_400/0/1?e=1767225600"};
  const std::string prefs = "// c\n/* b */ user_pref(\"browser.privatebrowsing.autostart\", 'x\\\"' , false);\n# x\n";
  const std::string rollout =
      R"({"type":"response_item","payload":{"type":"message","role":"user","content":[{"type":"input_text","text":"hi"}]}})";
  const std::string window = file(std::string(ZEL_FIXTURES) + "/x_own_profile.json");
  for (int i = 0; i < 1500; ++i) {
    for (const auto& a : addresses) {
      const std::string m = mangle(a);
      for (Source s : {Source::chatGPTWeb, Source::claudeWeb, Source::grokWeb}) (void)ChatPage::address(m, s);
      (void)ProfilePage::parse(m);
      if (auto lp = LinkPath::parse(m)) (void)LinkedInPage::under(*lp, "sample");
      (void)ProfileImage::size(m);
      (void)ProfileImage::expiry(m);
      (void)LinkedInPage::normalizedSlug(m);
    }
    (void)PrivateWindows::withoutComments(mangle(prefs));
    (void)CodexIdentity::userText(mangle(rollout));
    (void)CodexIdentity::words(mangle(rollout));
  }
  // Mangled addresses inside a profile page go through the scrubber's shaping.
  auto page = decodeWindows(window);
  ASSERT_TRUE(page);
  for (int i = 0; i < 200; ++i) {
    AXNode w = page->front();
    test::editAll(w, [&](AXNode& n) {
      if (n.url && n.role != "AXWebArea") n.url = mangle(*n.url);  // the page stays a profile page
    });
    (void)scrubbed(w);
    (void)ProfileExtractor::extract(w, Date{0});
  }
}

}  // namespace
}  // namespace zel
