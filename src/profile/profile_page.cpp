#include "profile/profile_page.h"

#include <boost/url/parse.hpp>
#include <boost/url/pct_string_view.hpp>
#include <boost/url/url_view.hpp>

#include <algorithm>
#include <array>

#include "base/hosts.h"
#include "base/unicode_text.h"
#include "profile/profile_sites.h"

namespace zel::profile {

namespace {

constexpr std::array<std::pair<ProfilePage::View, std::string_view>, 4> views{{
    {ProfilePage::View::profile, "profile"},
    {ProfilePage::View::detailsExperience, "details/experience"},
    {ProfilePage::View::detailsSkills, "details/skills"},
    {ProfilePage::View::detailsEducation, "details/education"},
}};

}  // namespace

std::string_view rawValue(ProfilePage::Site s) { return ProfileSites::of(s).name; }

std::string_view rawValue(ProfilePage::View v) {
  for (const auto& [view, raw] : views)
    if (view == v) return raw;
  return {};
}

std::optional<ProfilePage::Site> siteNamed(std::string_view raw) {
  if (const ProfileSite* row = ProfileSites::named(raw)) return row->site;
  return std::nullopt;
}

std::optional<ProfilePage::View> viewNamed(std::string_view raw) {
  for (const auto& [view, name] : views)
    if (name == raw) return view;
  return std::nullopt;
}

const std::vector<ProfilePage::View>& allViews() {
  static const std::vector<ProfilePage::View> all{ProfilePage::View::profile, ProfilePage::View::detailsExperience,
                                                  ProfilePage::View::detailsSkills,
                                                  ProfilePage::View::detailsEducation};
  return all;
}

std::string ProfilePage::key() const {
  return std::string(rawValue(site)) + ":" + handle + ":" + std::string(rawValue(view));
}

std::optional<ProfilePage::Site> ProfilePage::siteOfHost(std::string_view host) {
  if (const ProfileSite* row = ProfileSites::ofHost(host)) return row->site;
  return std::nullopt;
}

std::optional<ProfilePage> ProfilePage::parse(std::string_view url) {
  const auto address = httpsAddress(url);
  if (!address) return std::nullopt;
  std::vector<std::string> segments;
  for (std::string_view piece : address->segments) {
    if (piece.empty()) return std::nullopt;
    segments.push_back(repairedUTF8(piece));
  }
  const ProfileSite* row = ProfileSites::ofHost(address->host);
  return row ? row->pageOfPath(segments) : std::nullopt;
}

std::optional<LinkPath> LinkPath::parse(std::string_view text) {
  if (!text.starts_with("https://")) return std::nullopt;
  auto parsed = boost::urls::parse_uri_reference(boost::core::string_view(text.data(), text.size()));
  if (!parsed || !parsed->has_authority() || parsed->encoded_host().empty()) return std::nullopt;
  const boost::urls::url_view& u = *parsed;
  LinkPath link;
  link.host = std::string(u.encoded_host());
  const std::string_view path(u.encoded_path().data(), u.encoded_path().size());
  for (std::string_view piece : splitKeepingEmpty(path, '/')) {
    if (piece.empty()) continue;
    link.segments.push_back(percentDecoded(piece).value_or(std::string(piece)));
  }
  if (u.has_query()) link.query = std::string(u.encoded_query());
  return link;
}

}  // namespace zel::profile
