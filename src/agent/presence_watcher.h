#pragma once
// Follows screen lock, display sleep and idle time, and wakes the readers
// when any of them changes what is due.

#include <functional>

#include "agent/presence_look.h"
#include "agent/read_schedule.h"
#include "agent/session_gate.h"
#include "agent/wake.h"
#include "platform/run_loop.h"
#include "platform/session.h"

namespace zel::agent {

class PresenceWatcher {
 public:
  PresenceWatcher(platform::Session& platformSession, ReadSchedule schedule, Wake& wake,
                  std::function<Date()> now = &Date::now);

  SessionGate& session() { return session_; }
  double idleSeconds() const { return platformSession_.idleSeconds(); }

  // A notification from the main run loop; returns whether it was one of ours.
  bool notify(platform::SystemEvent e);
  // The presence thread: looks, pokes when something changed, sleeps.
  [[noreturn]] void run();

  // The probes behind the session gate.
  static std::optional<bool> lockedProbe(platform::Session& s) { return s.screenLockFlag(); }
  static std::optional<bool> displaysAsleep(platform::Session& s);

 private:
  platform::Session& platformSession_;
  ReadSchedule schedule_;
  Wake& wake_;
  std::function<Date()> now_;
  SessionGate session_;
};

}  // namespace zel::agent
