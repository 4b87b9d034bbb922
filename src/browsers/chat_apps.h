#pragma once
// The desktop chat applications the agent reads, one row each: who signs
// them, which accessibility switch shows their content, and whose chats they
// show. Their bundle identifiers are the library's, on every system.

#include <string>
#include <string_view>
#include <vector>

#include "browsers/known_app_row.h"

namespace zel::browsers {

// A desktop chat app's row: the shape every known application has, and the
// chat site whose conversations it shows ("chatgpt", "claude").
struct ChatApp : KnownAppRow {
  std::string chat;
  friend bool operator==(const ChatApp&, const ChatApp&) = default;
};

namespace ChatApps {

// Codex, then Claude.
const std::vector<ChatApp>& all();
const ChatApp* named(std::string_view bundleID);

}  // namespace ChatApps

}  // namespace zel::browsers
