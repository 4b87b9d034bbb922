#pragma once
// What an X profile page's address is: a single path segment, the handle.

#include <optional>
#include <string>
#include <vector>

#include "profile/profile_page.h"

namespace zel::XPage {

// The profile page at an address's path on X's host (its segments,
// decoded); nullopt for any other.
std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments);

}  // namespace zel::XPage
