#include <gtest/gtest.h>

#include "profile/linkedin/linkedin_profile_extractor.h"
#include "profile/profile_extractor.h"
#include "support/chats.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::chat;
using namespace zel::profile;
namespace {

using namespace test;
namespace LI = LinkedInProfileExtractor;
using View = ProfilePage::View;

const std::string own = "https://www.linkedin.com/in/sample-slug";
const Date at{791543700.5};

ProfileOutcome read(const AXNode& window) {
  auto o = ProfileExtractor::extract(window, at, fixedClock());
  EXPECT_TRUE(o);
  return o.value_or(ProfileOutcome::notOwn({}));
}

AXNode card(const std::string& ending, std::vector<AXNode> kids) {
  return withID(el("AXGroup", std::move(kids)), std::string(LI::cardPrefix) + "X1" + ending);
}
AXNode page(const std::string& url, std::vector<AXNode> kids) {
  AXNode p = el("AXWebArea", std::move(kids));
  p.url = url;
  return titled(el("AXWindow", {p}), "Profile");
}

TEST(LinkedInProfile, TheOwnMainPage) {
  auto o = read(fixtureWindow("linkedin_own_profile.json"));
  ASSERT_TRUE(o.read());
  const ProfileRead& r = *o.read();
  EXPECT_EQ(r.proof, (std::vector<std::string>{"edit_forms", "edit_intro"}));
  std::vector<std::string> kinds;
  for (const auto& s : r.sections) kinds.push_back(s.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"topcard", "about", "experience", "education", "skills", "certifications",
                                             "unknown"}));
  const ProfileSection& top = r.sections[0];
  EXPECT_EQ(top.topcard, (Topcard{"Sam Sample", "Staff Engineer at Acme", "Stockholm, Sweden"}));
  EXPECT_EQ(top.text, "Sam Sample\nStaff Engineer at Acme\nStockholm, Sweden");
  EXPECT_EQ(r.sections[1].text, "I build reliable things for people who rely on them.");  // heading left out

  const auto& roles = *r.sections[2].roles;
  ASSERT_EQ(roles.size(), 2u);  // the icon-only "add position" link carries no lines
  EXPECT_EQ(roles[0].roleId, "2345678");
  EXPECT_EQ(roles[0].companyId, "1234");
  EXPECT_EQ(roles[0].title, "Staff Engineer");
  EXPECT_EQ(roles[0].location, "Stockholm, Sweden");
  EXPECT_EQ(roles[0].description, "Leads the platform team that keeps the sync engine fast.");
  EXPECT_EQ(roles[0].skillsLine, "C++ Rust");
  EXPECT_EQ(roles[1].companyId, "1234");  // two roles under one company link
  EXPECT_EQ(roles[1].logo, roles[0].logo);
  EXPECT_EQ(roles[1].location, "Remote");
  EXPECT_EQ(roles[1].description, "Built the first version of the sync engine, then grew it for years.");

  const auto& schools = *r.sections[3].schools;
  ASSERT_EQ(schools.size(), 1u);  // the "new" education link is never a school
  EXPECT_EQ(schools[0].schoolId, "5678");
  EXPECT_EQ(schools[0].lines, (std::vector<std::string>{"KTH Royal Institute of Technology", "MSc, Computer Science", "2012 - 2017"}));
  const auto& skills = *r.sections[4].skills;
  ASSERT_EQ(skills.size(), 2u);
  EXPECT_EQ(skills[1].skillId, "5678");  // trimmed
  EXPECT_EQ(skills[0].context, std::vector<std::string>{"Staff Engineer at Acme"});

  ASSERT_TRUE(r.photo);
  EXPECT_EQ(r.photo->from, "own_link");
  EXPECT_EQ(r.photo->px, 400);
  EXPECT_EQ(r.photo->expires, Date::fromUnix(1767225600));

  ProfileHealth expected;
  expected.byDomId = 6;
  expected.byEditLink = 5;
  expected.emptyDropped = 1;        // the courses card: no entries, no entry link
  expected.otherPeopleDropped = 1;  // the untyped card linking to another member
  expected.untyped = 1;
  expected.roles = 2;
  expected.schools = 1;
  expected.skills = 2;
  expected.logos = 2;
  expected.nodes = r.health.nodes;
  expected.readMs = r.health.readMs;
  EXPECT_EQ(r.health, expected);
  EXPECT_EQ(r.capturedAt, at);
  EXPECT_EQ(r.timeZone, "Europe/Berlin");
}

TEST(LinkedInProfile, DetailsPagesProveThemselvesByTheirEditForms) {
  struct Case {
    const char* fixture;
    View view;
    const char* proof;
  };
  const Case cases[] = {{"linkedin_own_experience.json", View::detailsExperience, "details_experience_edit"},
                        {"linkedin_own_skills.json", View::detailsSkills, "details_skills_edit"},
                        {"linkedin_own_education.json", View::detailsEducation, "details_education_edit"}};
  for (const auto& c : cases) {
    auto o = read(fixtureWindow(c.fixture));
    ASSERT_TRUE(o.read()) << c.fixture;
    EXPECT_EQ(o.read()->view, c.view);
    EXPECT_EQ(o.read()->proof, std::vector<std::string>{c.proof});
  }
  // A skills card on the experience details page: typed by its identifier,
  // outvoting the page address.
  auto o = read(fixtureWindow("linkedin_own_experience.json"));
  EXPECT_EQ(o.read()->sections[1].kind, "skills");
  EXPECT_EQ(o.read()->sections[1].typedBy, (std::vector<std::string>{"dom_id", "page_address"}));
  EXPECT_EQ(o.read()->health.typedDisagree, 1);
}

