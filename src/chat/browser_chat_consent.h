#pragma once
// The browsers the host allowed chat pages in, and the page policy of a
// browser's reads built on that consent: one decision, as a value, that the
// agent acts on and the tools report.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "browsers/read_verdicts.h"
#include "chat/browser_extractor.h"

namespace zel {

// The browsers the host allowed chat pages in ("--chat-browsers").
struct BrowserChatConsent {
  std::set<std::string> bundleIDs;

  explicit BrowserChatConsent(std::set<std::string> ids) : bundleIDs(std::move(ids)) {}
  bool allows(std::string_view bundleID) const { return bundleIDs.contains(std::string(bundleID)); }

  // How the reader judges a profile page; nullopt for an address that is no
  // profile page.
  using ProfileJudge = std::function<std::optional<PageVerdict>(const std::string& url)>;

  // The page policy of a browser's reads: a chat page the browser reads
  // where chats are allowed, otherwise whatever `profile` admits; and why
  // not.
  PageVerdict judge(const std::string& url, const BrowserExtractor& chats, const ProfileJudge& profile) const;
};

}  // namespace zel
