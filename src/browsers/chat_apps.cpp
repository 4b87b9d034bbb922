#include "browsers/chat_apps.h"

#include "base/ax_vocabulary.h"

namespace zel::ChatApps {

const std::vector<ChatApp>& all() {
  static const std::vector<ChatApp> rows{
      {"com.openai.codex", "Codex", "2DC432GLL2", AX::EnhancedUserInterface, "chatgpt"},
      {"com.anthropic.claudefordesktop", "Claude", "Q6L2SF6YDW", AX::ManualAccessibility, "claude"},
  };
  return rows;
}

const ChatApp* named(std::string_view bundleID) {
  for (const ChatApp& app : all())
    if (app.bundleID == bundleID) return &app;
  return nullptr;
}

}  // namespace zel::ChatApps
