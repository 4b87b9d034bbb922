#include "profile/x/x_scrubbing.h"

#include "base/hosts.h"
#include "base/unicode_text.h"
#include "profile/x/x_page.h"

namespace zel::profile::XScrubbing {

namespace {

const std::vector<std::string_view>& keptWords() {
  static const std::vector<std::string_view> words = [] {
    std::vector<std::string_view> w{"following", "followers", "verified_followers", "status", "photo",
                                    "analytics", "media", "profile_images", "default_profile_images"};
    w.insert(w.end(), XPage::reserved().begin(), XPage::reserved().end());
    return w;
  }();
  return words;
}

// The first segment of an X link is a handle unless it is a word some site
// keeps.
std::optional<std::string_view> personOfLink(const LinkPath& link, const ProfileScrubbing::Words& kept) {
  if (link.host != hosts::x || link.segments.empty()) return std::nullopt;
  const std::string& first = link.segments[0];
  if (!XPage::normalizedHandle(first) || kept.contains(lowercased(first))) return std::nullopt;
  return first;
}

bool namesPerson(const std::vector<std::string>&, size_t i) { return i == 0; }

}  // namespace

ProfileScrubbing rules() {
  return {hosts::xImages, keptWords, ProfileScrubbing::Person::handle, personOfLink, namesPerson, false, "", false,
          nullptr, nullptr};
}

}  // namespace zel::profile::XScrubbing
