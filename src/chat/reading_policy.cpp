#include "chat/reading_policy.h"

namespace zel {

ReadingPolicy::ReadingPolicy(BrowserChatConsent consent, std::shared_ptr<const BrowserExtractor> chats)
    : consent_(std::move(consent)), chats_(std::move(chats)) {}

PageVerdict ReadingPolicy::judge(const std::string& url, const ProfileJudge& profile) const {
  if (!consent_) {
    const auto verdict = profile ? profile(url) : std::nullopt;
    return verdict.value_or(PageVerdict::read);
  }
  const bool reads = chats_ && chats_->reads(url);
  if (reads && chats_->browser() && consent_->allows(chats_->browser()->bundleID)) return PageVerdict::read;
  if (auto verdict = profile ? profile(url) : std::nullopt) return *verdict;
  if (!BrowserExtractor::readsAnySite(url)) return PageVerdict::notAChatPage;
  if (!reads) return PageVerdict::chatSiteNotForBrowser;
  return PageVerdict::chatNotAllowed;
}

}  // namespace zel
