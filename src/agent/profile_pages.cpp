#include "agent/profile_pages.h"

namespace zel::agent {

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

}  // namespace zel::agent
