#include "profile/profile_control.h"

#include <algorithm>

#include "profile/profile_sites.h"

namespace zel::profile {

void ProfileControl::apply(const ControlLine& line, Date now) {
  std::lock_guard g(lock_);
  if (line.own) {
    for (const ProfileSite& row : ProfileSites::all()) {
      const auto named = line.own->find(row.site);
      const auto normalised = named != line.own->end() ? row.normalizedHandle(named->second) : std::nullopt;
      if (normalised) saved_[row.site] = *normalised;
      else saved_.erase(row.site);
    }
    discovery_.clear();
  }
  if (!line.arm) return;
  armedSites_.clear();
  discovery_.clear();
  if (!*line.arm) {
    armedUntil_.reset();
    return;
  }
  for (const auto& [site, handle] : **line.arm) {
    armedSites_.insert(site);
    if (auto normalised = handle ? ProfileSites::of(site).normalizedHandle(*handle) : std::nullopt)
      discovery_[site] = *normalised;
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

}  // namespace zel::profile