TEST(LinkedInProfile, PagesThatDoNotProveOwnershipYieldOnlyAStatus) {
  const ProfileStatus notOwn{ProfilePage::Site::linkedin, View::profile, false};
  // Another member's page, with the user's own intro link in the navigation.
  EXPECT_EQ(read(fixtureWindow("linkedin_other_profile.json")), ProfileOutcome::notOwn(notOwn));

  const AXNode topCard = card("Topcard", {el("AXHeading", {st("Sam")})});
  // The intro edit link outside the top card does not count.
  EXPECT_EQ(read(page(own + "/", {topCard, link(own + "/edit/intro/")})), ProfileOutcome::notOwn(notOwn));
  // Without any card identifier there is no top card, so no main page is own.
  EXPECT_EQ(read(page(own + "/", {el("AXGroup", {el("AXHeading", {st("Sam")}), link(own + "/edit/intro/")})})),
            ProfileOutcome::notOwn(notOwn));
  // Four segments are no details proof; five are.
  const std::string details = own + "/details/experience/";
  EXPECT_EQ(read(page(details, {link(own + "/details/experience/edit/forms/")})),
            ProfileOutcome::notOwn({ProfilePage::Site::linkedin, View::detailsExperience, false}));
  EXPECT_TRUE(read(page(details, {link(own + "/details/experience/edit/forms/position/new/")})).read());

  auto proofOf = LI::proof({{"edit", "intro"}, {"edit", "forms", "x"}, {"details", "skills", "edit", "forms", "1"}});
  EXPECT_EQ(proofOf, (std::vector<std::string>{"details_skills_edit", "edit_forms", "edit_intro"}));
}

TEST(LinkedInProfile, CardsKindsAndCounters) {
  EXPECT_TRUE(LI::cardKind(std::string(LI::cardPrefix) + "abcActivity").never);
  EXPECT_EQ(LI::cardKind(std::string(LI::cardPrefix) + "ActivityExperienceTopLevelSection").kind, "experience");
  EXPECT_EQ(LI::cardKind(std::string(LI::cardPrefix) + "x").kind, std::nullopt);
  EXPECT_EQ(LI::cardKind("").kind, std::nullopt);

  ProfileHealth h;
  auto readCard = [&](const AXNode& c, View view = View::profile) {
    LI::LinkMemo memo;  // one per tree: the memo knows nodes by address
    return LI::read(c, "sample-slug", view, h, memo);
  };
  // Never-read and refused cards change no counter.
  EXPECT_FALSE(readCard(card("RecommendationsTopLevel", {link(own + "/edit/forms/x/1/"), st("text")})));
  EXPECT_FALSE(readCard(card("About", {link(own + "/recent-activity/all/"), st("text")})));
  EXPECT_FALSE(readCard(el("AXGroup", {link("https://www.linkedin.com/analytics/views/"), st("42 views")})));
  EXPECT_EQ(h, ProfileHealth{});
  // An experience card with an entry link but no readable entry is dropped;
  // a certifications card in the same state stays with its text.
  EXPECT_FALSE(readCard(card("ExperienceTopLevelSection", {link(own + "/edit/forms/position/2345/"), st("text")})));
  EXPECT_EQ(h.emptyDropped, 1);
  auto cert = readCard(card("CertificationsTopLevel", {link(own + "/edit/forms/certification/77/"), st("AWS")}));
  ASSERT_TRUE(cert);
  EXPECT_EQ(cert->text, "AWS");
  EXPECT_FALSE(readCard(card("CertificationsTopLevel", {st("no entry link")})));
  EXPECT_EQ(h.emptyDropped, 2);

  // Cards by shape, under the main landmark, when no identifier names one.
  AXNode shaped = el("AXWebArea", {subroled(el("AXGroup", {el("AXGroup", {el("AXHeading", {st("About")}),
                                                                         el("AXGroup", {el("AXHeading", {st("inner")})})}),
                                                          withID(el("AXGroup", {el("AXHeading")}), "profileAside")}),
                                            "AXLandmarkMain")});
  LI::LinkMemo memo;
  auto found = LI::cards(shaped, "sample-slug", memo);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(LI::bodyText(*found[0]), "inner");  // only the first heading is left out
}

