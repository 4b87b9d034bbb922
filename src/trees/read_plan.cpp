#include "trees/read_plan.h"

namespace zel {

std::optional<PlanStep> PagePlan::common(const AXNode& node) {
  if (node.role && *node.role == "AXWebArea") {
    if (seenPage_) return PlanStep::skip();  // only the window's first page is read
    seenPage_ = true;
  }
  if (!node.subrole) return std::nullopt;
  if (*node.subrole == "AXLandmarkBanner" || *node.subrole == "AXSectionFooter") return PlanStep::skip();
  return std::nullopt;
}

}  // namespace zel
