#pragma once
// Page keys ("site:handle:view") by site: what the profile schedule and gate
// forget when the host asks for a site afresh.

#include <string>

#include "profile/profile_page.h"

namespace zel::profile {

template <class Map>
void eraseSite(Map& map, ProfilePage::Site site) {
  const std::string prefix = std::string(rawValue(site)) + ":";
  for (auto it = map.begin(); it != map.end();) {
    if (it->first.starts_with(prefix)) it = map.erase(it);
    else ++it;
  }
}

}  // namespace zel::profile
