#include "agent/presence_watcher.h"

namespace zel::agent {

std::optional<bool> PresenceWatcher::displaysAsleep(platform::Session& s) {
  const auto displays = s.displaysAsleep();
  if (displays.empty()) return std::nullopt;
  for (bool asleep : displays)
    if (!asleep) return false;
  return true;
}

PresenceWatcher::PresenceWatcher(platform::Session& platformSession, ReadSchedule schedule, Wake& wake,
                                 std::function<Date()> now)
    : platformSession_(platformSession),
      schedule_(schedule),
      wake_(wake),
      now_(std::move(now)),
      session_(SessionGate::Probe{[this] { return lockedProbe(platformSession_); },
                                  [this] { return displaysAsleep(platformSession_); }}) {
  session_.seed();
}

bool PresenceWatcher::notify(platform::SystemEvent e) {
  using E = platform::SystemEvent;
  switch (e) {
    case E::screensDidSleep: session_.noteDisplaysAsleep(true); break;
    case E::screensDidWake: session_.noteDisplaysAsleep(false); break;
    case E::screenUnlocked: session_.noteLocked(false); break;
    case E::screenLocked: session_.noteLocked(true); break;
    default: return false;
  }
  wake_.poke();
  return true;
}

void PresenceWatcher::run() {
  PresenceLook look;
  while (true) {
    const uint64_t g = wake_.generation();
    std::optional<double> next = schedule_.parkedRecheck;
    try {
      const auto step = look.look(session_, idleSeconds(), schedule_);
      if (step.poke) wake_.poke();
      next = step.next;
    } catch (const std::exception&) {
      // Out of memory, most likely: look again later rather than end.
    }
    const Date deadline = next ? now_().adding(*next) : Date{Date::distantFuture};
    wake_.wait(deadline, g);
  }
}

}  // namespace zel::agent
