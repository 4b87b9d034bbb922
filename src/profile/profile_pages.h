#pragma once
// The two page sets a browser reader keeps while it reads profiles: the own
// pages its page filter let through during the current read, and the pages
// of other people it met and refused to walk; and the reader's judgement of
// a profile page, which fills them.

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/date.h"
#include "browsers/read_verdicts.h"
#include "profile/profile_control.h"
#include "profile/profile_page.h"

namespace zel::profile {

// Own profile pages offered during one read, and those the profile schedule
// says are resting (read again only after their rest ends).
class SeenPages {
 public:
  // A new read: nothing offered yet, and these page keys resting.
  void reset(std::set<std::string> resting);
  // Records the page as seen; true when it is not resting.
  bool offer(const ProfilePage& page);
  std::set<std::string> pages() const;

 private:
  mutable std::mutex lock_;
  std::set<std::string> pages_;
  std::set<std::string> resting_;
};

// Other people's profile pages met during one read: never walked, only
// remembered so that the host hears that such a page is showing.
class OtherHandlePages {
 public:
  void insert(const ProfilePage& page);
  // Everything met since the last take, leaving the set empty.
  std::vector<ProfilePage> take();

 private:
  std::mutex lock_;
  std::map<std::string, ProfilePage> pages_;  // by page key
};

// How a browser reader judges a page, by its address, for profiles: nullopt
// for an address that is no profile page. An own page the host armed (or
// saved) is read unless it rests; another person's page is refused and
// remembered in `others`, for its status line.
std::optional<browsers::PageVerdict> judgeProfilePage(const std::string& url, bool profilesOn,
                                                      const ProfileControl& control, Date now, bool isFront,
                                                      SeenPages& seen, OtherHandlePages& others);

}  // namespace zel::profile
