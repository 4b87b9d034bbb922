#include "profile/profile_read.h"

#include <unicode/regex.h>

#include <boost/url/parse.hpp>
#include <boost/url/url_view.hpp>

#include <charconv>
#include <cmath>
#include <memory>
#include <type_traits>

#include "base/json_fields.h"
#include "base/unicode_text.h"

namespace zel::profile {

// ---- image addresses ----

namespace {

// The path of an address when it parses as one; otherwise the whole text.
std::string imagePath(std::string_view url) {
  auto parsed = boost::urls::parse_uri_reference(boost::core::string_view(url.data(), url.size()));
  if (!parsed) return std::string(url);
  return parsed->path();
}

const icu::RegexPattern* compiled(const char* expression) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  icu::RegexPattern* p = icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(expression), where, status);
  if (U_FAILURE(status)) {
    delete p;
    return nullptr;
  }
  return p;
}

// The first match's group 1 as a 64-bit number; absent without a match, or
// when the digits are not ASCII or do not fit.
std::optional<std::optional<int64_t>> sizeBy(const icu::RegexPattern* pattern, const icu::UnicodeString& path) {
  if (!pattern) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(pattern->matcher(path, status));
  if (U_FAILURE(status) || !m->find(status) || U_FAILURE(status)) return std::nullopt;
  std::string digits;
  m->group(1, status).toUTF8String(digits);
  int64_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return std::optional<int64_t>();
  return std::optional<int64_t>(value);
}

}  // namespace

std::optional<int64_t> ProfileImage::size(std::string_view url) {
  static const std::unique_ptr<const icu::RegexPattern> segment(compiled(R"(_(\d+)_\d+(?:/|$))"));
  static const std::unique_ptr<const icu::RegexPattern> fileName(compiled(R"(_(\d+)x\d+\.[a-z]+$)"));
  const std::string path = imagePath(url);
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(path.data(), static_cast<int32_t>(path.size())));
  if (auto found = sizeBy(segment.get(), text)) return *found;
  if (auto found = sizeBy(fileName.get(), text)) return *found;
  return std::nullopt;
}

std::optional<Date> ProfileImage::expiry(std::string_view url) {
  auto parsed = boost::urls::parse_uri_reference(boost::core::string_view(url.data(), url.size()));
  if (!parsed || !parsed->has_query()) return std::nullopt;
  // The query's items are split here rather than through the URL library's
  // parameter view: Boost.URL 1.81 walks past the end of an empty query that
  // a fragment follows ("?#f").
  const std::string_view query(parsed->encoded_query().data(), parsed->encoded_query().size());
  for (std::string_view item : splitKeepingEmpty(query, '&')) {
    const size_t eq = item.find('=');
    if (percentDecoded(item.substr(0, eq)) != "e") continue;
    if (eq == std::string_view::npos) return std::nullopt;
    const auto value = percentDecoded(item.substr(eq + 1));
    if (!value) return std::nullopt;
    std::string_view text = *value;
    if (text.starts_with('+')) text.remove_prefix(1);
    double seconds = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds))
      return std::nullopt;
    const Date at = Date::fromUnix(seconds);
    if (!isoText(at, DateForm::wholeSeconds)) return std::nullopt;  // outside the years 1 to 9999
    return at;
  }
  return std::nullopt;
}

// ---- writing ----

void writeJSON(JSONWriter& w, const ProfileImage& v, DateForm dates) {
  w.beginObject();
  if (v.expires) w.key("expires").date(*v.expires, dates);
  w.field("from", v.from);
  w.field("px", v.px);
  w.member("url", v.url);
  w.endObject();
}

namespace {

void writeTopcard(JSONWriter& w, const Topcard& v) {
  w.beginObject().field("headline", v.headline).field("location", v.location).field("name", v.name).endObject();
}

void writeRole(JSONWriter& w, const ProfileRole& v, DateForm dates) {
  w.beginObject();
  w.field("companyId", v.companyId).field("companyLine", v.companyLine).field("datesText", v.datesText);
  w.field("description", v.description).field("location", v.location);
  if (v.logo) writeJSON(w.key("logo"), *v.logo, dates);
  w.member("roleId", v.roleId).field("skillsLine", v.skillsLine).field("title", v.title);
  w.endObject();
}

void writeSkill(JSONWriter& w, const ProfileSkill& v) {
  w.beginObject().key("context").strings(v.context).field("name", v.name).member("skillId", v.skillId).endObject();
}

void writeSchool(JSONWriter& w, const ProfileSchool& v, DateForm dates) {
  w.beginObject().member("educationId", v.educationId).key("lines").strings(v.lines);
  if (v.logo) writeJSON(w.key("logo"), *v.logo, dates);
  w.field("schoolId", v.schoolId).endObject();
}

void writeHealth(JSONWriter& w, const ProfileHealth& h) {
  w.beginObject();
  w.key("byAddress").integer(h.byAddress).key("byDomId").integer(h.byDomId).key("byEditLink").integer(h.byEditLink);
  w.key("emptyDropped").integer(h.emptyDropped).key("logos").integer(h.logos).key("nodes").integer(h.nodes);
  w.key("otherPeopleDropped").integer(h.otherPeopleDropped).key("readMs").integer(h.readMs);
  w.key("roles").integer(h.roles).key("schools").integer(h.schools).key("skills").integer(h.skills);
  w.key("typedDisagree").integer(h.typedDisagree).key("untyped").integer(h.untyped);
  w.endObject();
}

}  // namespace

