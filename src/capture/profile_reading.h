#pragma once
// The host's say over profile reading: control lines on standard input arm
// and disarm it and name the user's own handles; profile control keeps that
// state for the readers and answers what they may read and keep.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "capture/date.h"
#include "capture/profile_page.h"
#include "capture/profile_read.h"

namespace zel {

struct ControlLine {
  struct Arm {
    struct LinkedIn {
      std::optional<std::string> slug;
    };
    struct X {
      std::optional<std::string> handle;
    };
    std::optional<LinkedIn> linkedin;
    std::optional<X> x;
  };
  struct Own {
    std::optional<std::string> linkedin, x;
  };

  // Absent: no change to arming; nullopt inside: disarm; an Arm: arm.
  std::optional<std::optional<Arm>> arm;
  std::optional<Date> until;
  std::optional<Own> own;

  // Nullopt for anything that is not exactly a control line: not JSON, a
  // value of the wrong type, an "until" that is not an ISO time.
  static std::optional<ControlLine> parse(std::string_view line);
};

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

// When an own profile page is read quickly (fresh in the front browser) and
// when it rests (settled: the same content read twice a moment apart).
class ProfileSchedule {
 public:
  double fast = 1;         // read interval while a fresh page is in front
  double window = 20;      // how long after first seen a page counts as fresh
  double rest = 600;       // how long a settled page rests
  double stableGap = 1;    // how long a read must stay the same before resting

  // What of a read, when it changes, makes the page worth reading again:
  // sections, entries, the bio and the photo appearing or going.
  static std::string signature(const ProfileRead& read);

  void record(const std::set<std::string>& seen, const std::map<std::string, std::string>& own, Date now);
  std::optional<double> interval(Date now, bool isFront) const;
  bool isResting(const std::string& key, Date now) const;
  std::set<std::string> resting(Date now) const;
  void retry(ProfilePage::Site site);

 private:
  struct Own {
    std::string signature;
    Date at;
  };
  std::map<std::string, Date> visits_;
  std::map<std::string, Own> lastOwn_;
  std::map<std::string, Date> resting_;
};

// Keeps profile output quiet: a read is printed when its content changed, a
// not-own status at most every five seconds while it stays the same.
class ProfileGate {
 public:
  double statusEvery = 5;

  bool shouldPrint(const ProfileRead& read, const std::string& key);
  bool shouldPrint(const ProfileStatus& status, const std::string& key, Date at);
  void retry(ProfilePage::Site site);

 private:
  std::map<std::string, ProfileRead> last_;
  std::map<std::string, std::pair<ProfileStatus, Date>> lastStatus_;
};

}  // namespace zel
