#include "profile/linkedin/linkedin_page.h"

namespace zel::LinkedInPage {

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

std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments) {
  using View = ProfilePage::View;
  if (segments.size() < 2 || segments[0] != "in") return std::nullopt;
  auto slug = ProfilePage::normalizedSlug(segments[1]);
  if (!slug) return std::nullopt;
  View view;
  if (segments.size() == 2) view = View::profile;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "experience") view = View::detailsExperience;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "skills") view = View::detailsSkills;
  else if (segments.size() == 4 && segments[2] == "details" && segments[3] == "education") view = View::detailsEducation;
  else return std::nullopt;
  return ProfilePage{ProfilePage::Site::linkedin, std::move(*slug), view};
}

}  // namespace zel::LinkedInPage
