#pragma once
// What the scrubber keeps and names on X: the words of its profile and image
// addresses and its own pages, and the handle a link's first segment names.

#include "profile/profile_scrubbing.h"

namespace zel::profile::XScrubbing {

ProfileScrubbing rules();

}  // namespace zel::profile::XScrubbing
