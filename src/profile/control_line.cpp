#include "profile/control_line.h"

#include "base/json_fields.h"
#include "base/json_text.h"
#include "profile/profile_sites.h"

namespace zel::profile {

namespace {

struct Malformed {};

}  // namespace

std::optional<ControlLine> ControlLine::parse(std::string_view line) {
  const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return std::nullopt;
  try {
    ControlLine c;
    if (auto it = j.find("arm"); it != j.end()) {
      if (it->is_null()) {
        c.arm = std::optional<Arm>();
      } else {
        if (!it->is_object()) throw Malformed{};
        const JsonFields armed(*it);
        Arm arm;
        for (const ProfileSite& site : ProfileSites::all())
          if (const Json* s = armed.optionalObject(site.name.data()))
            arm[site.site] = JsonFields(*s).optionalText(site.armHandleKey.data());
        c.arm = std::optional<Arm>(std::move(arm));
      }
    }
    const JsonFields fields(j);
    if (const auto until = fields.optionalText("until")) {
      // Internet date-time, with or without fractional seconds.
      c.until = parseISO8601(*until);
      if (!c.until) throw Malformed{};
    }
    if (const Json* own = fields.optionalObject("own")) {
      const JsonFields owned(*own);
      Own handles;
      for (const ProfileSite& site : ProfileSites::all())
        if (auto handle = owned.optionalText(site.name.data())) handles[site.site] = std::move(*handle);
      c.own = std::move(handles);
    }
    return c;
  } catch (const Malformed&) {
    return std::nullopt;
  } catch (const JsonFieldProblem&) {
    return std::nullopt;
  }
}

}  // namespace zel::profile
