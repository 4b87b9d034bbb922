#include "support/chats.h"

namespace zel::test {

CaptureClock fixedClock() { return CaptureClock::fixed(Date{791543700}, "Europe/Berlin"); }

std::string turnsOf(const std::optional<chat::Conversation>& c) {
  if (!c) return "(no conversation)";
  auto shown = [](const std::string& s) {
    std::string out;
    for (char ch : s) out += ch == '\n' ? std::string("\\n") : std::string(1, ch);
    return out;
  };
  std::string lines;
  for (const chat::Turn& t : c->turns) {
    lines += rawValue(t.role);
    lines += "|" + shown(t.text) + "|";
    for (size_t i = 0; i < t.attachments.size(); ++i) lines += (i ? "," : "") + t.attachments[i];
    lines += "|" + (t.position ? std::to_string(*t.position) : "-");
    lines += "|" + t.shownTime.value_or("-") + "|" + t.shownDay.value_or("-") + "\n";
  }
  return lines;
}

}  // namespace zel::test
