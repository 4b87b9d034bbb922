#include "profile/x/x_page.h"

#include <algorithm>

#include "base/unicode_text.h"

namespace zel::profile::XPage {

const std::vector<std::string_view>& reserved() {
  static const std::vector<std::string_view> words{
      "i",     "home",   "explore", "notifications", "messages", "settings", "search",  "compose", "jobs",
      "premium_sign_up", "login", "logout", "signup", "tos", "privacy", "hashtag", "intent", "share"};
  return words;
}

std::optional<std::string> normalizedHandle(std::string_view text) {
  std::string handle = lowercased(text);
  if (handle.empty() || handle.size() > 15) return std::nullopt;
  for (unsigned char c : handle)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return std::nullopt;
  const auto& words = reserved();
  if (std::find(words.begin(), words.end(), handle) != words.end()) return std::nullopt;
  return handle;
}

std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments) {
  if (segments.size() != 1) return std::nullopt;
  auto handle = normalizedHandle(segments[0]);
  if (!handle) return std::nullopt;
  return ProfilePage{ProfilePage::Site::x, std::move(*handle), ProfilePage::View::profile};
}

}  // namespace zel::profile::XPage
