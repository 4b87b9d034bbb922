#include "agent/presence_look.h"

namespace zel::agent {

PresenceLook::Step PresenceLook::look(SessionGate& session, double idleSeconds, const ReadSchedule& schedule) {
  const bool p = session.paused();
  const uint64_t g = session.pauseGeneration();
  if (p) {
    wasAway = true;
    if (!pausesSeen) pausesSeen = g - 1;  // wraps at 0 on purpose: "not this generation"
    return {false, schedule.away};
  }
  const bool away = idleSeconds >= schedule.awayAfter;
  bool poke;
  if (pausesSeen && *pausesSeen != g) poke = true;
  else poke = away ? false : wasAway;
  wasAway = away;
  pausesSeen = g;
  return {poke, away ? schedule.front : std::max(schedule.front, schedule.awayAfter - idleSeconds)};
}

}  // namespace zel::agent
