#include "capture/profile_reading.h"

#include "capture/json_text.h"

#include <algorithm>

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

void ProfileControl::apply(const ControlLine& line, Date now) {
  std::lock_guard g(lock_);
  if (line.own) {
    auto set = [&](Site site, const std::optional<std::string>& value, auto normalise) {
      const auto normalised = value ? normalise(*value) : std::nullopt;
      if (normalised) saved_[site] = *normalised;
      else saved_.erase(site);
    };
    set(Site::linkedin, line.own->linkedin, ProfilePage::normalizedSlug);
    set(Site::x, line.own->x, ProfilePage::normalizedHandle);
    discovery_.clear();
  }
  if (!line.arm) return;
  armedSites_.clear();
  discovery_.clear();
  if (!*line.arm) {
    armedUntil_.reset();
    return;
  }
  const ControlLine::Arm& arm = **line.arm;
  if (arm.linkedin) {
    armedSites_.insert(Site::linkedin);
    if (auto slug = arm.linkedin->slug ? ProfilePage::normalizedSlug(*arm.linkedin->slug) : std::nullopt)
      discovery_[Site::linkedin] = *slug;
  }
  if (arm.x) {
    armedSites_.insert(Site::x);
    if (auto handle = arm.x->handle ? ProfilePage::normalizedHandle(*arm.x->handle) : std::nullopt)
      discovery_[Site::x] = *handle;
  }
  for (Site s : armedSites_) ++revisions_[s];
  const Date limit = now.adding(armLimit);
  armedUntil_ = line.until ? std::min(*line.until, limit) : limit;
}

std::map<ProfilePage::Site, uint64_t> ProfileControl::requests() const {
  std::lock_guard g(lock_);
  return revisions_;
}

bool ProfileControl::armedLocked(Site site, Date now) const {
  return armedSites_.contains(site) && armedUntil_ && now < *armedUntil_;
}

bool ProfileControl::wantsRead(const std::map<Site, uint64_t>& seen, Date now) const {
  std::lock_guard g(lock_);
  for (const auto& [site, revision] : revisions_) {
    auto it = seen.find(site);
    if (it == seen.end() || it->second != revision) return true;
  }
  for (Site s : sites_)
    if (armedLocked(s, now)) return true;
  return false;
}

bool ProfileControl::isArmed(Site site, Date now) const {
  std::lock_guard g(lock_);
  return armedLocked(site, now);
}

bool ProfileControl::isSaved(Site site) const {
  std::lock_guard g(lock_);
  return saved_.contains(site);
}

bool ProfileControl::isOtherHandle(const ProfilePage& page, Date now, bool isFront) const {
  std::lock_guard g(lock_);
  if (!sites_.contains(page.site)) return false;
  auto saved = saved_.find(page.site);
  return saved != saved_.end() && saved->second != page.handle && isFront && armedLocked(page.site, now);
}

bool ProfileControl::mayWalkLocked(Site site, const std::string& handle, Date now, bool isFront) const {
  if (!sites_.contains(site)) return false;
  if (auto saved = saved_.find(site); saved != saved_.end()) return saved->second == handle;
  if (!isFront || !armedLocked(site, now)) return false;
  auto expected = discovery_.find(site);
  return expected == discovery_.end() || expected->second == handle;
}

bool ProfileControl::mayWalk(const ProfilePage& page, Date now, bool isFront) const {
  std::lock_guard g(lock_);
  return mayWalkLocked(page.site, page.handle, now, isFront);
}

bool ProfileControl::accept(const ProfileRead& read, Date now, bool isFront) {
  std::lock_guard g(lock_);
  if (!mayWalkLocked(read.site, read.handle, now, isFront)) return false;
  // The first accepted handle pins the discovery for the rest of the arming.
  if (!saved_.contains(read.site)) discovery_[read.site] = read.handle;
  return true;
}

// ---- schedule and gate ----

namespace {

template <class Map>
void eraseSite(Map& map, ProfilePage::Site site) {
  const std::string prefix = std::string(rawValue(site)) + ":";
  for (auto it = map.begin(); it != map.end();) {
    if (it->first.starts_with(prefix)) it = map.erase(it);
    else ++it;
  }
}

std::string joinedSorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out;
}

}  // namespace

std::string ProfileSchedule::signature(const ProfileRead& read) {
  std::vector<std::string> kinds, roles, skills, schools;
  for (const auto& s : read.sections) {
    kinds.push_back(s.kind);
    if (s.roles)
      for (const auto& r : *s.roles) roles.push_back(r.roleId);
    if (s.skills)
      for (const auto& k : *s.skills) skills.push_back(k.skillId);
    if (s.schools)
      for (const auto& c : *s.schools) schools.push_back(c.educationId);
  }
  std::string bio;
  if (read.x) bio = read.x->bio ? "true" : "false";
  return joinedSorted(kinds) + "|" + joinedSorted(roles) + "|" + joinedSorted(skills) + "|" + joinedSorted(schools) +
         "|" + bio + "|" + (read.photo ? "photo" : "");
}

void ProfileSchedule::record(const std::set<std::string>& seen, const std::map<std::string, std::string>& own, Date now) {
  for (auto it = visits_.begin(); it != visits_.end();) {
    if (seen.contains(it->first)) {
      ++it;
      continue;
    }
    // A page that left the screen starts afresh when it comes back.
    lastOwn_.erase(it->first);
    resting_.erase(it->first);
    it = visits_.erase(it);
  }
  for (const auto& key : seen) visits_.try_emplace(key, now);
  for (const auto& [key, signature] : own) {
    if (isResting(key, now)) continue;
    auto last = lastOwn_.find(key);
    if (last != lastOwn_.end() && last->second.signature == signature) {
      if (now.seconds(last->second.at) >= stableGap) resting_[key] = now.adding(rest);
    } else {
      lastOwn_[key] = {signature, now};
    }
  }
}

std::optional<double> ProfileSchedule::interval(Date now, bool isFront) const {
  if (!isFront) return std::nullopt;
  for (const auto& [key, firstSeen] : visits_)
    if (!isResting(key, now) && now.seconds(firstSeen) <= window) return fast;
  return std::nullopt;
}

bool ProfileSchedule::isResting(const std::string& key, Date now) const {
  auto it = resting_.find(key);
  return it != resting_.end() && it->second > now;
}

std::set<std::string> ProfileSchedule::resting(Date now) const {
  std::set<std::string> keys;
  for (const auto& [key, until] : resting_)
    if (until > now) keys.insert(key);
  return keys;
}

void ProfileSchedule::retry(ProfilePage::Site site) {
  eraseSite(visits_, site);
  eraseSite(lastOwn_, site);
  eraseSite(resting_, site);
}

bool ProfileGate::shouldPrint(const ProfileRead& read, const std::string& key) {
  ProfileRead normalised = read;
  normalised.capturedAt = Date{Date::distantPast};
  normalised.health.nodes = 0;
  normalised.health.readMs = 0;
  auto it = last_.find(key);
  if (it != last_.end() && it->second == normalised) return false;
  last_[key] = std::move(normalised);
  lastStatus_.erase(key);
  return true;
}

bool ProfileGate::shouldPrint(const ProfileStatus& status, const std::string& key, Date at) {
  auto it = lastStatus_.find(key);
  if (it != lastStatus_.end() && it->second.first == status && at.seconds(it->second.second) < statusEvery) return false;
  lastStatus_[key] = {status, at};
  last_.erase(key);
  return true;
}

void ProfileGate::retry(ProfilePage::Site site) {
  eraseSite(last_, site);
  eraseSite(lastStatus_, site);
}

}  // namespace zel
