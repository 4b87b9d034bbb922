#pragma once
// What the agent reports about one of the user's own profile pages, and the
// status it reports for a page that is not provably the user's own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/date.h"
#include "base/json_text.h"
#include "profile/profile_page.h"
#include "base/result.h"

namespace zel::profile {

struct ProfileImage {
  std::string url;                  // as read from the page
  std::optional<int64_t> px;        // the pixel size written in the address
  std::optional<Date> expires;      // the expiry written in the address
  std::optional<std::string> from;  // "own_link", "signed_in_avatar", "x_photo"; absent for logos
  friend bool operator==(const ProfileImage&, const ProfileImage&) = default;

  // The pixel size in an image address: "_400_400" as a path segment or
  // "_200x200.jpg" at the end of the path.
  static std::optional<int64_t> size(std::string_view url);
  // The "e" query item as seconds since 1970; absent unless it is a finite
  // instant within the years 1 to 9999.
  static std::optional<Date> expiry(std::string_view url);
};

struct Topcard {
  std::optional<std::string> name, headline, location;
  friend bool operator==(const Topcard&, const Topcard&) = default;
};

struct ProfileRole {
  std::string roleId;
  std::optional<std::string> companyId, title, companyLine, datesText, location, description, skillsLine;
  std::optional<ProfileImage> logo;
  friend bool operator==(const ProfileRole&, const ProfileRole&) = default;
};

struct ProfileSkill {
  std::string skillId;
  std::optional<std::string> name;
  std::vector<std::string> context;
  friend bool operator==(const ProfileSkill&, const ProfileSkill&) = default;
};

struct ProfileSchool {
  std::string educationId;
  std::optional<std::string> schoolId;
  std::vector<std::string> lines;
  std::optional<ProfileImage> logo;
  friend bool operator==(const ProfileSchool&, const ProfileSchool&) = default;
};

struct XHeader {
  std::optional<std::string> name, bio;
  std::vector<std::string> details;
  friend bool operator==(const XHeader&, const XHeader&) = default;
};

struct ProfileHealth {
  int64_t byDomId = 0, byEditLink = 0, byAddress = 0, typedDisagree = 0, untyped = 0, emptyDropped = 0,
          otherPeopleDropped = 0, roles = 0, skills = 0, schools = 0, logos = 0, nodes = 0, readMs = 0;
  friend bool operator==(const ProfileHealth&, const ProfileHealth&) = default;
};

struct ProfileSection {
  std::string kind;
  std::vector<std::string> typedBy;  // "dom_id", "edit_link", "page_address"
  std::string text;
  std::optional<Topcard> topcard;
  std::optional<std::vector<ProfileRole>> roles;
  std::optional<std::vector<ProfileSkill>> skills;
  std::optional<std::vector<ProfileSchool>> schools;
  friend bool operator==(const ProfileSection&, const ProfileSection&) = default;
};

struct ProfileRead {
  ProfilePage::Site site = ProfilePage::Site::linkedin;
  std::string handle;
  ProfilePage::View view = ProfilePage::View::profile;
  std::vector<std::string> proof;
  std::vector<ProfileSection> sections;
  std::optional<ProfileImage> photo;
  std::optional<XHeader> x;
  ProfileHealth health;
  Date capturedAt;
  std::string timeZone;
  friend bool operator==(const ProfileRead&, const ProfileRead&) = default;
};

struct ProfileStatus {
  ProfilePage::Site site = ProfilePage::Site::linkedin;
  ProfilePage::View view = ProfilePage::View::profile;
  bool own = false;
  friend bool operator==(const ProfileStatus&, const ProfileStatus&) = default;
};

// One extraction: the user's own page read, or the status of a page that is not.
struct ProfileOutcome {
  std::variant<ProfileRead, ProfileStatus> value;

  static ProfileOutcome own(ProfileRead r) { return {std::move(r)}; }
  static ProfileOutcome notOwn(ProfileStatus s) { return {s}; }
  const ProfileRead* read() const { return std::get_if<ProfileRead>(&value); }
  const ProfileStatus* status() const { return std::get_if<ProfileStatus>(&value); }
  friend bool operator==(const ProfileOutcome&, const ProfileOutcome&) = default;
};

// JSON forms, keys sorted; dates in the given form.
void writeJSON(JSONWriter& w, const ProfileImage& v, DateForm dates);
void writeJSON(JSONWriter& w, const ProfileSection& v, DateForm dates);
void writeJSON(JSONWriter& w, const ProfileRead& v, DateForm dates);
void writeJSON(JSONWriter& w, const ProfileStatus& v);

Result<ProfileRead> profileReadFromJSON(const Json& j);
Result<ProfileStatus> profileStatusFromJSON(const Json& j);

}  // namespace zel::profile
