#pragma once
// The read plan for a page address: LinkedIn or X profile pages; none for
// anything else.

#include <memory>
#include <string_view>

#include "trees/read_plan.h"

namespace zel::profile {

std::unique_ptr<trees::ReadPlan> profileReadPlan(std::string_view url);

}  // namespace zel::profile
