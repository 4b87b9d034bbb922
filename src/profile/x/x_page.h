#pragma once
// What an X profile page's address is: a single path segment, the handle,
// and which first path words are the site's own pages, never handles.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_page.h"

namespace zel::profile::XPage {

// A handle: lower-cased, 1 to 15 of a-z, 0-9 and "_", not a site page.
std::optional<std::string> normalizedHandle(std::string_view text);
// The first path words of X's host that are site pages, never handles.
const std::vector<std::string_view>& reserved();

// The profile page at an address's path on X's host (its segments,
// decoded); nullopt for any other.
std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments);

}  // namespace zel::profile::XPage
