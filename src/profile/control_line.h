#pragma once
// One control line from the host: arm or disarm profile reading until a
// time, and name the user's own handles.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/date.h"
#include "profile/profile_page.h"

namespace zel::profile {

struct ControlLine {
  // The sites armed, each with the handle the host named for finding the
  // user's own page ({"linkedin":{"slug":...}}), if it named one.
  using Arm = std::map<ProfilePage::Site, std::optional<std::string>>;
  // The user's own handles by site ({"linkedin":...}); a site left out has
  // none.
  using Own = std::map<ProfilePage::Site, std::string>;

  // Absent: no change to arming; nullopt inside: disarm; an Arm: arm.
  std::optional<std::optional<Arm>> arm;
  std::optional<Date> until;
  std::optional<Own> own;

  // Nullopt for anything that is not exactly a control line: not JSON, a
  // value of the wrong type, an "until" that is not an ISO time.
  static std::optional<ControlLine> parse(std::string_view line);
};

}  // namespace zel::profile
