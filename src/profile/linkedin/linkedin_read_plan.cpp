#include "profile/linkedin/linkedin_read_plan.h"

#include "base/ax_vocabulary.h"
#include "profile/linkedin/linkedin_page.h"
#include "profile/profile_page.h"

namespace zel::profile {

trees::PlanStep LinkedInReadPlan::step(const trees::AXNode& node) {
  if (auto s = common(node)) return *s;
  if (!node.domID) return trees::PlanStep::descend();
  const std::string_view id = *node.domID;
  if (LinkedInPage::isAside(id)) return trees::PlanStep::skip();
  if (id == LinkedInPage::messagingOverlay) return trees::PlanStep::addressesOnly(false);
  if (!id.starts_with(LinkedInPage::cardPrefix)) return trees::PlanStep::descend();
  const std::string_view rest = id.substr(LinkedInPage::cardPrefix.size());
  if (rest.ends_with(LinkedInPage::activityEnding)) return trees::PlanStep::addressesOnly(true);
  for (const auto& card : LinkedInPage::cardEndings())
    if (card.kind.empty() && rest.ends_with(card.ending)) return trees::PlanStep::skip();
  return trees::PlanStep::descend();
}

bool LinkedInReadPlan::ends(const trees::AXNode& node) const {
  // A profile photo: "/profile-displayphoto" somewhere in its address.
  if (!node.role || *node.role != AX::Image || !node.url) return false;
  static const std::string word = "/" + std::string(LinkedInPage::photoPathWord);
  return node.url->find(word) != std::string::npos;
}

bool LinkedInReadPlan::opensOwnLink(const trees::AXNode& node) const {
  if (!node.role || *node.role != AX::Link || !node.url) return false;
  const auto link = LinkPath::parse(*node.url);
  if (!link) return false;
  const auto member = LinkedInPage::memberOf(*link);
  return member && *member == slug_ && link->segments.size() == 2;
}

}  // namespace zel::profile
