#include "profile/linkedin/linkedin_scrubbing.h"

#include "base/hosts.h"
#include "base/unicode_text.h"
#include "profile/linkedin/linkedin_page.h"

namespace zel::profile::LinkedInScrubbing {

namespace {

const std::vector<std::string_view>& keptWords() {
  static const std::vector<std::string_view> words{
      "in", "company", "school", "edit", "forms", "position", "education", "summary", "intro", "causes", "details",
      "experience", "skills", "languages", "recommendations", "add-connected-account", "secondary-language", "overlay",
      "contact-info", "skill-associations-details", "skill-insights", "endorsers", "reorder", "new", "photo",
      "settings", "profile", "about", "analytics", "opportunities", "services", "page", "dashboard", "profile-views",
      "search-appearances", "creator", "content", "mynetwork", "network-manager", "people-follow", "invite-connect",
      "connections", "li", "tscp", "sct", "dms", "image", "v2", "0", "public-profile", "recent-activity", "all",
      "feed", "jobs", "notifications", "messaging", "learning", "help", "linkedin", "answer", "legal",
      "accessibility", "preload", "tscp-serving", "dtag", "ads", "start", "ad"};
  return words;
}

std::optional<std::string_view> personOfLink(const LinkPath& link, const ProfileScrubbing::Words&) {
  if (!LinkedInPage::memberOf(link)) return std::nullopt;
  return link.segments[1];
}

bool namesPerson(const std::vector<std::string>& segments, size_t i) { return i > 0 && segments[i - 1] == "in"; }

std::optional<std::string_view> memberOfID(std::string_view id) {
  if (id.starts_with(LinkedInPage::skillPrefix)) {
    const std::string_view rest = id.substr(LinkedInPage::skillPrefix.size());
    const size_t comma = rest.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    return trimmedView(rest.substr(0, comma));
  }
  if (!id.starts_with(LinkedInPage::cardPrefix)) return std::nullopt;
  // What stands before a card's ending names a member.
  const std::string_view rest = id.substr(LinkedInPage::cardPrefix.size());
  for (const auto& card : LinkedInPage::cardEndings())
    if (rest.ends_with(card.ending)) return rest.substr(0, rest.size() - card.ending.size());
  return std::nullopt;
}

// A URN in a path names a member first: "...(<member>,<id>)".
std::optional<std::string_view> memberOfSegment(std::string_view segment) {
  const size_t open = segment.find('('), comma = segment.find(',');
  if (open == std::string_view::npos || comma == std::string_view::npos || open >= comma) return std::nullopt;
  return trimmedView(segment.substr(open + 1, comma - open - 1));
}

}  // namespace

ProfileScrubbing rules() {
  return {hosts::linkedInImages, keptWords, ProfileScrubbing::Person::slug, personOfLink, namesPerson, true, "e", true,
          memberOfID, memberOfSegment};
}

}  // namespace zel::profile::LinkedInScrubbing
