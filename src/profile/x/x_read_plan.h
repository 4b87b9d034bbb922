#pragma once
// How an X profile page is walked: its header, up to the follow counts that
// end it; nothing after them.

#include "trees/read_plan.h"

namespace zel::profile {

class XReadPlan final : public trees::PagePlan {
 public:
  trees::PlanStep step(const trees::AXNode& node) override;
  bool finished() const override { return finished_; }

 private:
  bool finished_ = false;
};

}  // namespace zel::profile
