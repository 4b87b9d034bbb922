#pragma once
// Profile page addresses: which site, whose handle and which view a page
// address names, and links inside pages broken into host, path and query.
// Pure functions of their text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/address_pieces.h"

namespace zel {

struct ProfilePage {
  enum class Site { linkedin, x };
  enum class View { profile, detailsExperience, detailsSkills, detailsEducation };

  Site site = Site::linkedin;
  std::string handle;  // normalised: always lower case
  View view = View::profile;

  friend bool operator==(const ProfilePage&, const ProfilePage&) = default;

  // "site:handle:view", the name of a page everywhere.
  std::string key() const;

  // The profile page an address names, byte for byte; nullopt for anything
  // else.
  static std::optional<ProfilePage> parse(std::string_view url);
  // A LinkedIn member slug: percent-decoded, lower-cased, 3 to 100
  // characters, not "me", without "/" or white space.
  static std::optional<std::string> normalizedSlug(std::string_view text);
  // An X handle: lower-cased, 1 to 15 of a-z, 0-9 and "_", not a site page.
  static std::optional<std::string> normalizedHandle(std::string_view text);
  // The first path words of the X host that are site pages, never handles.
  static const std::vector<std::string_view>& xReserved();
  // The site whose profile pages are served from `host` (exact match).
  static std::optional<Site> siteOfHost(std::string_view host);
};

std::string_view rawValue(ProfilePage::Site s);
std::string_view rawValue(ProfilePage::View v);
std::optional<ProfilePage::Site> siteNamed(std::string_view raw);
std::optional<ProfilePage::View> viewNamed(std::string_view raw);
const std::vector<ProfilePage::View>& allViews();

// A link found inside a page.
struct LinkPath {
  std::string host;                   // as written
  std::vector<std::string> segments;  // non-empty path pieces, percent-decoded
  std::string query;                  // still percent-encoded; empty without one

  friend bool operator==(const LinkPath&, const LinkPath&) = default;

  // An "https://" address that parses as a URL with a host.
  static std::optional<LinkPath> parse(std::string_view text);

  bool isLinkedIn() const;
  // The lower-cased member slug of a LinkedIn profile link, whoever's it is.
  std::optional<std::string> linkedInMember() const;
  // The segments after "in/<slug>" when the link points into that member's
  // profile; `slug` is already normalised.
  std::optional<std::vector<std::string>> underLinkedIn(std::string_view slug) const;
};

}  // namespace zel
