#pragma once
// Which profile reads and statuses are worth a line.

#include <map>
#include <string>
#include <utility>

#include "base/date.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"

namespace zel::profile {

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

}  // namespace zel::profile
