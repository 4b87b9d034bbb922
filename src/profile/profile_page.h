#pragma once
// Profile page addresses: which site, whose handle and which view a page
// address names, and links inside pages broken into host, path and query.
// Pure functions of their text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/address_pieces.h"

namespace zel::profile {

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
};

}  // namespace zel::profile
