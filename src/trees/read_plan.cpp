#include "trees/read_plan.h"

#include "base/ax_vocabulary.h"

namespace zel::trees {

std::optional<PlanStep> PagePlan::common(const AXNode& node) {
  if (node.role && *node.role == AX::WebArea) {
    if (seenPage_) return PlanStep::skip();  // only the window's first page is read
    seenPage_ = true;
  }
  if (!node.subrole) return std::nullopt;
  if (*node.subrole == AX::LandmarkBanner || *node.subrole == AX::SectionFooter) return PlanStep::skip();
  return std::nullopt;
}

}  // namespace zel::trees
