#include <gtest/gtest.h>

#include "profile/profile_extractor.h"
#include "profile/x/x_profile_extractor.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
using namespace zel::profile;
namespace {

using namespace test;

const Date at{791543700};

AXNode xPage(std::vector<AXNode> kids) {
  AXNode p = el("AXWebArea", std::move(kids));
  p.url = "https://x.com/sample_handle";
  return el("AXWindow", {p});
}
ProfileOutcome read(const AXNode& window) { return ProfileExtractor::extract(window, at, fixedClock()).value(); }

const ProfileOutcome notOwn = ProfileOutcome::notOwn({ProfilePage::Site::x, ProfilePage::View::profile, false});

TEST(XProfile, TheOwnHeader) {
  auto o = read(fixtureWindow("x_own_profile.json"));
  ASSERT_TRUE(o.read());
  const ProfileRead& r = *o.read();
  EXPECT_EQ(r.handle, "sample_handle");
  EXPECT_EQ(r.proof, std::vector<std::string>{"settings_profile"});
  EXPECT_TRUE(r.sections.empty());
  EXPECT_EQ(r.x, (XHeader{"Sample Name", "Builder of things in #rust and C++.", {"Stockholm", "Joined March 2010"}}));
  ASSERT_TRUE(r.photo);
  EXPECT_EQ(r.photo->from, "x_photo");
  EXPECT_EQ(r.photo->px, 400);
  EXPECT_EQ(r.health.emptyDropped, 0);
  EXPECT_EQ(r.timeZone, "Europe/Berlin");
}

TEST(XProfile, OwnershipNeedsTheSettingsAndPhotoLinksInTheHeader) {
  EXPECT_EQ(read(fixtureWindow("x_other_profile.json")), notOwn);  // settings link after the follower link
  const AXNode photo = link("https://x.com/Sample_Handle/photo");
  const AXNode settings = link("https://x.com/settings/profile");
  const AXNode followers = link("https://x.com/sample_handle/followers");
  EXPECT_EQ(read(xPage({photo, followers})), notOwn);
  EXPECT_EQ(read(xPage({settings, link("https://x.com/someone/photo"), followers})), notOwn);
  EXPECT_EQ(read(xPage({followers, settings, photo})), notOwn);
  EXPECT_TRUE(read(xPage({settings, photo})).read());  // no follower link: the whole page is the header
}

TEST(XProfile, NameBioDetailsAndPhoto) {
  const AXNode settings = link("https://x.com/settings/profile");
  auto header = [&](std::vector<AXNode> rest, const std::string& photoURL = "https://pbs.twimg.com/profile_images/1/a_400x400.png") {
    std::vector<AXNode> kids{link("https://x.com/sample_handle/photo", {image(photoURL)}), settings};
    kids.insert(kids.end(), rest.begin(), rest.end());
    kids.push_back(link("https://x.com/sample_handle/following"));
    return read(xPage(std::move(kids)));
  };
  const AXNode details = el("AXGroup", {st("Oslo"), el("AXGroup", {link("https://x.com/sample_handle/about")})});
  auto noBio = header({st("Sam"), st("@sample_handle"), details});
  EXPECT_EQ(noBio.read()->x, (XHeader{"Sam", std::nullopt, {"Oslo"}}));  // the first text after the handle is a detail
  EXPECT_EQ(noBio.read()->health.emptyDropped, 1);
  EXPECT_EQ(noBio.read()->photo->url, "https://pbs.twimg.com/profile_images/1/a_400x400.png");
  EXPECT_FALSE(header({st("Sam")}, "https://pbs.twimg.com/profile_images/1/a_normal.jpg").read()->photo);
  EXPECT_FALSE(header({st("Sam")}, "https://pbs.twimg.com/profile_images/1/a_400x400.webp").read()->photo);
  // A bio made only of links is read from the links' container.
  auto linked = header({st("@sample_handle"), el("AXGroup", {link("https://x.com/a", {st("one")}), st(" two")})});
  EXPECT_EQ(linked.read()->x->bio, "one two");
  EXPECT_EQ(linked.read()->x->name, "@sample_handle");
}

TEST(XProfile, ParentIndex) {
  AXNode tree = el("AXGroup", {el("AXGroup", {st("a"), st("b")}), st("c")});
  const auto nodes = tree.preorder();
  EXPECT_EQ(XProfileExtractor::parentIndex(nodes),
            (std::vector<std::optional<size_t>>{std::nullopt, 0, 1, 1, 0}));
}

}  // namespace
}  // namespace zel
