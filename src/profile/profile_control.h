#pragma once
// The host's say over profile reading: control lines arm and disarm it and
// name the user's own handles; profile control keeps that state for the
// readers and answers what they may read and keep.

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/date.h"
#include "profile/control_line.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"

namespace zel::profile {

class ProfileControl {
 public:
  using Site = ProfilePage::Site;
  static constexpr double armLimit = 600;  // seconds an arming lasts at most

  explicit ProfileControl(std::set<Site> sites) : sites_(std::move(sites)) {}

  void apply(const ControlLine& line, Date now);
  std::map<Site, uint64_t> requests() const;
  bool wantsRead(const std::map<Site, uint64_t>& seen, Date now) const;
  bool isArmed(Site site, Date now) const;
  bool isSaved(Site site) const;
  bool isOtherHandle(const ProfilePage& page, Date now, bool isFront) const;
  bool mayWalk(const ProfilePage& page, Date now, bool isFront) const;
  bool accept(const ProfileRead& read, Date now, bool isFront);

  // Drops reads of a site without a saved handle when the site shows more
  // than one handle among them: their owners cannot be told apart.
  template <class Saved>
  static std::vector<ProfileRead> unambiguous(const std::vector<ProfileRead>& reads, Saved&& saved);

 private:
  bool armedLocked(Site site, Date now) const;
  bool mayWalkLocked(Site site, const std::string& handle, Date now, bool isFront) const;

  mutable std::mutex lock_;
  const std::set<Site> sites_;
  std::set<Site> armedSites_;
  std::optional<Date> armedUntil_;
  std::map<Site, std::string> saved_;
  std::map<Site, std::string> discovery_;
  std::map<Site, uint64_t> revisions_;
};

template <class Saved>
std::vector<ProfileRead> ProfileControl::unambiguous(const std::vector<ProfileRead>& reads, Saved&& saved) {
  std::map<Site, std::set<std::string>> handles;
  for (const auto& r : reads) handles[r.site].insert(r.handle);
  std::vector<ProfileRead> kept;
  for (const auto& r : reads)
    if (saved(r.site) || handles[r.site].size() == 1) kept.push_back(r);
  return kept;
}

}  // namespace zel::profile
