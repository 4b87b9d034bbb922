#pragma once
// Reads a ChatGPT conversation from a window: the Codex desktop application
// and ChatGPT pages in browsers. Trees differ between hosts and versions, so
// three readings are known and one is picked by what the tree contains.

#include <optional>
#include <vector>

#include "base/capture_clock.h"
#include "chat/conversation.h"

namespace zel::chat {

class ChatGPTExtractor final : public Extractor {
 public:
  explicit ChatGPTExtractor(Source source, CaptureClock clock = CaptureClock::system());

  std::optional<Conversation> extract(const trees::AXNode& window) const override;

  // Messages as groups that start with a visually hidden heading.
  static std::optional<std::vector<Turn>> webKitTurns(const trees::AXNode& scrollContainer);
  // Trees without web classes, laid out by landmarks and heading groups.
  static std::optional<std::vector<Turn>> classFreeTurns(const trees::AXNode& window);
  // Whether a node carries answer content.
  static bool isReplyContent(const trees::AXNode& node);

  Source source() const { return source_; }

 private:
  Source source_;
  CaptureClock clock_;
};

}  // namespace zel::chat
