#include "profile/profile_control.h"

#include <algorithm>

namespace zel {

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

}  // namespace zel
