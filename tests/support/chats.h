#pragma once
// Helpers for tests of chat extraction.

#include <optional>
#include <string>

#include "base/capture_clock.h"
#include "chat/conversation.h"

namespace zel::test {

// A clock fixed at 2026-01-31T09:15:00Z in Europe/Berlin.
CaptureClock fixedClock();

// One line per turn: role|text|attachments joined by ","|position|shownTime|shownDay,
// with absent values as "-" and newlines in texts as "\n".
std::string turnsOf(const std::optional<chat::Conversation>& c);

}  // namespace zel::test
