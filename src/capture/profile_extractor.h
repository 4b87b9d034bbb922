#pragma once
// The one entry through which a browser window reaches profile capture: the
// window's page, if it is a profile page, goes to its site's extractor.

#include <optional>

#include "capture/ax_node.h"
#include "capture/capture_clock.h"
#include "capture/profile_read.h"

namespace zel::ProfileExtractor {

std::optional<ProfileOutcome> extract(const AXNode& window, Date now,
                                      const CaptureClock& clock = CaptureClock::system());

}  // namespace zel::ProfileExtractor
