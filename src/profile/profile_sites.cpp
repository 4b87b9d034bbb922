#include "profile/profile_sites.h"

#include "base/hosts.h"
#include "profile/linkedin/linkedin_page.h"
#include "profile/linkedin/linkedin_profile_extractor.h"
#include "profile/linkedin/linkedin_read_plan.h"
#include "profile/linkedin/linkedin_scrubbing.h"
#include "profile/x/x_page.h"
#include "profile/x/x_profile_extractor.h"
#include "profile/x/x_read_plan.h"
#include "profile/x/x_scrubbing.h"

namespace zel::profile::ProfileSites {

const std::vector<ProfileSite>& all() {
  static const std::vector<ProfileSite> rows{
      {ProfilePage::Site::linkedin, "linkedin", hosts::linkedInWeb, "slug", &LinkedInPage::normalizedSlug,
       &LinkedInPage::pageOfPath,
       [](const ProfilePage& page) -> std::unique_ptr<trees::ReadPlan> {
         return std::make_unique<LinkedInReadPlan>(page.handle);
       },
       &LinkedInProfileExtractor::extract, LinkedInScrubbing::rules()},
      {ProfilePage::Site::x, "x", hosts::x, "handle", &XPage::normalizedHandle, &XPage::pageOfPath,
       [](const ProfilePage&) -> std::unique_ptr<trees::ReadPlan> { return std::make_unique<XReadPlan>(); },
       &XProfileExtractor::extract, XScrubbing::rules()},
  };
  return rows;
}

const ProfileSite& of(ProfilePage::Site site) {
  for (const ProfileSite& row : all())
    if (row.site == site) return row;
  return all().front();  // every site has its row
}

const ProfileSite* named(std::string_view name) {
  for (const ProfileSite& row : all())
    if (row.name == name) return &row;
  return nullptr;
}

const ProfileSite* ofHost(std::string_view host) {
  for (const ProfileSite& row : all())
    if (row.host == host) return &row;
  return nullptr;
}

const ProfileSite* ofAnyHost(std::string_view host) {
  for (const ProfileSite& row : all())
    if (row.host == host || row.scrubbing.imageHost == host) return &row;
  return nullptr;
}

}  // namespace zel::profile::ProfileSites
