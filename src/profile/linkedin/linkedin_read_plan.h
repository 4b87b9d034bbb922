#pragma once
// How a LinkedIn profile page is walked: its cards in full, the side panels
// and cards never read not at all, the messaging overlay and the activity
// card only for addresses, until the owner's photo is found.

#include <string>

#include "trees/read_plan.h"

namespace zel::profile {

class LinkedInReadPlan final : public trees::PagePlan {
 public:
  // `slug`: the page owner's, normalised.
  explicit LinkedInReadPlan(std::string slug) : slug_(std::move(slug)) {}
  trees::PlanStep step(const trees::AXNode& node) override;
  bool ends(const trees::AXNode& node) const override;
  bool opensOwnLink(const trees::AXNode& node) const override;

 private:
  std::string slug_;
};

}  // namespace zel::profile
