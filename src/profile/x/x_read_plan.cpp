#include "profile/x/x_read_plan.h"

#include "base/ax_vocabulary.h"
#include "base/hosts.h"
#include "profile/profile_page.h"
#include "profile/x/x_page.h"

namespace zel::profile {

trees::PlanStep XReadPlan::step(const trees::AXNode& node) {
  if (finished_) return trees::PlanStep::skip();
  if (auto s = common(node)) return *s;
  if (node.role && *node.role == AX::Link && node.url) {
    const auto link = LinkPath::parse(*node.url);
    if (link && link->host == hosts::x && link->segments.size() == 2 &&
        XPage::normalizedHandle(link->segments[0]) &&
        (link->segments[1] == "following" || link->segments[1] == "followers" ||
         link->segments[1] == "verified_followers")) {
      // The follow counts end the profile header: nothing after them is read.
      finished_ = true;
      return trees::PlanStep::skip();
    }
  }
  return trees::PlanStep::descend();
}

}  // namespace zel::profile
