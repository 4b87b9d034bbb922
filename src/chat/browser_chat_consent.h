#pragma once
// The browsers the host allowed chat pages in, and the page filter of a
// browser's snapshots built on that consent.

#include <set>
#include <string>
#include <string_view>

namespace zel {

// The browsers the host allowed chat pages in ("--chat-browsers").
struct BrowserChatConsent {
  std::set<std::string> bundleIDs;

  explicit BrowserChatConsent(std::set<std::string> ids) : bundleIDs(std::move(ids)) {}
  bool allows(std::string_view bundleID) const { return bundleIDs.contains(std::string(bundleID)); }

  // The page filter of a browser's snapshots: chat pages where allowed,
  // otherwise whatever `profile` admits.
  template <class Chat, class Profile>
  bool mayWalk(const std::string& url, std::string_view bundleID, Chat&& chat, Profile&& profile) const {
    if (allows(bundleID) && chat(url)) return true;
    return profile(url);
  }
};

}  // namespace zel
