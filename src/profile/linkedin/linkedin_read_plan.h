#pragma once
// How a LinkedIn profile page is walked: its cards in full, the side panels
// and cards never read not at all, the messaging overlay and the activity
// card only for addresses, until the owner's photo is found.

#include <string>

#include "trees/read_plan.h"

namespace zel {

class LinkedInReadPlan final : public PagePlan {
 public:
  // `slug`: the page owner's, normalised.
  explicit LinkedInReadPlan(std::string slug) : slug_(std::move(slug)) {}
  PlanStep step(const AXNode& node) override;
  bool ends(const AXNode& node) const override;
  bool opensOwnLink(const AXNode& node) const override;

 private:
  std::string slug_;
};

}  // namespace zel
