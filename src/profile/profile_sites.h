#pragma once
// The profile sites the agent reads, one row each: the site's name (its raw
// value, its word in --profiles and in control lines), its web host, the
// key of the handle in an "arm" control line, how a handle the user writes
// is normalised, which paths are its profile pages, its read plan, its
// extractor, and what the scrubber keeps and names on it.
// What is site by site is looked up here, not chosen by a branch.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/capture_clock.h"
#include "base/date.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"
#include "profile/profile_scrubbing.h"
#include "trees/ax_node.h"
#include "trees/read_plan.h"

namespace zel::profile {

struct ProfileSite {
  ProfilePage::Site site;
  std::string_view name;
  std::string_view host;
  // The member of a control line's "arm" entry naming a handle: "slug", "handle".
  std::string_view armHandleKey;
  std::optional<std::string> (*normalizedHandle)(std::string_view text);
  // The profile page at an address's path on its host (segments decoded).
  std::optional<ProfilePage> (*pageOfPath)(const std::vector<std::string>& segments);
  std::unique_ptr<trees::ReadPlan> (*readPlan)(const ProfilePage& page);
  ProfileOutcome (*extract)(const trees::AXNode& page, const ProfilePage& at, Date now, const CaptureClock& clock);
  ProfileScrubbing scrubbing;
};

namespace ProfileSites {

// LinkedIn, then X.
const std::vector<ProfileSite>& all();
const ProfileSite& of(ProfilePage::Site site);
// The row named `name` ("linkedin", "x"); null for another word.
const ProfileSite* named(std::string_view name);
// The row whose pages are on `host`; null for another host.
const ProfileSite* ofHost(std::string_view host);
// The row whose pages or images are on `host`; null for another host.
const ProfileSite* ofAnyHost(std::string_view host);

}  // namespace ProfileSites

}  // namespace zel::profile
