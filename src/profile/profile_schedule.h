#pragma once
// When an own profile page is read again: quickly while fresh in front, and
// not at all while it rests.

#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/date.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"

namespace zel::profile {

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

}  // namespace zel::profile
