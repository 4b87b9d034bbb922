#pragma once
// Reads the header of the user's own X profile page (name, bio, detail items,
// photo), once the header proves the page is the user's own by its settings
// and photo links; any other page yields only a status.

#include <optional>
#include <vector>

#include "trees/ax_node.h"
#include "base/capture_clock.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"

namespace zel::profile::XProfileExtractor {

ProfileOutcome extract(const trees::AXNode& page, const ProfilePage& at, Date now,
                       const CaptureClock& clock = CaptureClock::system());

// For each node of a pre-order list, the position of its parent in the list.
std::vector<std::optional<size_t>> parentIndex(const std::vector<const trees::AXNode*>& nodes);

}  // namespace zel::profile::XProfileExtractor
