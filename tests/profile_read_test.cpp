#include <gtest/gtest.h>

#include <cmath>

#include "profile/profile_read.h"

namespace zel {
using namespace zel::profile;
namespace {

std::string encoded(const ProfileRead& r, DateForm form = DateForm::nanoseconds) {
  return *encodeLine([&](JSONWriter& w) { writeJSON(w, r, form); });
}

ProfileRead linkedIn() {
  ProfileRead r;
  r.site = ProfilePage::Site::linkedin;
  r.handle = "sample-slug";
  r.view = ProfilePage::View::profile;
  r.proof = {"edit_intro"};
  r.capturedAt = Date{791543700.5};
  r.timeZone = "Europe/Stockholm";
  return r;
}

TEST(ProfileReadJSON, AbsentOptionalsHaveNoKeyAndListsAreAlwaysWritten) {
  ProfileRead r = linkedIn();
  ProfileSection unknown;
  unknown.kind = "unknown";
  unknown.text = "Card text";
  r.sections = {unknown};
  r.health.nodes = 12;
  EXPECT_EQ(encoded(r),
            R"({"capturedAt":"2026-01-31T09:15:00.500000000Z","handle":"sample-slug","health":{"byAddress":0,)"
            R"("byDomId":0,"byEditLink":0,"emptyDropped":0,"logos":0,"nodes":12,"otherPeopleDropped":0,)"
            R"("readMs":0,"roles":0,"schools":0,"skills":0,"typedDisagree":0,"untyped":0},"proof":["edit_intro"],)"
            R"("sections":[{"kind":"unknown","text":"Card text","typedBy":[]}],"site":"linkedin",)"
            R"("timeZone":"Europe/Stockholm","view":"profile"})");
}

TEST(ProfileReadJSON, EveryRecordRoundTrips) {
  ProfileRead r = linkedIn();
  r.view = ProfilePage::View::detailsExperience;
  ProfileImage logo{"https://media.licdn.com/logo_100_100/x", 100, Date{800000000.25}, std::nullopt};
  ProfileSection top{"topcard", {"dom_id"}, "Sam\nEngineer", Topcard{"Sam", "Engineer", std::nullopt}, {}, {}, {}};
  ProfileSection exp{"experience", {"dom_id", "edit_link", "page_address"}, "text", {},
                     std::vector<ProfileRole>{{"123", "456", "Engineer", "Acme", "2020 - now", "Oslo", "Builds", "C++", logo}},
                     {}, {}};
  ProfileSection skills{"skills", {}, "s", {}, {}, std::vector<ProfileSkill>{{"9", "C++", {"Acme"}}}, {}};
  ProfileSection edu{"education", {"edit_link"}, "e", {}, {}, {},
                     std::vector<ProfileSchool>{{"7", std::nullopt, {"Uni", "2010"}, std::nullopt}}};
  r.sections = {top, exp, skills, edu};
  r.photo = ProfileImage{"https://media.licdn.com/p", std::nullopt, std::nullopt, "own_link"};
  r.health = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  auto back = profileReadFromJSON(Json::parse(encoded(r)));
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back.value(), r);