void writeJSON(JSONWriter& w, const ProfileSection& v, DateForm dates) {
  w.beginObject().member("kind", v.kind);
  if (v.roles) {
    w.key("roles").beginArray();
    for (const auto& r : *v.roles) writeRole(w, r, dates);
    w.endArray();
  }
  if (v.schools) {
    w.key("schools").beginArray();
    for (const auto& s : *v.schools) writeSchool(w, s, dates);
    w.endArray();
  }
  if (v.skills) {
    w.key("skills").beginArray();
    for (const auto& s : *v.skills) writeSkill(w, s);
    w.endArray();
  }
  w.member("text", v.text);
  if (v.topcard) writeTopcard(w.key("topcard"), *v.topcard);
  w.key("typedBy").strings(v.typedBy);
  w.endObject();
}

void writeJSON(JSONWriter& w, const ProfileRead& v, DateForm dates) {
  w.beginObject();
  w.key("capturedAt").date(v.capturedAt, dates);
  w.member("handle", v.handle);
  writeHealth(w.key("health"), v.health);
  if (v.photo) writeJSON(w.key("photo"), *v.photo, dates);
  w.key("proof").strings(v.proof);
  w.key("sections").beginArray();
  for (const auto& s : v.sections) writeJSON(w, s, dates);
  w.endArray();
  w.member("site", rawValue(v.site));
  w.member("timeZone", v.timeZone);
  w.member("view", rawValue(v.view));
  if (v.x) w.key("x").beginObject().field("bio", v.x->bio).key("details").strings(v.x->details).field("name", v.x->name).endObject();
  w.endObject();
}

void writeJSON(JSONWriter& w, const ProfileStatus& v) {
  w.beginObject().key("own").boolean(v.own).member("site", rawValue(v.site)).member("view", rawValue(v.view)).endObject();
}

// ---- reading ----

namespace {

struct DecodeError {
  std::string message;
};

// Reads the members of one object through JsonFields; a wrong or missing
// member throws DecodeError naming its path. Caught below, never leaves this
// file.
class Reader {
 public:
  Reader(const Json& j, std::string path) : j_(j), fields_(j), path_(std::move(path)) {
    if (!j_.is_object()) fail(path_.empty() ? "expected an object" : "must be an object", path_);
  }

