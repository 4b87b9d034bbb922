#include <gtest/gtest.h>

#include <set>

#include "profile/linkedin/linkedin_profile_extractor.h"
#include "profile/profile_extractor.h"
#include "scrub/scrubber.h"
#include "support/trees.h"

namespace zel {
using namespace zel::trees;
using namespace zel::profile;
using namespace zel::scrub;
namespace {

using namespace test;

AXNode page(const std::string& url, std::vector<AXNode> kids) {
  AXNode p = el("AXWebArea", std::move(kids));
  p.url = url;
  return el("AXWindow", {p});
}
const AXNode& first(const AXNode& root, const char* role, size_t skip = 0) {
  for (const AXNode* n : root.preorder())
    if (hasRole(*n, role) && skip-- == 0) return *n;
  throw std::runtime_error("missing");
}

TEST(Scrubber, FreeText) {
  EXPECT_EQ(Scrubber::mask("Hello, World 42!"), "Xxxxx, Xxxxx 00!");
  EXPECT_EQ(Scrubber::mask("\u00c9t\u00e9 \u0663 \u2014 $5 =x \U0001F600 cafe\u0301"), "Xxx 0 \u2014 x0 xx x xxxx");
  EXPECT_EQ(Scrubber::mask(""), "");
}

TEST(Scrubber, ProfileAddressesKeepTheirShape) {
  const std::string own = "https://www.linkedin.com/in/Sample-Slug";
  AXNode tree = page(own + "/", {link(own + "/details/skills/"), link("https://www.linkedin.com/in/sample-slug/edit/forms/position/2345678/"),
                                 link("https://media.licdn.com/dms/image/v2/C4D/profile-displayphoto-shrink_400_400/0/1?e=1767225600&v=beta"),
                                 link("https://media.licdn.com/dms/image/v2/C4D/company-logo_100_100/0/1?v=beta"),
                                 link("https://www.linkedin.com/company/1234/"), link("https://example.com/Secret/Path?q=1")});
  AXNode out = *scrubbed(tree);
  EXPECT_EQ(first(out, "AXLink").url, "https://www.linkedin.com/in/slug-1/details/skills/");
  const std::string position = *first(out, "AXLink", 1).url;
  EXPECT_TRUE(position.starts_with("https://www.linkedin.com/in/slug-1/edit/forms/position/")) << position;
  EXPECT_EQ(position.size(), std::string("https://www.linkedin.com/in/slug-1/edit/forms/position/2345678/").size());
  EXPECT_EQ(position.find("2345678"), std::string::npos);
  const std::string photo = *first(out, "AXLink", 2).url;
  EXPECT_TRUE(photo.starts_with("https://media.licdn.com/dms/image/v2/")) << photo;
  EXPECT_NE(photo.find("/profile-displayphoto-shrink_400_400/0/"), std::string::npos) << photo;
  EXPECT_TRUE(photo.ends_with("?e=1796169600")) << photo;
  EXPECT_EQ(first(out, "AXLink", 3).url->find('?'), std::string::npos);
  EXPECT_NE(first(out, "AXLink", 3).url->find("/company-logo_100_100/"), std::string::npos);  // words_digits are kept
  EXPECT_TRUE(first(out, "AXLink", 4).url->starts_with("https://www.linkedin.com/company/"));
  EXPECT_EQ(first(out, "AXLink", 5).url, Scrubber::mask("https://example.com/Secret/Path?q=1"));
  EXPECT_EQ(first(out, "AXWebArea").url, "https://www.linkedin.com/in/slug-1/");
}

TEST(Scrubber, MembersAreTiedBetweenAddressesAndIdentifiers) {
  const std::string card = std::string(LinkedInProfileExtractor::cardPrefix);
  AXNode a = page("https://www.linkedin.com/in/Sample-Slug/",
                  {classed(el("AXGroup"), {"pv-top-card"}),
                   [&] {
                     AXNode n = el("AXGroup");
                     n.domID = card + "ACoAAB12ExperienceTopLevelSection";
                     return n;
                   }(),
                   [&] {
                     AXNode n = el("AXGroup");
                     n.domID = "section-sample-slug-Sample-Slug-98765-12";
                     return n;
                   }(),
                   link("https://www.linkedin.com/in/sample-slug/overlay/urn:li:fsd_profilePosition:(ACoAAB12,2345678)/skill-associations-details/")});
  AXNode b = page("https://www.linkedin.com/in/other-person/", {link("https://www.linkedin.com/in/sample-slug/")});
  auto out = *scrubbed(std::vector<AXNode>{a, b});
  const auto& groups = out[0].children[0].children;
  EXPECT_EQ(groups[0].domClasses, std::vector<std::string>{"pv-top-card"});  // classes kept
  EXPECT_EQ(groups[1].domID, card + "member-1ExperienceTopLevelSection");
  const std::string tied = *groups[2].domID;
  EXPECT_TRUE(tied.starts_with("section-slug-1-slug-1-")) << tied;
  EXPECT_EQ(tied.size(), std::string("section-slug-1-slug-1-98765-12").size());
  EXPECT_EQ(tied.find("98765"), std::string::npos);
  EXPECT_TRUE(tied.ends_with("-12"));  // short digit runs stay
  EXPECT_EQ(first(out[1], "AXLink").url, "https://www.linkedin.com/in/slug-1/");  // same name in the other tree
  EXPECT_EQ(out[1].children[0].url, "https://www.linkedin.com/in/slug-2/");
}

TEST(Scrubber, XHandlesAndOtherPages) {
  AXNode x = page("https://x.com/Sample_Handle", {link("https://x.com/sample_handle/photo"), link("https://x.com/settings/profile"),
                                                  link("https://pbs.twimg.com/profile_images/17/abc_400x400.jpg")});
  AXNode out = *scrubbed(x);
  EXPECT_EQ(out.children[0].url, "https://x.com/handle_1");
  EXPECT_EQ(first(out, "AXLink").url, "https://x.com/handle_1/photo");
  EXPECT_EQ(first(out, "AXLink", 1).url, "https://x.com/settings/profile");
  const std::string image = *first(out, "AXLink", 2).url;
  EXPECT_TRUE(image.starts_with("https://pbs.twimg.com/profile_images/")) << image;
  EXPECT_TRUE(image.ends_with("_400x400.jpg")) << image;
  EXPECT_EQ(image.find("abc_"), std::string::npos);

  AXNode chat = page("https://chatgpt.com/c/abc-123?x=1", {link("https://chatgpt.com/c/other")});
  AXNode chatOut = *scrubbed(chat);
  EXPECT_EQ(chatOut.children[0].url, "https://chatgpt.com/");
  EXPECT_EQ(first(chatOut, "AXLink").url, "xxxxx://xxxxxxx.xxx/x/xxxxx");
}

TEST(Scrubber, MasksAreStableUniqueAndShaped) {
  AXNode empty = el("AXGroup");
  Scrubber s({&empty});
  ASSERT_TRUE(s.ready());
  EXPECT_EQ(s.opaqueMask("abc-def.g_h"), s.opaqueMask("abc-def.g_h"));
  const std::string m = s.opaqueMask("abc-def.g_h");
  EXPECT_EQ(m.size(), 11u);
  EXPECT_EQ(m[3], '-');
  EXPECT_EQ(m[7], '.');
  EXPECT_NE(s.opaqueMask("abc-def.g_i"), m);
  EXPECT_EQ(s.segment("12345").size(), 5u);
  EXPECT_NE(s.segment("12345"), "12345");
  EXPECT_EQ(s.segment("0"), "0");
  EXPECT_EQ(s.segment("skill_12"), "skill_12");
  EXPECT_EQ(s.segment("home"), "home");  // an X site page
  // Digit masks: never the number itself, no leading zero past one digit,
  // unique while masks of that length remain.
  std::set<std::string> seen;
  for (int i = 100; i < 300; ++i) {
    const std::string d = s.digitMask(std::to_string(i));
    EXPECT_NE(d, std::to_string(i));
    EXPECT_NE(d[0], '0');
    EXPECT_TRUE(seen.insert(d).second) << d;
  }
  // The search ends even when masks of a length run out: 90 two-digit
  // numbers for 90 two-digit masks, and more one-digit texts than digits.
  for (int i = 10; i < 100; ++i) EXPECT_EQ(s.digitMask(std::to_string(i)).size(), 2u);
  for (const char* one : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "\u0661", "\u0662", "\u0663"})
    EXPECT_EQ(s.digitMask(one).size(), 1u);
}

TEST(Scrubber, NothingIdentifyingSurvivesAndTheExtractorStillReadsThePage) {
  AXNode window = fixtureWindow("linkedin_own_profile.json");
  const std::string before = window.json();
  const std::string after = scrubbed(window)->json();
  // (Only texts long enough that a random mask cannot contain them by chance.)
  for (const char* secret : {"Sam", "Sample", "sample-slug", "2345678", "3456789", "Acme", "KTH", "Stockholm",
                             "1700000000", "1767225600", "other-person"}) {
    EXPECT_NE(before.find(secret), std::string::npos) << secret;
    EXPECT_EQ(after.find(secret), std::string::npos) << secret;
  }
  auto original = ProfileExtractor::extract(window, Date{0});
  auto clean = ProfileExtractor::extract(*scrubbed(window), Date{0});
  ASSERT_TRUE(clean && clean->read());
  EXPECT_EQ(clean->read()->proof, original->read()->proof);
  EXPECT_EQ(clean->read()->sections.size(), original->read()->sections.size());
  EXPECT_EQ(clean->read()->health.roles, original->read()->health.roles);

  AXNode deep = chain(60000);
  EXPECT_EQ(scrubbed(deep)->preorder().size(), 60000u);
}

}  // namespace
}  // namespace zel
