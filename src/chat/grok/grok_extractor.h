#pragma once
// Reads a Grok chat page in a browser: a column of rows, the user's aligned
// to the end and the answers to the start.

#include <optional>

#include "base/capture_clock.h"
#include "chat/conversation.h"

namespace zel::chat {

class GrokExtractor final : public Extractor {
 public:
  explicit GrokExtractor(CaptureClock clock = CaptureClock::system());

  std::optional<Conversation> extract(const trees::AXNode& window) const override;
  static bool isReplyContent(const trees::AXNode& node);

 private:
  CaptureClock clock_;
};

}  // namespace zel::chat
