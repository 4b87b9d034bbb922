#include "chat/browser_extractor.h"

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"
#include "chat/chat_page.h"
#include "chat/chat_sites.h"

namespace zel::chat {

BrowserExtractor::BrowserExtractor(std::optional<browsers::Browser> browser, CaptureClock clock)
    : browser_(std::move(browser)), clock_(std::move(clock)) {}

bool BrowserExtractor::readsAnySite(std::string_view url) { return BrowserExtractor(std::nullopt).reads(url); }

std::unique_ptr<Extractor> BrowserExtractor::site(std::string_view url) const {
  const auto page = httpsAddress(url);
  if (!page) return nullptr;
  for (const ChatSite& row : ChatSites::all()) {
    if (!row.conversation(*page)) continue;
    if (browser_ && !browser_->readsChat(row.name)) return nullptr;
    return row.extractor(row.source, clock_);
  }
  return nullptr;
}

std::optional<Conversation> BrowserExtractor::extract(const trees::AXNode& window) const {
  const bool refused =
      browser_ ? window.title && endsWithAnyCanonically(*window.title, browser_->privateWindow.titleSuffixes)
               : browsers::Browsers::endsLikePrivateWindow(window.title);
  if (refused) return std::nullopt;
  const trees::AXNode* page =
      window.first([](const trees::AXNode& n) { return hasRole(n, AX::WebArea) && n.url.has_value(); });
  if (!page) return std::nullopt;
  const auto extractor = site(*page->url);
  if (!extractor) return std::nullopt;
  // Framed pages are not part of the chat. Most pages have none, and then
  // the page is read in place rather than copied.
  auto conversation = page->hasFramedPages() ? extractor->extract(page->withoutFramedPages()) : extractor->extract(*page);
  if (!conversation) return std::nullopt;
  conversation->locator = page->url;
  return conversation;
}

}  // namespace zel::chat
