#include <gtest/gtest.h>

#include "profile/profile_page.h"
#include "profile/linkedin/linkedin_page.h"
#include "profile/x/x_page.h"
#include "profile/profile_sites.h"

namespace zel {
using namespace zel::trees;
using namespace zel::profile;
namespace {

using Site = ProfilePage::Site;
using View = ProfilePage::View;

TEST(ProfilePageParse, AddressesOfProfilePages) {
  const std::string s3 = "abc", s100(100, 'a'), s101(101, 'a');
  struct Case {
    std::string url;
    std::optional<ProfilePage> page;
  };
  const Case cases[] = {
      {"https://x.com/Sample_Handle/?s=20#top", ProfilePage{Site::x, "sample_handle", View::profile}},
      {"https://x.com/sample", ProfilePage{Site::x, "sample", View::profile}},
      {"https://x.com/sample/status", std::nullopt},
      {"https://x.com/home", std::nullopt},
      {"https://x.com/i", std::nullopt},
      {"https://x.com/settings", std::nullopt},
      {"https://x.com/abcdefghijklmnop", std::nullopt},  // 16 characters
      {"https://x.com/abcdefghijklmno", ProfilePage{Site::x, "abcdefghijklmno", View::profile}},
      {"https://x.com/a-b", std::nullopt},
      {"https://x.com/a.b", std::nullopt},
      {"https://x.com/\u212Aelvin", ProfilePage{Site::x, "kelvin", View::profile}},  // Kelvin sign lower-cases to k
      {"https://x.com/", std::nullopt},
      {"https://x.com", std::nullopt},
      {"https://www.linkedin.com/in/Sample-Slug/details/experience/",
       ProfilePage{Site::linkedin, "sample-slug", View::detailsExperience}},
      {"https://www.linkedin.com/in/sample-slug/details/skills", ProfilePage{Site::linkedin, "sample-slug", View::detailsSkills}},
      {"https://www.linkedin.com/in/sample-slug/details/education?x#y",
       ProfilePage{Site::linkedin, "sample-slug", View::detailsEducation}},
      {"https://www.linkedin.com/in/sample-slug/", ProfilePage{Site::linkedin, "sample-slug", View::profile}},
      {"https://www.linkedin.com/in/sample-slug/details/experience/123", std::nullopt},
      {"https://www.linkedin.com/in/sample-slug/details", std::nullopt},
      {"https://www.linkedin.com/in/sample-slug/recent-activity/", std::nullopt},
      {"https://www.linkedin.com/in/me/", std::nullopt},
      {"https://www.linkedin.com/in/ab/", std::nullopt},
      {"https://www.linkedin.com/in/" + s3, ProfilePage{Site::linkedin, s3, View::profile}},
      {"https://www.linkedin.com/in/" + s100, ProfilePage{Site::linkedin, s100, View::profile}},
      {"https://www.linkedin.com/in/" + s101, std::nullopt},
      {"https://www.linkedin.com/in/Caf%C3%A9-Fan/", ProfilePage{Site::linkedin, "caf\u00e9-fan", View::profile}},
      {"https://www.linkedin.com/in/a%20b%20c/", std::nullopt},
      {"https://www.linkedin.com/in/a%2Fbc/", std::nullopt},
      {"https://www.linkedin.com/in/100%25-real/", ProfilePage{Site::linkedin, "100%-real", View::profile}},
      {"https://www.linkedin.com/in/bad%zzescape/", ProfilePage{Site::linkedin, "bad%zzescape", View::profile}},
      {"https://www.linkedin.com/in/sample-slug//", std::nullopt},
      {"https://www.linkedin.com//in/sample-slug", std::nullopt},
      {"https://WWW.linkedin.com/in/sample-slug", std::nullopt},
      {"http://www.linkedin.com/in/sample-slug", std::nullopt},
      {"https://de.linkedin.com/in/sample-slug", std::nullopt},
      {"https://www.linkedin.com/company/sample", std::nullopt},
      {"https://www.linkedin.com/in/\xff\xfe\xfd/", ProfilePage{Site::linkedin, "\ufffd\ufffd\ufffd", View::profile}},
  };
  for (const auto& c : cases) EXPECT_EQ(ProfilePage::parse(c.url), c.page) << c.url;
}

TEST(ProfilePageParse, KeysAndRawValues) {
  EXPECT_EQ((ProfilePage{Site::linkedin, "sample-slug", View::detailsSkills}.key()), "linkedin:sample-slug:details/skills");
  EXPECT_EQ((ProfilePage{Site::x, "sample_handle", View::profile}.key()), "x:sample_handle:profile");
  for (View v : allViews()) EXPECT_EQ(viewNamed(rawValue(v)), v);
  EXPECT_EQ(siteNamed("x"), Site::x);
  EXPECT_EQ(siteNamed("X"), std::nullopt);
  EXPECT_EQ(XPage::reserved().size(), 18u);
}

TEST(LinkPath, BreaksLinksIntoHostSegmentsAndQuery) {
  auto link = LinkPath::parse("https://www.linkedin.com/in/Sample-Slug/edit/forms/position/new/?x=1#frag");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->host, "www.linkedin.com");
  EXPECT_EQ(link->segments, (std::vector<std::string>{"in", "Sample-Slug", "edit", "forms", "position", "new"}));
  EXPECT_EQ(link->query, "x=1");
  EXPECT_EQ(LinkedInPage::memberOf(*link), "sample-slug");
  EXPECT_EQ(LinkedInPage::under(*link, "sample-slug"), (std::vector<std::string>{"edit", "forms", "position", "new"}));
  EXPECT_EQ(LinkedInPage::under(*link, "other-slug"), std::nullopt);

