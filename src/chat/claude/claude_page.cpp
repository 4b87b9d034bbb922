#include "chat/claude/claude_page.h"

#include "base/hosts.h"

namespace zel::chat::ClaudePage {

std::optional<std::string> conversation(const HttpsAddress& page) {
  const auto& s = page.segments;
  if (page.host != hosts::claudeWeb || s.size() != 2) return std::nullopt;
  constexpr std::string_view session = "session_";
  if ((s[0] == "chat" && ChatPage::isIdentifier(s[1])) ||
      (s[0] == "epitaxy" && s[1].starts_with(session) && ChatPage::isIdentifier(s[1].substr(session.size()))))
    return std::string(page.withoutQuery);
  return std::nullopt;
}

}  // namespace zel::chat::ClaudePage
