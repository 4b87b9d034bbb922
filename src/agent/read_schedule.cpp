#include "agent/read_schedule.h"

#include <algorithm>
#include <cmath>

namespace zel::agent {

double ReadSchedule::backgroundInterval(int64_t unchangedReads) const {
  const int n = static_cast<int>(std::clamp<int64_t>(unchangedReads, 0, 8));
  return std::min(std::max(background, away), std::ldexp(background, n));
}

double ReadSchedule::interval(bool isFront, double idleSeconds, bool locked, int64_t unchangedReads) const {
  if (locked || idleSeconds >= awayAfter) return away;
  if (isFront) return front;
  return backgroundInterval(unchangedReads);
}

std::optional<Date> ReadSchedule::due(Date after, bool isFront, double idleSeconds, bool locked, bool displaysAsleep,
                                      bool wasPaused, std::optional<Date> heartbeatDue,
                                      int64_t unchangedReads) const {
  if (locked || displaysAsleep) return std::nullopt;
  if (wasPaused) return after;
  const double wait = idleSeconds >= awayAfter ? away : isFront ? front : backgroundInterval(unchangedReads);
  Date due = after.adding(wait);
  if (heartbeatDue) due = std::min(due, *heartbeatDue);
  return due;
}

std::optional<double> ReadSchedule::presenceCheck(double idleSeconds, bool locked, bool displaysAsleep) const {
  if (locked || displaysAsleep) return away;
  if (idleSeconds >= awayAfter) return front;
  return std::max(front, awayAfter - idleSeconds);
}

}  // namespace zel::agent
