#include "chat/chat_page.h"

#include "chat/chat_sites.h"

namespace zel::chat {

bool ChatPage::isIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 128) return false;
  for (unsigned char c : s)
    if (!isASCIIAlnum(c) && c != '_' && c != '-') return false;
  return true;
}

std::optional<std::string> ChatPage::address(std::string_view url, Source source) {
  const ChatSite* site = ChatSites::showing(source);
  if (!site) return std::nullopt;
  const auto page = httpsAddress(url);
  return page ? site->conversation(*page) : std::nullopt;
}

bool ChatPage::refuses(const Conversation& c) {
  if (c.source == Source::chatGPTApp) return false;
  if (!c.locator || c.locator->empty() || c.locator->starts_with("app://")) return false;
  return !address(*c.locator, c.source).has_value();
}

}  // namespace zel::chat
