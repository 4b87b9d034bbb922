#include "chat/browser_chat_consent.h"

namespace zel {

PageVerdict BrowserChatConsent::judge(const std::string& url, const BrowserExtractor& chats,
                                      const ProfileJudge& profile) const {
  const std::optional<Browser>& row = chats.browser();
  const bool allowed = row && allows(row->bundleID);
  if (allowed && chats.reads(url)) return PageVerdict::read;
  if (auto verdict = profile ? profile(url) : std::nullopt) return *verdict;
  if (!BrowserExtractor::readsAnySite(url)) return PageVerdict::notAChatPage;
  if (!chats.reads(url)) return PageVerdict::chatSiteNotForBrowser;
  return PageVerdict::chatNotAllowed;
}

}  // namespace zel
