#include <gtest/gtest.h>

#include "profile/profile_control.h"
#include "profile/profile_gate.h"
#include "profile/profile_schedule.h"

namespace zel {
using namespace zel::profile;
namespace {

const Date t0{800000000};

ProfileRole role(std::string id) {
  ProfileRole r;
  r.roleId = std::move(id);
  return r;
}
ProfileSchool school(std::string id) {
  ProfileSchool s;
  s.educationId = std::move(id);
  return s;
}

ProfileRead sample() {
  ProfileRead r;
  r.handle = "sample-slug";
  ProfileSection top{"topcard", {}, "t", {}, {}, {}, {}};
  ProfileSection exp{"about", {}, "a", {}, std::vector<ProfileRole>{role("r2"), role("r1")}, {}, {}};
  ProfileSection edu{"education", {}, "e", {}, {}, {}, std::vector<ProfileSchool>{school("s1")}};
  r.sections = {top, exp, edu};
  r.photo = ProfileImage{"u", {}, {}, {}};
  return r;
}

TEST(ProfileSchedule, Signature) {
  EXPECT_EQ(ProfileSchedule::signature(sample()), "about,education,topcard|r1,r2||s1||photo");
  ProfileRead x;
  x.x = XHeader{"n", std::nullopt, {}};
  EXPECT_EQ(ProfileSchedule::signature(x), "||||false|");
}

TEST(ProfileSchedule, PagesRestOnceSettledAndWakeWhenTheyLeave) {
  ProfileSchedule s;
  const std::string key = "linkedin:sample-slug:profile";
  s.record({key}, {{key, "sig"}}, t0);
  EXPECT_EQ(s.interval(t0.adding(1), true), 1.0);  // fresh in front: fast
  EXPECT_EQ(s.interval(t0.adding(1), false), std::nullopt);
  s.record({key}, {{key, "sig"}}, t0.adding(0.5));
  EXPECT_FALSE(s.isResting(key, t0.adding(0.5)));
  s.record({key}, {{key, "sig"}}, t0.adding(1));
  EXPECT_TRUE(s.isResting(key, t0.adding(1)));
  EXPECT_TRUE(s.isResting(key, t0.adding(600.9)));
  EXPECT_FALSE(s.isResting(key, t0.adding(601)));
  EXPECT_EQ(s.resting(t0.adding(2)), std::set<std::string>{key});
  EXPECT_EQ(s.interval(t0.adding(2), true), std::nullopt);  // resting pages are not fast

  s.record({}, {}, t0.adding(3));  // left the screen: starts afresh
  EXPECT_FALSE(s.isResting(key, t0.adding(3)));
  s.record({key}, {{key, "sig"}}, t0.adding(4));
  EXPECT_EQ(s.interval(t0.adding(24), true), 1.0);
  EXPECT_EQ(s.interval(t0.adding(24.5), true), std::nullopt);  // fresh for 20 s

  s.record({key}, {{key, "other"}}, t0.adding(10));  // a change restarts the wait for stability
  s.record({key}, {{key, "other"}}, t0.adding(10.5));
  EXPECT_FALSE(s.isResting(key, t0.adding(10.5)));

  s.record({key, "x:sam:profile"}, {{key, "other"}, {"x:sam:profile", "s"}}, t0.adding(12));
  s.record({key, "x:sam:profile"}, {{"x:sam:profile", "s"}}, t0.adding(14));
  EXPECT_TRUE(s.isResting(key, t0.adding(14)));
  EXPECT_TRUE(s.isResting("x:sam:profile", t0.adding(14)));
  s.retry(ProfilePage::Site::x);
  EXPECT_FALSE(s.isResting("x:sam:profile", t0.adding(14)));
  EXPECT_TRUE(s.isResting(key, t0.adding(14)));  // other sites untouched
}

TEST(ProfileGate, PrintsChangedReadsAndRepeatsStatusesEveryFiveSeconds) {
  ProfileGate g;
  const std::string key = "linkedin:sample-slug:profile";
  ProfileRead r = sample();
  EXPECT_TRUE(g.shouldPrint(r, key));
  r.capturedAt = t0;
  r.health.readMs = 12;
  r.health.nodes = 500;
  EXPECT_FALSE(g.shouldPrint(r, key));
  r.sections.pop_back();
  EXPECT_TRUE(g.shouldPrint(r, key));

  const std::string statusKey = "linkedin:profile:not_own";
  const ProfileStatus status{ProfilePage::Site::linkedin, ProfilePage::View::profile, false};
  EXPECT_TRUE(g.shouldPrint(status, statusKey, t0));
  EXPECT_FALSE(g.shouldPrint(status, statusKey, t0.adding(4)));
  EXPECT_TRUE(g.shouldPrint(status, statusKey, t0.adding(5)));

  EXPECT_TRUE(g.shouldPrint(status, key, t0));
  EXPECT_TRUE(g.shouldPrint(r, key));  // after a status for the key, the same read prints again
  g.retry(ProfilePage::Site::x);
  EXPECT_FALSE(g.shouldPrint(r, key));
  g.retry(ProfilePage::Site::linkedin);
  EXPECT_TRUE(g.shouldPrint(r, key));
}

}  // namespace
}  // namespace zel