TEST(LinkedInProfile, Entries) {
  auto role = [](std::vector<AXNode> lines, std::vector<std::string> blocks) {
    std::vector<AXNode> kids{link(own + "/edit/forms/position/9/", std::move(lines))};
    for (auto& b : blocks) kids.push_back(classed(el("AXGroup", {st(b)}), {"_Paragraph_x"}));
    LI::LinkMemo memo;
    return LI::roles(el("AXGroup", std::move(kids)), "sample-slug", memo).at(0);
  };
  auto lines3 = [] { return std::vector<AXNode>{el("AXGroup", {st("T")}), el("AXGroup", {st("C")}), el("AXGroup", {st("D")})}; };
  EXPECT_EQ(role(lines3(), {"Stockholm, Sweden"}).location, "Stockholm, Sweden");
  EXPECT_EQ(role(lines3(), {std::string(61, 'x')}).description, std::string(61, 'x'));
  EXPECT_EQ(role(lines3(), {"two\nlines"}).description, "two\nlines");
  EXPECT_EQ(role(lines3(), {"ok"}).description, std::nullopt);
  auto four = lines3();
  four.push_back(el("AXGroup", {st("Oslo")}));
  auto withLocation = role(four, {"Remote", "A much longer paragraph about the work."});
  EXPECT_EQ(withLocation.location, "Oslo");
  EXPECT_EQ(withLocation.description, "A much longer paragraph about the work.");

  AXNode skillsCard = el("AXGroup", {withID(el("AXGroup", {st("C++")}), "com.linkedin.sdui.profile.skill(urn:li:x,1234)"),
                                     withID(el("AXGroup", {st("dup")}), "com.linkedin.sdui.profile.skill(urn:li:y,1234)"),
                                     withID(el("AXGroup"), "com.linkedin.sdui.profile.skill(urn:li:x1234)"),
                                     withID(el("AXGroup"), "com.linkedin.sdui.profile.skill(urn:li:x,1234")});
  auto skills = LI::skills(skillsCard);
  ASSERT_EQ(skills.size(), 1u);
  EXPECT_EQ(skills[0].skillId, "1234");

  auto topcardOf = [](const AXNode& card) {
    LI::LinkMemo memo;
    return LI::topcard(card, memo);
  };
  EXPECT_EQ(topcardOf(el("AXGroup", {el("AXHeading", {st("Sam")}), st("Engineer")})), (Topcard{"Sam", {}, {}}));
  EXPECT_EQ(topcardOf(el("AXGroup", {el("AXHeading", {st("Sam")}), st("Oslo"), link(own + "/overlay/contact-info/")})),
            (Topcard{"Sam", {}, "Oslo"}));
}

TEST(LinkedInProfile, ThePhotoIsTakenOnlyWithoutDoubt) {
  const std::string photoA = "https://media.licdn.com/dms/image/profile-displayphoto-shrink_400_400/a";
  const std::string photoB = "https://media.licdn.com/dms/image/profile-displayphoto-shrink_100_100/b";
  auto photoIn = [](std::vector<AXNode> kids) {
    LI::LinkMemo memo;
    return LI::photo(el("AXWebArea", std::move(kids)), "sample-slug", memo);
  };
  EXPECT_EQ(photoIn({link(own + "/", {image(photoA)}), link(own + "/", {image(photoA)})})->px, 400);
  EXPECT_FALSE(photoIn({link(own + "/", {image(photoA)}), link(own + "/", {image(photoB)})}));
  EXPECT_FALSE(photoIn({link("https://www.linkedin.com/in/other/", {image(photoA)})}));
  EXPECT_FALSE(photoIn({withID(el("AXGroup", {link(own + "/", {image(photoA)})}), "profileAside")}));
  EXPECT_EQ(photoIn({withID(el("AXGroup", {image(photoB)}), "msg-overlay")})->from, "signed_in_avatar");
  // A sibling of another member's link is judged by its own ancestors.
  EXPECT_EQ(photoIn({el("AXGroup", {link("https://www.linkedin.com/in/other/"), link(own + "/", {image(photoA)})})})->from,
            "own_link");
}

TEST(ProfileExtractorEntry, OnlyProfilePagesOfPublicWindows) {
  AXNode window = fixtureWindow("linkedin_own_profile.json");
  EXPECT_TRUE(ProfileExtractor::extract(window, at));
  AXNode incognito = window;
  incognito.title = "Sam Sample | LinkedIn - Google Chrome (Incognito)";
  EXPECT_FALSE(ProfileExtractor::extract(incognito, at));
  EXPECT_FALSE(ProfileExtractor::extract(fixtureWindow("chatgpt_grouped.json"), at));

  // A framed page inside the profile adds nothing, not even to the node count.
  AXNode framed = window;
  const size_t before = static_cast<size_t>(ProfileExtractor::extract(window, at)->read()->health.nodes);
  editAll(framed, [](AXNode& n) {
    if (n.subrole == "AXLandmarkMain") n.children.push_back(el("AXWebArea", {st("ad"), st("frame")}));
  });
  EXPECT_EQ(ProfileExtractor::extract(framed, at)->read()->health.nodes, static_cast<int64_t>(before));

  AXNode firstWithout = window;  // the first web area with an address wins
  firstWithout.children.insert(firstWithout.children.begin(), el("AXWebArea", {st("no address")}));
  EXPECT_TRUE(ProfileExtractor::extract(firstWithout, at));
}

}  // namespace
}  // namespace zel
