#pragma once
// One look of the presence watcher: whether the user came back or reading
// was paused, and when to look again.

#include <cstdint>
#include <optional>

#include "agent/read_schedule.h"
#include "agent/session_gate.h"

namespace zel::agent {

// The presence watcher's step: whether to wake the readers, and when to look
// again.
struct PresenceLook {
  bool wasAway = false;
  std::optional<uint64_t> pausesSeen;

  struct Step {
    bool poke;
    std::optional<double> next;
    friend bool operator==(const Step&, const Step&) = default;
  };
  Step look(SessionGate& session, double idleSeconds, const ReadSchedule& schedule);
};

}  // namespace zel::agent
