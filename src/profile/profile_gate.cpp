#include "profile/profile_gate.h"

#include "profile/site_keys.h"

namespace zel::profile {

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

}  // namespace zel::profile
