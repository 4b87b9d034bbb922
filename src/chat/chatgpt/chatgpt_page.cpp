#include "chat/chatgpt/chatgpt_page.h"

#include "base/address_pieces.h"
#include "base/hosts.h"

namespace zel::chat::ChatGPTPage {

namespace {
// A project's segment: its id and slug, percent-escapes allowed.
bool isProjectSegment(std::string_view s) {
  if (s.empty() || s.size() > 256) return false;
  for (unsigned char c : s)
    if (!isASCIIAlnum(c) && c != '%' && c != '-' && c != '_') return false;
  return true;
}
}  // namespace

std::optional<std::string> conversation(const HttpsAddress& page) {
  const auto& s = page.segments;
  if (page.host != hosts::chatGPTWeb) return std::nullopt;
  if (s.size() == 2 && s[0] == "c" && ChatPage::isIdentifier(s[1])) return std::string(page.withoutQuery);
  if (s.size() == 4 && s[0] == "g" && isProjectSegment(s[1]) && s[2] == "c" && ChatPage::isIdentifier(s[3]))
    return std::string(page.withoutQuery);
  return std::nullopt;
}

}  // namespace zel::chat::ChatGPTPage
