#include "profile/profile_read_plan.h"

#include "profile/linkedin/linkedin_read_plan.h"
#include "profile/profile_page.h"
#include "profile/x/x_read_plan.h"

namespace zel {

std::unique_ptr<ReadPlan> profileReadPlan(std::string_view url) {
  const auto page = ProfilePage::parse(url);
  if (!page) return nullptr;
  if (page->site == ProfilePage::Site::x) return std::make_unique<XReadPlan>();
  return std::make_unique<LinkedInReadPlan>(page->handle);
}

}  // namespace zel
