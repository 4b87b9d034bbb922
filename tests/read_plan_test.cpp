#include <gtest/gtest.h>

#include "profile/linkedin/linkedin_read_plan.h"
#include "profile/profile_read_plan.h"
#include "profile/x/x_read_plan.h"
#include "trees/read_plan.h"
#include "trees/recorded_source.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::profile;
namespace {

using namespace test;

size_t count(const AXNode& n) { return n.preorder().size(); }

TEST(PlannedWalk, WithoutAPlanEverythingIsReadOnceButFramedPages) {
  AXNode window = el("AXWindow", {el("AXWebArea", {st("a"), el("AXGroup", {el("AXWebArea", {st("frame")})}), st("b")})});
  RecordedSource source;
  AXNode read = PlannedWalk::walk(source, &window, nullptr, 60000);
  EXPECT_EQ(read, el("AXWindow", {el("AXWebArea", {st("a"), el("AXGroup"), st("b")})}));
  EXPECT_EQ(source.fullReads.size(), 6u);  // the frame is read, then left out
  EXPECT_TRUE(source.addressReads.empty());

  AXNode ten = el("AXGroup");
  for (int i = 0; i < 9; ++i) ten.children.push_back(st(std::to_string(i)));
  RecordedSource tenSource;
  EXPECT_EQ(PlannedWalk::walk(tenSource, &ten, nullptr, 60000), ten);
  EXPECT_EQ(tenSource.fullReads.size(), 10u);
}

TEST(PlannedWalk, TheBudgetCutsTheTree) {
  AXNode tree = el("AXGroup", {el("AXGroup", {st("a"), st("b")}), st("c")});
  RecordedSource source;
  EXPECT_EQ(PlannedWalk::walk(source, &tree, nullptr, 1), el("AXGroup"));
  EXPECT_EQ(PlannedWalk::walk(source, &tree, nullptr, 3), el("AXGroup", {el("AXGroup", {st("a")})}));

  // Deep chains are walked without recursion; one budget unit per element.
  AXNode deep = chain(60000);
  RecordedSource deepSource;
  EXPECT_EQ(count(PlannedWalk::walk(deepSource, &deep, nullptr, 60000)), 60000u);
  EXPECT_EQ(count(PlannedWalk::walk(deepSource, &deep, nullptr, 59999)), 59999u);
}

// An own LinkedIn profile page, shaped like the real one around the parts
// the plan decides on.
AXNode linkedInWindow() {
  const std::string own = "https://www.linkedin.com/in/sample-slug/";
  AXNode banner = subroled(el("AXGroup", {st("LinkedIn"), link("https://www.linkedin.com/feed/")}), "AXLandmarkBanner");
  AXNode topCard = withID(el("AXGroup", {el("AXHeading", {st("Sam Sample")})}), "profile-top-card");
  AXNode activity = withID(
      el("AXGroup", {el("AXHeading", {st("Activity")}),
                     link("https://www.linkedin.com/in/other-person/", {image("https://media.licdn.com/profile-displayphoto-x")}),
                     link(own, {el("AXGroup", {image("https://media.licdn.com/profile-displayphoto-own")})}),
                     st("after the photo")}),
      "com.linkedin.sdui.profile.card.refACoAAActivity");
  AXNode lookalike = withID(el("AXGroup", {st("Experience text")}), "com.linkedin.sdui.profile.card.refActivityExperience");
  AXNode recommendations = withID(el("AXGroup", {st("recommended")}), "com.linkedin.sdui.profile.card.refXRecommendationsTopLevel");
  AXNode aside = withID(el("AXGroup", {st("people also viewed")}), "profileAside-1");
  AXNode overlay = withID(el("AXGroup", {link("https://www.linkedin.com/in/someone/", {image("https://media.licdn.com/profile-displayphoto-a")}),
                                         st("message text")}),
                          "msg-overlay");
  AXNode footer = subroled(el("AXGroup", {st("About")}), "AXSectionFooter");
  AXNode page = el("AXWebArea", {banner, topCard, activity, lookalike, recommendations, aside, overlay, footer});
  page.url = own;
  return el("AXWindow", {page, el("AXWebArea", {st("second page")})});
}

TEST(LinkedInReadPlan, StepsByDomIdentifier) {
  AXNode window = linkedInWindow();
  RecordedSource source;
  auto plan = profileReadPlan("https://www.linkedin.com/in/Sample-Slug/");
  ASSERT_TRUE(plan);
  const AXNode read = PlannedWalk::walk(source, &window, plan.get(), 60000);
  const AXNode& page = read.children[0];
  ASSERT_EQ(page.children.size(), 8u);
  EXPECT_TRUE(page.children[0].children.empty());  // banner skipped
  EXPECT_EQ(page.children[1].text(), "Sam Sample");

  // The activity card: roles and addresses only, up to the owner's photo.
  const AXNode& activity = page.children[2];
  EXPECT_EQ(activity.children.size(), 3u);
  EXPECT_EQ(activity.children[0], el("AXHeading", {el("AXStaticText")}));
  const AXNode& otherLink = activity.children[1];
  EXPECT_EQ(otherLink.children.size(), 1u);  // another member's photo does not end the walk
  EXPECT_EQ(activity.children[2].children[0].children[0].url, "https://media.licdn.com/profile-displayphoto-own");

  EXPECT_EQ(page.children[3].text(), "Experience text");  // ends with another name: descend
  EXPECT_TRUE(page.children[4].children.empty());
  EXPECT_TRUE(page.children[5].children.empty());
  // The message overlay ends at the first photo, whoever's.
  EXPECT_EQ(page.children[6].children.size(), 1u);
  EXPECT_TRUE(page.children[7].children.empty());
  EXPECT_TRUE(read.children[1].children.empty());  // only the first page is read

  EXPECT_EQ(source.addressReads.size(), 9u);
}

TEST(XReadPlan, StopsAtTheFollowCounts) {
  AXNode header = el("AXGroup", {el("AXHeading", {st("Sam")}), link("https://x.com/sam/following", {st("10 Following")}),
                                 link("https://x.com/sam/followers", {st("20 Followers")}), st("bio after")});
  AXNode timeline = el("AXGroup", {st("post 1"), st("post 2")});
  AXNode window = el("AXWindow", {el("AXWebArea", {header, timeline})});
  RecordedSource source;
  auto plan = profileReadPlan("https://x.com/Sam");
  const AXNode read = PlannedWalk::walk(source, &window, plan.get(), 60000);
  const AXNode& readHeader = read.children[0].children[0];
  ASSERT_EQ(readHeader.children.size(), 2u);
  EXPECT_EQ(readHeader.children[1].url, "https://x.com/sam/following");
  EXPECT_TRUE(readHeader.children[1].children.empty());
  EXPECT_EQ(read.children[0].children.size(), 1u);  // the timeline is never read
  EXPECT_EQ(source.fullReads.size(), 6u);
}

TEST(ReadPlans, OnlyProfilePagesHaveOne) {
  EXPECT_FALSE(profileReadPlan("https://www.linkedin.com/feed/"));
  EXPECT_FALSE(profileReadPlan("https://chatgpt.com/c/abc"));
  EXPECT_TRUE(dynamic_cast<XReadPlan*>(profileReadPlan("https://x.com/sam").get()));
  auto linkedIn = profileReadPlan("https://www.linkedin.com/in/Sample-Slug/details/skills/");
  ASSERT_TRUE(linkedIn);
  // The plan knows the page owner by the normalised slug of the address.
  AXNode own;
  own.role = "AXLink";
  own.url = "https://www.linkedin.com/in/sample-slug/";
  EXPECT_TRUE(linkedIn->opensOwnLink(own));
  own.url = "https://www.linkedin.com/in/someone-else/";
  EXPECT_FALSE(linkedIn->opensOwnLink(own));
}

}  // namespace
}  // namespace zel
