#include "chat/own_chat_only.h"

#include "chat/chat_page.h"

namespace zel::chat {

std::optional<Conversation> OwnChatOnly::extract(const trees::AXNode& window) const {
  auto conversation = window.hasFramedPages() ? inner_->extract(window.withoutFramedPages()) : inner_->extract(window);
  if (!conversation || ChatPage::refuses(*conversation)) return std::nullopt;
  return conversation;
}

}  // namespace zel::chat
