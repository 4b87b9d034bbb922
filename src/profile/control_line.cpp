#include "profile/control_line.h"

#include "base/json_text.h"

namespace zel {

namespace {

struct Malformed {};

const Json* present(const Json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() || it->is_null() ? nullptr : &*it;
}

std::optional<std::string> optionalText(const Json& object, const char* key) {
  const Json* v = present(object, key);
  if (!v) return std::nullopt;
  if (!v->is_string()) throw Malformed{};
  return v->get<std::string>();
}

const Json* optionalObject(const Json& object, const char* key) {
  const Json* v = present(object, key);
  if (v && !v->is_object()) throw Malformed{};
  return v;
}

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
        Arm arm;
        if (const Json* l = optionalObject(*it, "linkedin")) arm.linkedin = Arm::LinkedIn{optionalText(*l, "slug")};
        if (const Json* x = optionalObject(*it, "x")) arm.x = Arm::X{optionalText(*x, "handle")};
        c.arm = std::optional<Arm>(std::move(arm));
      }
    }
    if (const auto until = optionalText(j, "until")) {
      // Internet date-time, with or without fractional seconds.
      c.until = parseISO8601(*until);
      if (!c.until) throw Malformed{};
    }
    if (const Json* own = optionalObject(j, "own")) c.own = Own{optionalText(*own, "linkedin"), optionalText(*own, "x")};
    return c;
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

}  // namespace zel
