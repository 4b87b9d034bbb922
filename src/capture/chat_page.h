#pragma once
// Which chat pages may be read in a browser: the user named the browser, the
// browser's row lists the site, and the page address has the exact shape of a
// conversation of that site. Also the wrapper that keeps desktop chat apps to
// their own conversations.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "capture/browsers.h"
#include "capture/capture_clock.h"
#include "capture/conversation.h"

namespace zel {

// The browsers the host allowed chat pages in ("--chat-browsers").
struct BrowserChatConsent {
  std::set<std::string> bundleIDs;

  explicit BrowserChatConsent(const std::vector<std::string>& arguments);
  bool allows(std::string_view bundleID) const { return bundleIDs.contains(std::string(bundleID)); }

  // The page filter of a browser's snapshots: chat pages where allowed,
  // otherwise whatever `profile` admits.
  template <class Chat, class Profile>
  bool mayWalk(const std::string& url, std::string_view bundleID, Chat&& chat, Profile&& profile) const {
    if (allows(bundleID) && chat(url)) return true;
    return profile(url);
  }
};

namespace ChatPage {

// The conversation address of `url` for a source, compared byte for byte:
// scheme, host and path shape must be exactly a conversation's. Query and
// fragment are dropped (the X form keeps its conversation item).
std::optional<std::string> address(std::string_view url, Source source);

// Whether a desktop app's conversation shows a page that is not one of the
// user's own conversations.
bool refuses(const Conversation& conversation);

}  // namespace ChatPage

class BrowserExtractor final : public Extractor {
 public:
  explicit BrowserExtractor(std::optional<Browser> browser, CaptureClock clock = CaptureClock::system());

  std::optional<Conversation> extract(const AXNode& window) const override;

  // A fresh extractor for the chat site of `url`; null when the address is no
  // conversation of a site this browser may read.
  std::unique_ptr<Extractor> site(std::string_view url) const;
  bool reads(std::string_view url) const { return site(url) != nullptr; }

  // Whether a window title ends like a private window of any known browser.
  static bool isIncognito(const std::optional<std::string>& windowTitle);

  const std::optional<Browser>& browser() const { return browser_; }

 private:
  std::optional<Browser> browser_;
  CaptureClock clock_;
};

// Hands a desktop app's window, without framed pages, to `inner` and refuses
// conversations that are not the user's own chats.
class OwnChatOnly final : public Extractor {
 public:
  explicit OwnChatOnly(std::shared_ptr<const Extractor> inner) : inner_(std::move(inner)) {}
  std::optional<Conversation> extract(const AXNode& window) const override;

 private:
  std::shared_ptr<const Extractor> inner_;
};

}  // namespace zel
