#pragma once
// Which pages a browser's reads may walk, judged by address: one decision, as
// a value, that the agent acts on, `zel-capture explain` reports and
// `zel-capture record` uses. Private windows are judged before any page, in
// the snapshot, whatever the page policy.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "browsers/read_verdicts.h"
#include "chat/browser_extractor.h"

namespace zel::chat {

// The browsers the host allowed chat pages in ("--chat-browsers").
struct BrowserChatConsent {
  std::set<std::string> bundleIDs;

  explicit BrowserChatConsent(std::set<std::string> ids) : bundleIDs(std::move(ids)) {}
  bool allows(std::string_view bundleID) const { return bundleIDs.contains(std::string(bundleID)); }
};

class ReadingPolicy {
 public:
  // How the reader judges a profile page; nullopt for an address that is no
  // profile page. The reader's judge remembers what it met, so it is handed
  // in per read rather than kept.
  using ProfileJudge = std::function<std::optional<browsers::PageVerdict>(const std::string& url)>;

  // The agent's: a chat page of a site the browser reads, where the host
  // allowed chats; otherwise whatever `profile` admits; and why not.
  ReadingPolicy(BrowserChatConsent consent, std::shared_ptr<const BrowserExtractor> chats);
  // A recording's: every page, but a profile page only as `profile` admits.
  static ReadingPolicy everyPage() { return ReadingPolicy(); }

  browsers::PageVerdict judge(const std::string& url, const ProfileJudge& profile) const;

 private:
  ReadingPolicy() = default;

  std::optional<BrowserChatConsent> consent_;  // none: every page
  std::shared_ptr<const BrowserExtractor> chats_;
};

}  // namespace zel::chat