  const Json* find(const char* key) const { return fields_.find(key); }
  const Json& need(const char* key) const {
    return *worded([&] { return &fields_.need(key); });
  }
  std::string text(const char* key) const { return worded([&] { return fields_.text(key); }); }
  std::optional<std::string> optText(const char* key) const {
    return worded([&] { return fields_.optionalText(key); });
  }
  int64_t integer(const char* key) const { return worded([&] { return fields_.integer(key); }); }
  std::optional<int64_t> optInteger(const char* key) const {
    return worded([&] { return fields_.optionalInteger(key); });
  }
  bool boolean(const char* key) const { return worded([&] { return fields_.boolean(key); }); }
  std::vector<std::string> texts(const char* key) const { return worded([&] { return fields_.texts(key); }); }
  const Json& list(const char* key) const {
    return *worded([&] { return &fields_.list(key); });
  }
  Date date(const char* key) const { return worded([&] { return fields_.date(key); }); }
  template <class Enum>
  Enum raw(const char* key, std::optional<Enum> (*named)(std::string_view)) const {
    auto v = named(text(key));
    if (!v) fail("names no known case", at(key));
    return *v;
  }
  std::string at(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

  [[noreturn]] static void fail(std::string_view what, const std::string& path) {
    throw DecodeError{(path.empty() ? "" : path + ": ") + std::string(what)};
  }

 private:
  template <class Read>
  std::invoke_result_t<Read> worded(Read&& read) const {
    try {
      return read();
    } catch (const JsonFieldProblem& p) {
      fail(mustBe(p.kind), at(p.key));
    }
  }

  const Json& j_;
  JsonFields fields_;
  std::string path_;
};

ProfileImage readImage(const Json& j, const std::string& path) {
  Reader r(j, path);
  ProfileImage v;
  v.url = r.text("url");
  v.px = r.optInteger("px");
  if (r.find("expires")) v.expires = r.date("expires");
  v.from = r.optText("from");
  return v;
}

std::optional<ProfileImage> optImage(const Reader& r, const char* key) {
  const Json* v = r.find(key);
  return v ? std::optional(readImage(*v, r.at(key))) : std::nullopt;
}

template <class T, class Read>
std::optional<std::vector<T>> optList(const Reader& r, const char* key, Read&& read) {
  if (!r.find(key)) return std::nullopt;
  std::vector<T> out;
  const Json& list = r.list(key);
  for (size_t i = 0; i < list.size(); ++i) out.push_back(read(list[i], r.at(key) + "[" + std::to_string(i) + "]"));
  return out;
}

ProfileSection readSection(const Json& j, const std::string& path) {
  Reader r(j, path);
  ProfileSection s;
  s.kind = r.text("kind");
  s.typedBy = r.texts("typedBy");
  s.text = r.text("text");
  if (const Json* t = r.find("topcard")) {
    Reader c(*t, r.at("topcard"));
    s.topcard = Topcard{c.optText("name"), c.optText("headline"), c.optText("location")};
  }
  s.roles = optList<ProfileRole>(r, "roles", [](const Json& item, const std::string& p) {
    Reader e(item, p);
    return ProfileRole{e.text("roleId"),      e.optText("companyId"), e.optText("title"),
                       e.optText("companyLine"), e.optText("datesText"), e.optText("location"),
                       e.optText("description"), e.optText("skillsLine"), optImage(e, "logo")};
  });
  s.skills = optList<ProfileSkill>(r, "skills", [](const Json& item, const std::string& p) {
    Reader e(item, p);
    return ProfileSkill{e.text("skillId"), e.optText("name"), e.texts("context")};
  });
  s.schools = optList<ProfileSchool>(r, "schools", [](const Json& item, const std::string& p) {
    Reader e(item, p);
    return ProfileSchool{e.text("educationId"), e.optText("schoolId"), e.texts("lines"), optImage(e, "logo")};
  });
  return s;
}

ProfileHealth readHealth(const Json& j, const std::string& path) {
  Reader r(j, path);
  ProfileHealth h;
  h.byDomId = r.integer("byDomId");
  h.byEditLink = r.integer("byEditLink");
  h.byAddress = r.integer("byAddress");
  h.typedDisagree = r.integer("typedDisagree");
  h.untyped = r.integer("untyped");
  h.emptyDropped = r.integer("emptyDropped");
  h.otherPeopleDropped = r.integer("otherPeopleDropped");
  h.roles = r.integer("roles");
  h.skills = r.integer("skills");
  h.schools = r.integer("schools");
  h.logos = r.integer("logos");
  h.nodes = r.integer("nodes");
  h.readMs = r.integer("readMs");
  return h;
}

}  // namespace

Result<ProfileRead> profileReadFromJSON(const Json& j) {
  try {
    Reader r(j, "");
    ProfileRead v;
    v.site = r.raw<ProfilePage::Site>("site", siteNamed);
    v.handle = r.text("handle");
    v.view = r.raw<ProfilePage::View>("view", viewNamed);
    v.proof = r.texts("proof");
    const Json& sections = r.list("sections");
    for (size_t i = 0; i < sections.size(); ++i)
      v.sections.push_back(readSection(sections[i], "sections[" + std::to_string(i) + "]"));
    v.photo = optImage(r, "photo");
    if (const Json* x = r.find("x")) {
      Reader h(*x, "x");
      v.x = XHeader{h.optText("name"), h.optText("bio"), h.texts("details")};
    }
    v.health = readHealth(r.need("health"), "health");
    v.capturedAt = r.date("capturedAt");
    v.timeZone = r.text("timeZone");
    return v;
  } catch (const DecodeError& e) {
    return Result<ProfileRead>::failure(e.message);
  }
}

Result<ProfileStatus> profileStatusFromJSON(const Json& j) {
  try {
    Reader r(j, "");
    return ProfileStatus{r.raw<ProfilePage::Site>("site", siteNamed), r.raw<ProfilePage::View>("view", viewNamed),
                         r.boolean("own")};
  } catch (const DecodeError& e) {
    return Result<ProfileStatus>::failure(e.message);
  }
}

}  // namespace zel::profile
