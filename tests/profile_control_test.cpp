#include <gtest/gtest.h>

#include "profile/profile_control.h"
#include "profile/profile_gate.h"
#include "profile/profile_pages.h"
#include "profile/profile_schedule.h"

namespace zel {
using namespace zel::browsers;
using namespace zel::profile;
namespace {

using Site = ProfilePage::Site;
using View = ProfilePage::View;

const Date t0{800000000};

ControlLine line(const std::string& json) {
  auto c = ControlLine::parse(json);
  EXPECT_TRUE(c) << json;
  return c.value_or(ControlLine{});
}

TEST(ControlLine, ParsesTheThreeStatesOfArmAndBothTimeForms) {
  EXPECT_FALSE(line("{}").arm);
  auto disarm = line(R"({"arm":null})");
  ASSERT_TRUE(disarm.arm);
  EXPECT_FALSE(*disarm.arm);
  auto arm = line(R"({"arm":{"linkedin":{},"x":{"handle":"Sam"}},"until":"2026-11-18T10:00:00.123Z","extra":1})");
  ASSERT_TRUE(arm.arm && *arm.arm);
  EXPECT_TRUE((*arm.arm)->contains(Site::linkedin));
  EXPECT_EQ((*arm.arm)->at(Site::x), "Sam");
  EXPECT_EQ(arm.until, parseISO8601("2026-11-18T10:00:00.123Z"));
  EXPECT_EQ(line(R"({"until":"2026-11-18T10:00:00Z"})").until, parseISO8601("2026-11-18T10:00:00Z"));
  auto unarmedSite = line(R"({"arm":{"linkedin":null}})");
  EXPECT_FALSE((*unarmedSite.arm)->contains(Site::linkedin));
  EXPECT_EQ(line(R"({"own":{"x":"sam"}})").own->at(Site::x), "sam");

  for (const char* bad : {"", "[]", "not json", R"({"arm":5})", R"({"arm":{"linkedin":"yes"}})",
                          R"({"arm":{"x":{"handle":3}}})", R"({"until":"2026-11-18 10:00:00"})", R"({"until":5})",
                          R"({"own":"sam"})", R"({"own":{"linkedin":["a"]}})", "{\"own\":{\"x\":\"\xff\"}}"})
    EXPECT_FALSE(ControlLine::parse(bad)) << bad;
}

ProfilePage page(Site s, const std::string& handle) { return {s, handle, View::profile}; }
ProfileRead read(Site s, const std::string& handle) {
  ProfileRead r;
  r.site = s;
  r.handle = handle;
  return r;
}

TEST(ProfileControl, ArmingLastsUntilItsEndAndAtMostTenMinutes) {
  ProfileControl c({Site::linkedin, Site::x});
  EXPECT_FALSE(c.wantsRead({}, t0));
  c.apply(line(R"({"until":"2030-01-01T00:00:00Z"})"), t0);  // "until" alone changes nothing
  EXPECT_FALSE(c.isArmed(Site::linkedin, t0));

  ControlLine soon = line(R"({"arm":{"linkedin":{}}})");
  soon.until = t0.adding(30);
  c.apply(soon, t0);
  EXPECT_TRUE(c.isArmed(Site::linkedin, t0.adding(29)));
  EXPECT_FALSE(c.isArmed(Site::linkedin, t0.adding(30)));
  EXPECT_FALSE(c.isArmed(Site::x, t0));

  ControlLine later = line(R"({"arm":{"linkedin":{}}})");
  later.until = t0.adding(3600);
  c.apply(later, t0);
  EXPECT_TRUE(c.isArmed(Site::linkedin, t0.adding(599)));
  EXPECT_FALSE(c.isArmed(Site::linkedin, t0.adding(600)));
  EXPECT_EQ(c.requests(), (std::map<Site, uint64_t>{{Site::linkedin, 2}}));

  EXPECT_TRUE(c.wantsRead({}, t0.adding(700)));  // a request not acted on yet
  EXPECT_FALSE(c.wantsRead(c.requests(), t0.adding(700)));
  EXPECT_TRUE(c.wantsRead(c.requests(), t0.adding(10)));  // armed now

  c.apply(line(R"({"arm":null})"), t0);
  EXPECT_FALSE(c.isArmed(Site::linkedin, t0));
  c.apply(line(R"({"arm":{}})"), t0);  // no sites, but still an arming
  EXPECT_FALSE(c.isArmed(Site::linkedin, t0));
}

TEST(ProfileControl, OwnHandlesDecideWhatMayBeWalked) {
  ProfileControl c({Site::linkedin, Site::x});
  c.apply(line(R"({"own":{"linkedin":"Sample-Slug","x":"Sam"}})"), t0);
  EXPECT_TRUE(c.isSaved(Site::linkedin));
  // Saved: the own page always, another never, armed or not, in front or not.
  EXPECT_TRUE(c.mayWalk(page(Site::linkedin, "sample-slug"), t0, false));
  EXPECT_FALSE(c.mayWalk(page(Site::linkedin, "other"), t0, true));
  EXPECT_FALSE(c.isOtherHandle(page(Site::x, "other"), t0, true));  // not armed
  c.apply(line(R"({"arm":{"x":{}}})"), t0);
  EXPECT_TRUE(c.isOtherHandle(page(Site::x, "other"), t0, true));
  EXPECT_FALSE(c.isOtherHandle(page(Site::x, "other"), t0, false));
  EXPECT_FALSE(c.isOtherHandle(page(Site::x, "sam"), t0, true));

  c.apply(line(R"({"own":{"x":"sam"}})"), t0);  // only x: the LinkedIn slug goes
  EXPECT_FALSE(c.isSaved(Site::linkedin));
  c.apply(line(R"({"own":{"x":"not a handle!"}})"), t0);
  EXPECT_FALSE(c.isSaved(Site::x));

  ProfileControl onlyX({Site::x});
  onlyX.apply(line(R"({"own":{"linkedin":"sample-slug"}})"), t0);
  EXPECT_FALSE(onlyX.mayWalk(page(Site::linkedin, "sample-slug"), t0, true));  // not enabled
}

TEST(ProfileControl, DiscoveryPinsTheFirstAcceptedHandle) {
  ProfileControl c({Site::linkedin, Site::x});
  c.apply(line(R"({"arm":{"linkedin":{}}})"), t0);
  EXPECT_FALSE(c.mayWalk(page(Site::linkedin, "someone"), t0, false));  // only in front
  EXPECT_TRUE(c.mayWalk(page(Site::linkedin, "someone"), t0, true));
  EXPECT_TRUE(c.accept(read(Site::linkedin, "first-one"), t0, true));
  EXPECT_FALSE(c.accept(read(Site::linkedin, "second-one"), t0, true));
  EXPECT_TRUE(c.mayWalk(page(Site::linkedin, "first-one"), t0, true));

  c.apply(line(R"({"arm":{"x":{"handle":"Expected"}}})"), t0);  // re-arming clears the discovery
  EXPECT_TRUE(c.accept(read(Site::x, "expected"), t0, true));
  EXPECT_FALSE(c.accept(read(Site::x, "other"), t0, true));
}

TEST(ProfileControl, AmbiguousReadsOfAnUnsavedSiteAreDropped) {
  const std::vector<ProfileRead> reads{read(Site::x, "a"), read(Site::x, "b"), read(Site::linkedin, "c"),
                                       read(Site::linkedin, "c")};
  auto none = ProfileControl::unambiguous(reads, [](Site) { return false; });
  ASSERT_EQ(none.size(), 2u);
  EXPECT_EQ(none[0].site, Site::linkedin);
  auto savedX = ProfileControl::unambiguous(reads, [](Site s) { return s == Site::x; });
  EXPECT_EQ(savedX.size(), 4u);
}

// A reader's judgement of each page: the verdict, and which set it fills.
TEST(ProfilePages, TheReaderJudgesAPageAndRemembersOtherPeoplesPages) {
  ProfileControl c({Site::linkedin, Site::x});
  c.apply(line(R"({"own":{"x":"sam"},"arm":{"x":{}}})"), t0);
  SeenPages seen;
  seen.reset({"x:sam:profile"});
  OtherHandlePages others;
  auto judge = [&](const std::string& url, bool profilesOn = true) {
    return judgeProfilePage(url, profilesOn, c, t0, true, seen, others);
  };
  EXPECT_EQ(judge("https://example.com/"), std::nullopt);  // no profile page: the chat policy says
  EXPECT_EQ(judge("https://x.com/sam", false), PageVerdict::profilesOff);
  EXPECT_EQ(judge("https://x.com/sam"), PageVerdict::profileResting);
  EXPECT_EQ(judge("https://x.com/someone"), PageVerdict::profileNotAdmitted);
  EXPECT_EQ(others.take().size(), 1u);
  EXPECT_EQ(judge("https://www.linkedin.com/in/sample-slug/"), PageVerdict::profileNotAdmitted);  // not armed
  seen.reset({});
  EXPECT_EQ(judge("https://x.com/sam"), PageVerdict::read);
  EXPECT_EQ(seen.pages(), std::set<std::string>{"x:sam:profile"});
}

}  // namespace
}  // namespace zel
