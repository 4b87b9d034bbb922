#include "chat/chat_page.h"

#include "base/address_pieces.h"
#include "base/hosts.h"

namespace zel {

namespace {

bool isASCIIAlnum(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool isIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 128) return false;
  for (unsigned char c : s)
    if (!isASCIIAlnum(c) && c != '_' && c != '-') return false;
  return true;
}

bool isProjectSegment(std::string_view s) {
  if (s.empty() || s.size() > 256) return false;
  for (unsigned char c : s)
    if (!isASCIIAlnum(c) && c != '%' && c != '-' && c != '_') return false;
  return true;
}

using Segments = std::vector<std::string_view>;

bool is(const Segments& segments, std::initializer_list<std::string_view> expected) {
  return segments.size() == expected.size() && std::equal(segments.begin(), segments.end(), expected.begin());
}

}  // namespace

std::optional<std::string> ChatPage::address(std::string_view url, Source source) {
  constexpr std::string_view scheme = "https://";
  if (!url.starts_with(scheme)) return std::nullopt;
  const std::string_view rest = url.substr(scheme.size());
  const size_t fragment = std::min(rest.find('#'), rest.size());
  const size_t queryMark = std::min(rest.find('?'), fragment);
  const std::string_view query = queryMark < fragment ? rest.substr(queryMark + 1, fragment - queryMark - 1) : "";
  const std::string_view beforeQuery = rest.substr(0, queryMark);
  const size_t slash = beforeQuery.find('/');
  if (beforeQuery.empty() || slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = beforeQuery.substr(0, slash);
  std::string_view path = beforeQuery.substr(slash);
  if (path.ends_with('/')) path.remove_suffix(1);
  Segments segments = splitKeepingEmpty(path, '/');
  segments.erase(segments.begin());

  const std::string result = std::string(scheme) + std::string(beforeQuery);
  switch (source) {
    case Source::chatGPTApp: return std::nullopt;
    case Source::chatGPTWeb:
      if (host != hosts::chatGPTWeb) return std::nullopt;
      if (segments.size() == 2 && segments[0] == "c" && isIdentifier(segments[1])) return result;
      if (segments.size() == 4 && segments[0] == "g" && isProjectSegment(segments[1]) && segments[2] == "c" &&
          isIdentifier(segments[3]))
        return result;
      return std::nullopt;
    case Source::claudeApp:
    case Source::claudeWeb:
      if (host != hosts::claudeWeb || segments.size() != 2) return std::nullopt;
      if (segments[0] == "chat" && isIdentifier(segments[1])) return result;
      if (segments[0] == "epitaxy" && segments[1].starts_with("session_") &&
          isIdentifier(segments[1].substr(std::string_view("session_").size())))
        return result;
      return std::nullopt;
    case Source::grokWeb:
      if (host == hosts::grokWeb) {
        if (segments.size() == 2 && segments[0] == "c" && isIdentifier(segments[1])) return result;
        return std::nullopt;
      }
      if (host != hosts::x || !is(segments, {"i", "grok"})) return std::nullopt;
      for (std::string_view item : splitKeepingEmpty(query, '&')) {
        constexpr std::string_view key = "conversation=";
        if (!item.starts_with(key)) continue;
        // The first conversation item decides.
        if (!isIdentifier(item.substr(key.size()))) return std::nullopt;
        return result + "?" + std::string(item);
      }
      return std::nullopt;
  }
  return std::nullopt;
}

bool ChatPage::refuses(const Conversation& c) {
  if (c.source == Source::chatGPTApp) return false;
  if (!c.locator || c.locator->empty() || c.locator->starts_with("app://")) return false;
  return !address(*c.locator, c.source).has_value();
}

}  // namespace zel
