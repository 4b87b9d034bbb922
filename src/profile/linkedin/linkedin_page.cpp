#include "profile/linkedin/linkedin_page.h"

#include "base/hosts.h"
#include "base/unicode_text.h"

namespace zel::profile::LinkedInPage {

const std::vector<CardEnding>& cardEndings() {
  static const std::vector<CardEnding> endings{
      {"Activity", ""},
      {"RecommendationsTopLevel", ""},
      {"ConnectedAccountsTopLevel", ""},
      {"SupportedLocales", ""},
      {"Topcard", "topcard"},
      {"About", "about"},
      {"Services", "services"},
      {"Featured", "featured"},
      {"ExperienceTopLevelSection", "experience"},
      {"ExperienceDetailsSection", "experience"},
      {"EducationTopLevelSection", "education"},
      {"EducationDetailsSection", "education"},
      {"SkillDetails", "skills"},
      {"Skills", "skills"},
      {"LanguageTopLevel", "languages"},
      {"Causes", "causes"},
      {"CertificationsTopLevel", "certifications"},
      {"ProjectsTopLevel", "projects"},
      {"HonorsTopLevel", "honors"},
      {"VolunteeringTopLevel", "volunteering"},
      {"PublicationsTopLevel", "publications"},
      {"CoursesTopLevel", "courses"},
  };
  return endings;
}

bool isAside(std::string_view domID) {
  return domID.starts_with("profileAside") || domID.starts_with("profileDetailAside");
}

std::optional<std::string> normalizedSlug(std::string_view text) {
  std::string slug = lowercased(percentDecoded(text).value_or(std::string(text)));
  const size_t count = characterCount(slug);
  if (count <= 2 || count >= 101 || slug == "me" || slug.find('/') != std::string::npos || containsWhiteSpace(slug))
    return std::nullopt;
  return slug;
}

bool isLinkedIn(const LinkPath& link) { return link.host == hosts::linkedInWeb; }

std::optional<std::string> memberOf(const LinkPath& link) {
  if (!isLinkedIn(link) || link.segments.size() < 2 || link.segments[0] != "in") return std::nullopt;
  return lowercased(link.segments[1]);
}

std::optional<std::vector<std::string>> under(const LinkPath& link, std::string_view slug) {
  const auto member = memberOf(link);
  if (!member || *member != slug) return std::nullopt;
  return std::vector<std::string>(link.segments.begin() + 2, link.segments.end());
}

std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments) {
  using View = ProfilePage::View;
  if (segments.size() < 2 || segments[0] != "in") return std::nullopt;
  auto slug = normalizedSlug(segments[1]);
  if (!slug) return std::nullopt;
  View view;
  if (segments.size() == 2) view = View::profile;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "experience") view = View::detailsExperience;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "skills") view = View::detailsSkills;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "education") view = View::detailsEducation;
  else return std::nullopt;
  return ProfilePage{ProfilePage::Site::linkedin, std::move(*slug), view};
}

}  // namespace zel::profile::LinkedInPage