  auto root = LinkPath::parse("https://www.linkedin.com/in/sample-slug/");
  ASSERT_TRUE(root);
  EXPECT_EQ(LinkedInPage::under(*root, "sample-slug"), std::vector<std::string>{});  // present, and empty

  auto decoded = LinkPath::parse("https://www.linkedin.com//in/Caf%C3%A9/%FF/?q=a%20b");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->segments, (std::vector<std::string>{"in", "Caf\u00e9", "%FF"}));
  EXPECT_EQ(decoded->query, "q=a%20b");
  EXPECT_EQ(LinkedInPage::memberOf(*decoded), "caf\u00e9");

  auto me = LinkPath::parse("https://www.linkedin.com/in/me");
  EXPECT_EQ(LinkedInPage::memberOf(*me), "me");
  EXPECT_FALSE(LinkedInPage::isLinkedIn(*LinkPath::parse("https://de.linkedin.com/in/someone")));
  EXPECT_EQ(LinkPath::parse("https://Www.LinkedIn.com/in/someone")->host, "Www.LinkedIn.com");
  EXPECT_EQ(LinkPath::parse("https://x.com")->segments, std::vector<std::string>{});

  for (const char* bad : {"/in/sample", "http://www.linkedin.com/in/x", "not a url", "https://", "https:///in/x",
                          "https://exa mple.com/", "HTTPS://x.com/a"})
    EXPECT_EQ(LinkPath::parse(bad), std::nullopt) << bad;
}

// Each site's row is the one place its name and host are known: the page
// parser, the control lines and the command lines all find the site by it.
TEST(ProfileSites, EachSiteHasOneRowFoundByNameAndHost) {
  for (Site site : {Site::linkedin, Site::x}) {
    const ProfileSite& row = ProfileSites::of(site);
    EXPECT_EQ(row.site, site);
    EXPECT_EQ(siteNamed(row.name), site);
    EXPECT_EQ(rawValue(site), row.name);
    EXPECT_EQ(ProfilePage::siteOfHost(row.host), site);
    EXPECT_TRUE(row.readPlan(ProfilePage{site, "sample", View::profile}));
  }
  EXPECT_EQ(ProfileSites::named("facebook"), nullptr);
  EXPECT_EQ(ProfileSites::ofHost("linkedin.com"), nullptr);
}

}  // namespace
}  // namespace zel
