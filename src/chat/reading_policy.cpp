#include "chat/reading_policy.h"

namespace zel::chat {

ReadingPolicy::ReadingPolicy(BrowserChatConsent consent, std::shared_ptr<const BrowserExtractor> chats)
    : consent_(std::move(consent)), chats_(std::move(chats)) {}

browsers::PageVerdict ReadingPolicy::judge(const std::string& url, const ProfileJudge& profile) const {
  if (!consent_) {
    const auto verdict = profile ? profile(url) : std::nullopt;
    return verdict.value_or(browsers::PageVerdict::read);
  }
  const bool reads = chats_ && chats_->reads(url);
  if (reads && chats_->browser() && consent_->allows(chats_->browser()->bundleID)) return browsers::PageVerdict::read;
  if (auto verdict = profile ? profile(url) : std::nullopt) return *verdict;
  if (!BrowserExtractor::readsAnySite(url)) return browsers::PageVerdict::notAChatPage;
  if (!reads) return browsers::PageVerdict::chatSiteNotForBrowser;
  return browsers::PageVerdict::chatNotAllowed;
}

}  // namespace zel::chat
