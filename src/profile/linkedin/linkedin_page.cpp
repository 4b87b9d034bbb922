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

}  // namespace zel::LinkedInPage
