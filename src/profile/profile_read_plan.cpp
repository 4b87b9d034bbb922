#include "profile/profile_read_plan.h"

#include "profile/profile_page.h"
#include "profile/profile_sites.h"

namespace zel::profile {

std::unique_ptr<trees::ReadPlan> profileReadPlan(std::string_view url) {
  const auto page = ProfilePage::parse(url);
  if (!page) return nullptr;
  return ProfileSites::of(page->site).readPlan(*page);
}

}  // namespace zel::profile
