#include "profile/profile_pages.h"

namespace zel::profile {

void SeenPages::reset(std::set<std::string> resting) {
  std::lock_guard g(lock_);
  pages_.clear();
  resting_ = std::move(resting);
}

bool SeenPages::offer(const ProfilePage& page) {
  std::lock_guard g(lock_);
  std::string key = page.key();
  const bool rests = resting_.contains(key);
  pages_.insert(std::move(key));
  return !rests;
}

std::set<std::string> SeenPages::pages() const {
  std::lock_guard g(lock_);
  return pages_;
}

void OtherHandlePages::insert(const ProfilePage& page) {
  std::lock_guard g(lock_);
  pages_.try_emplace(page.key(), page);
}

std::vector<ProfilePage> OtherHandlePages::take() {
  std::lock_guard g(lock_);
  std::vector<ProfilePage> taken;
  taken.reserve(pages_.size());
  for (auto& [key, page] : pages_) taken.push_back(std::move(page));
  pages_.clear();
  return taken;
}

std::optional<browsers::PageVerdict> judgeProfilePage(const std::string& url, bool profilesOn,
                                                      const ProfileControl& control, Date now, bool isFront,
                                                      SeenPages& seen, OtherHandlePages& others) {
  const auto page = ProfilePage::parse(url);
  if (!page) return std::nullopt;
  if (!profilesOn) return browsers::PageVerdict::profilesOff;
  if (control.isOtherHandle(*page, now, isFront)) {
    others.insert(*page);
    return browsers::PageVerdict::profileNotAdmitted;
  }
  if (control.mayWalk(*page, now, isFront))
    return seen.offer(*page) ? browsers::PageVerdict::read : browsers::PageVerdict::profileResting;
  return browsers::PageVerdict::profileNotAdmitted;
}

}  // namespace zel::profile
