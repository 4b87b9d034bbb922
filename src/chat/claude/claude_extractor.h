#pragma once
// Reads a Claude conversation from a window, message by message: the Claude
// desktop application and Claude pages in browsers. Each message is an
// article; its description carries its ordinal and the conversation's total.

#include <optional>
#include <string>

#include "base/capture_clock.h"
#include "chat/conversation.h"

namespace zel::chat {

class ClaudeExtractor final : public Extractor {
 public:
  explicit ClaudeExtractor(Source source, CaptureClock clock = CaptureClock::system());

  std::optional<Conversation> extract(const trees::AXNode& window) const override;

  struct WebKitMessage {
    bool isUser;
    std::string text;
    std::optional<std::string> shown;
  };
  struct ClassFreeMessage {
    Turn::Role role;
    std::string text;
    std::optional<std::string> shown;
  };

  // A message in web content, laid out around a visually hidden heading.
  static std::optional<WebKitMessage> webKitMessage(const trees::AXNode& message);
  // A message in a tree without web classes; `position` is the first number
  // of its description.
  static std::optional<ClassFreeMessage> classFreeMessage(const trees::AXNode& message,
                                                          std::optional<int64_t> position);
  static bool isReplyContent(const trees::AXNode& node);

  Source source() const { return source_; }

 private:
  Source source_;
  CaptureClock clock_;
};

}  // namespace zel::chat
