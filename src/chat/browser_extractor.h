#pragma once
// Reads a chat from a browser window: the window must not be private, its
// page must be a conversation of a chat site the browser's row reads, and the
// site's own extractor reads the page.

#include <memory>
#include <optional>
#include <string_view>

#include "base/capture_clock.h"
#include "browsers/browsers.h"
#include "chat/conversation.h"

namespace zel::chat {

class BrowserExtractor final : public Extractor {
 public:
  explicit BrowserExtractor(std::optional<browsers::Browser> browser, CaptureClock clock = CaptureClock::system());

  std::optional<Conversation> extract(const trees::AXNode& window) const override;

  // A fresh extractor for the chat site of `url`; null when the address is no
  // conversation of a site this browser may read.
  std::unique_ptr<Extractor> site(std::string_view url) const;
  bool reads(std::string_view url) const { return site(url) != nullptr; }
  // Whether the address is a conversation of any chat site, whatever the
  // browser.
  static bool readsAnySite(std::string_view url);

  const std::optional<browsers::Browser>& browser() const { return browser_; }

 private:
  std::optional<browsers::Browser> browser_;
  CaptureClock clock_;
};

}  // namespace zel::chat
