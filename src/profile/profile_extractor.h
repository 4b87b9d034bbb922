#pragma once
// The one entry through which a browser window reaches profile capture: the
// window's page, if it is a profile page, goes to its site's extractor.

#include <optional>

#include "trees/ax_node.h"
#include "base/capture_clock.h"
#include "profile/profile_read.h"

namespace zel::profile::ProfileExtractor {

std::optional<ProfileOutcome> extract(const trees::AXNode& window, Date now,
                                      const CaptureClock& clock = CaptureClock::system());

}  // namespace zel::profile::ProfileExtractor
