#include "chat/chat_page.h"

#include "base/address_pieces.h"
#include "chat/chat_sites.h"

namespace zel::chat {

std::optional<ChatPage::Address> ChatPage::parsed(std::string_view url) {
  constexpr std::string_view scheme = "https://";
  if (!url.starts_with(scheme)) return std::nullopt;
  const std::string_view rest = url.substr(scheme.size());
  const size_t fragment = std::min(rest.find('#'), rest.size());
  const size_t queryMark = std::min(rest.find('?'), fragment);
  const std::string_view beforeQuery = rest.substr(0, queryMark);
  const size_t slash = beforeQuery.find('/');
  if (beforeQuery.empty() || slash == std::string_view::npos) return std::nullopt;
  Address a;
  a.host = beforeQuery.substr(0, slash);
  a.query = queryMark < fragment ? rest.substr(queryMark + 1, fragment - queryMark - 1) : "";
  a.withoutQuery = url.substr(0, scheme.size() + beforeQuery.size());
  std::string_view path = beforeQuery.substr(slash);
  if (path.ends_with('/')) path.remove_suffix(1);
  a.segments = splitKeepingEmpty(path, '/');
  a.segments.erase(a.segments.begin());
  return a;
}

bool ChatPage::isIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 128) return false;
  for (unsigned char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) && c != '_' && c != '-')
      return false;
  return true;
}

std::optional<std::string> ChatPage::address(std::string_view url, Source source) {
  const ChatSite* site = ChatSites::showing(source);
  if (!site) return std::nullopt;
  const auto page = parsed(url);
  return page ? site->conversation(*page) : std::nullopt;
}

bool ChatPage::refuses(const Conversation& c) {
  if (c.source == Source::chatGPTApp) return false;
  if (!c.locator || c.locator->empty() || c.locator->starts_with("app://")) return false;
  return !address(*c.locator, c.source).has_value();
}

}  // namespace zel::chat
