#pragma once
// What the scrubber keeps and names on LinkedIn: the words of its profile,
// settings and image addresses, members named by the slug after "in", by card
// and skill identifiers and inside URNs of path segments.

#include "profile/profile_scrubbing.h"

namespace zel::profile::LinkedInScrubbing {

ProfileScrubbing rules();

}  // namespace zel::profile::LinkedInScrubbing
