#include "chat/grok/grok_page.h"

#include "base/address_pieces.h"
#include "base/hosts.h"

namespace zel::chat::GrokPage {

std::optional<std::string> conversation(const HttpsAddress& page) {
  const auto& s = page.segments;
  if (page.host == hosts::grokWeb) {
    if (s.size() == 2 && s[0] == "c" && ChatPage::isIdentifier(s[1])) return std::string(page.withoutQuery);
    return std::nullopt;
  }
  if (page.host != hosts::x || s.size() != 2 || s[0] != "i" || s[1] != "grok") return std::nullopt;
  for (std::string_view item : splitKeepingEmpty(page.query, '&')) {
    constexpr std::string_view key = "conversation=";
    if (!item.starts_with(key)) continue;
    if (!ChatPage::isIdentifier(item.substr(key.size()))) return std::nullopt;
    return std::string(page.withoutQuery) + "?" + std::string(item);
  }
  return std::nullopt;
}

}  // namespace zel::chat::GrokPage
