#pragma once
// Keeps a desktop chat application to the user's own conversations.

#include <memory>
#include <optional>

#include "chat/conversation.h"

namespace zel::chat {

// Hands a desktop app's window, without framed pages, to `inner` and refuses
// conversations that are not the user's own chats.
class OwnChatOnly final : public Extractor {
 public:
  explicit OwnChatOnly(std::shared_ptr<const Extractor> inner) : inner_(std::move(inner)) {}
  std::optional<Conversation> extract(const trees::AXNode& window) const override;

 private:
  std::shared_ptr<const Extractor> inner_;
};

}  // namespace zel::chat
