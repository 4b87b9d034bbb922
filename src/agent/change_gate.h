#pragma once
// Whether a read is worth a chat line: printed when it changed, or when the
// heartbeat is due.

#include <cstdint>
#include <optional>
#include <vector>

#include "agent/read_status.h"
#include "base/date.h"
#include "chat/conversation.h"

namespace zel::agent {

// Suppresses lines whose conversations and status equal the last printed
// ones, until the heartbeat is due.
class ChangeGate {
 public:
  explicit ChangeGate(double heartbeat) : heartbeat_(heartbeat) {}

  bool shouldPrint(const std::vector<chat::Conversation>& chats, ReadStatus status, Date at);
  std::optional<Date> heartbeatDue() const;
  int64_t unchanged() const { return unchanged_; }

 private:
  double heartbeat_;
  std::optional<std::vector<chat::Conversation>> last_;
  std::optional<ReadStatus> lastStatus_;
  std::optional<Date> printedAt_;
  int64_t unchanged_ = 0;
};

}  // namespace zel::agent