  ProfileRead x = linkedIn();
  x.site = ProfilePage::Site::x;
  x.proof = {"settings_profile"};
  x.x = XHeader{"Sam", std::nullopt, {"Oslo", "Joined 2010"}};
  x.health.emptyDropped = 1;
  auto xBack = profileReadFromJSON(Json::parse(encoded(x)));
  ASSERT_TRUE(xBack) << xBack.error();
  EXPECT_EQ(xBack.value(), x);
  EXPECT_NE(encoded(x).find(R"("x":{"details":["Oslo","Joined 2010"],"name":"Sam"})"), std::string::npos);
}

TEST(ProfileReadJSON, MissingRequiredMembersFailTheWholeRecord) {
  const Json good = Json::parse(encoded(linkedIn()));
  struct Case {
    const char* pointer;
    Json value;  // null removes
    const char* error;
  };
  const Case cases[] = {
      {"/handle", nullptr, "handle: is missing"},
      {"/proof", nullptr, "proof: is missing"},
      {"/health/readMs", nullptr, "health.readMs: is missing"},
      {"/site", "mastodon", "site: names no known case"},
      {"/view", "details", "view: names no known case"},
      {"/capturedAt", "today", "capturedAt: must be an ISO 8601 date"},
      {"/sections", Json::parse(R"([{"kind":"about","text":"t"}])"), "sections[0].typedBy: is missing"},
      {"/photo", Json::parse(R"({"px":3})"), "photo.url: is missing"},
  };
  for (const auto& c : cases) {
    Json j = good;
    const Json::json_pointer at(c.pointer);
    if (c.value.is_null()) j[at.parent_pointer()].erase(at.back());
    else j[at] = c.value;
    auto r = profileReadFromJSON(j);
    EXPECT_FALSE(r) << c.pointer;
    EXPECT_EQ(r.error(), c.error) << c.pointer;
  }
  auto status = profileStatusFromJSON(Json::parse(R"({"site":"x","view":"profile","own":false})"));
  ASSERT_TRUE(status);
  EXPECT_EQ(status.value(), (ProfileStatus{ProfilePage::Site::x, ProfilePage::View::profile, false}));
  EXPECT_EQ(profileStatusFromJSON(Json::parse(R"({"site":"x","view":"profile"})")).error(), "own: is missing");
}

TEST(ProfileImage, SizeFromTheAddressPath) {
  struct Case {
    const char* url;
    std::optional<int64_t> px;
  };
  const Case cases[] = {
      {"https://media.licdn.com/dms/image/v2/C4D03/profile-displayphoto-shrink_100_100/0/1?e=1", 100},
      {"https://media.licdn.com/dms/image/x/shrink_400_400", 400},
      {"https://pbs.twimg.com/profile_images/1/photo_800x800.png", 800},
      {"https://pbs.twimg.com/profile_images/1/a_12x34.JPG", std::nullopt},
      {"https://media.licdn.com/dms/image/x/photo?size=_100_100", std::nullopt},
      {"https://media.licdn.com/x/shrink_100_100x/", std::nullopt},
      {"https://media.licdn.com/x/shrink_99999999999999999999_1/", std::nullopt},
      {"not a url _64_64", 64},
      {"https://media.licdn.com/x/shrink_\u0663\u0663_1/", std::nullopt},  // not ASCII digits
  };
  for (const auto& c : cases) EXPECT_EQ(ProfileImage::size(c.url), c.px) << c.url;
}

TEST(ProfileImage, ExpiryFromTheFirstEItem) {
  struct Case {
    const char* url;
    std::optional<Date> expires;
  };
  const Case cases[] = {
      {"https://media.licdn.com/p?e=86400&v=beta", Date::fromUnix(86400)},
      {"https://media.licdn.com/p?v=1&e=1767225600&e=5", Date::fromUnix(1767225600)},
      {"https://media.licdn.com/p?e=1.5", Date::fromUnix(1.5)},
      {"https://media.licdn.com/p?e=", std::nullopt},
      {"https://media.licdn.com/p?e", std::nullopt},
      {"https://media.licdn.com/p?e=soon", std::nullopt},
      {"https://media.licdn.com/p?e=nan", std::nullopt},
      {"https://media.licdn.com/p?e=inf", std::nullopt},
      {"https://media.licdn.com/p?e=1e300", std::nullopt},
      {"https://media.licdn.com/p?e=-99999999999999", std::nullopt},
      {"https://media.licdn.com/p", std::nullopt},
      {"https://media.licdn.com/p?E=5", std::nullopt},
      {"https://media.licdn.com/p?#e=5", std::nullopt},  // an empty query before a fragment
      {"https://media.licdn.com/p?e=5#frag", Date::fromUnix(5)},
      {"https://media.licdn.com/p?%65=7", Date::fromUnix(7)},
  };
  for (const auto& c : cases) EXPECT_EQ(ProfileImage::expiry(c.url), c.expires) << c.url;
}

}  // namespace
}  // namespace zel
