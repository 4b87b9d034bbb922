#pragma once
// The desktop chat applications the agent reads, one row each: who signs
// them, which accessibility switch shows their content, and whose chats they
// show. Their bundle identifiers are the library's, on every system.

#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct ChatApp {
  std::string bundleID;
  std::string name;
  std::string team;        // the signing team
  std::string treeSwitch;  // the boolean attribute that turns their tree on
  std::string chat;        // the chat site whose conversations they show: "chatgpt", "claude"
  friend bool operator==(const ChatApp&, const ChatApp&) = default;
};

namespace ChatApps {

// Codex, then Claude.
const std::vector<ChatApp>& all();
const ChatApp* named(std::string_view bundleID);

}  // namespace ChatApps

}  // namespace zel
