#include "profile/profile_schedule.h"

#include <algorithm>
#include <vector>

#include "profile/site_keys.h"

namespace zel::profile {

namespace {

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

}  // namespace zel::profile
