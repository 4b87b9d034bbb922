#include "browsers/chat_apps.h"

#include "base/ax_vocabulary.h"

namespace zel::browsers::ChatApps {

namespace {
ChatApp row(const char* bundleID, const char* name, const char* team, std::string_view treeSwitch, const char* chat) {
  ChatApp app;
  app.bundleID = bundleID;
  app.name = name;
  app.signer = {KnownAppRow::Signer::Kind::developerId, team};
  app.treeSwitch = std::string(treeSwitch);
  app.chat = chat;
  return app;
}
}  // namespace

const std::vector<ChatApp>& all() {
  static const std::vector<ChatApp> rows{
      row("com.openai.codex", "Codex", "2DC432GLL2", AX::EnhancedUserInterface, "chatgpt"),
      row("com.anthropic.claudefordesktop", "Claude", "Q6L2SF6YDW", AX::ManualAccessibility, "claude"),
  };
  return rows;
}

const ChatApp* named(std::string_view bundleID) {
  for (const ChatApp& app : all())
    if (app.bundleID == bundleID) return &app;
  return nullptr;
}

}  // namespace zel::browsers::ChatApps
