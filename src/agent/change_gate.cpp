#include "agent/change_gate.h"

namespace zel::agent {

bool ChangeGate::shouldPrint(const std::vector<chat::Conversation>& chats, ReadStatus status, Date at) {
  std::vector<chat::Conversation> normalised = chats;
  for (chat::Conversation& c : normalised) c.capturedAt = Date{Date::distantPast};
  const std::optional<bool> heartbeat =
      printedAt_ ? std::optional<bool>(at.seconds(*printedAt_) >= heartbeat_) : std::nullopt;
  if (last_ && *last_ == normalised && lastStatus_ && *lastStatus_ == status) {
    ++unchanged_;
    if (heartbeat && !*heartbeat) return false;
  } else {
    unchanged_ = 0;
  }
  last_ = std::move(normalised);
  lastStatus_ = status;
  printedAt_ = at;
  return true;
}

std::optional<Date> ChangeGate::heartbeatDue() const {
  if (!printedAt_) return std::nullopt;
  return printedAt_->adding(heartbeat_);
}

}  // namespace zel::agent
