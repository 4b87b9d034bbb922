#pragma once
// What a LinkedIn profile page is made of, as its markup names it: the card
// identifiers and their endings, the side panels and the messaging overlay
// that are not part of the profile, the path word of profile photos. The
// read plan, the extractor and the scrubber all recognise the page by these.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_page.h"

namespace zel::profile::LinkedInPage {

// Every card's DOM identifier starts with this; what follows names the
// member, then the card's ending.
inline constexpr std::string_view cardPrefix = "com.linkedin.sdui.profile.card.ref";
// A skill's DOM identifier: this, the member, a comma, the skill's id, ")".
inline constexpr std::string_view skillPrefix = "com.linkedin.sdui.profile.skill(";
inline constexpr std::string_view messagingOverlay = "msg-overlay";
// The ending of the activity card, which is only searched for the photo.
inline constexpr std::string_view activityEnding = "Activity";
// The path word of profile photo addresses.
inline constexpr std::string_view photoPathWord = "profile-displayphoto";

struct CardEnding {
  std::string_view ending;
  std::string_view kind;  // the section it holds; empty for cards never read
};
// Cards never read come first, then the readable ones; no ending ends another.
const std::vector<CardEnding>& cardEndings();

// Side panels beside the profile (people also viewed, and the like).
bool isAside(std::string_view domID);

// A member slug: percent-decoded, lower-cased, 3 to 100 characters, not
// "me", without "/" or white space.
std::optional<std::string> normalizedSlug(std::string_view text);

// Whether a link is on LinkedIn's web host.
bool isLinkedIn(const LinkPath& link);
// The lower-cased member slug of a LinkedIn profile link, whoever's it is.
std::optional<std::string> memberOf(const LinkPath& link);
// The segments after "in/<slug>" when the link points into that member's
// profile; `slug` is already normalised.
std::optional<std::vector<std::string>> under(const LinkPath& link, std::string_view slug);

// The profile page at an address's path on LinkedIn's host (its segments,
// decoded): "in/<slug>" or one of its "details" pages; nullopt for any other.
std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments);

}  // namespace zel::profile::LinkedInPage
