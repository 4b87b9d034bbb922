#pragma once
// How often a target is read: in front, in the background with a back-off,
// while the user is away, and while reading is paused.

#include <cstdint>
#include <optional>

#include "base/date.h"

namespace zel::agent {

struct ReadSchedule {
  double front = 4.0;            // while the target is in front
  double background = 20.0;      // base interval in the background
  double away = 60.0;            // while the user is away; cap of the back-off
  double awayAfter = 120.0;      // idle seconds after which the user is away
  double parkedRecheck = 60.0;   // sleep while paused by lock or display sleep
  // A browser whose windows show no page yet (its tree is still being built
  // after the first look at it) is looked at again this soon, then every
  // `pageRetryLater` seconds, at most `pageRetries` times in a row.
  double pageRetryFirst = 1.0;
  double pageRetryLater = 2.0;
  int pageRetries = 10;

  friend bool operator==(const ReadSchedule&, const ReadSchedule&) = default;

  // The background interval after `unchangedReads` unchanged reads: doubling
  // from `background`, capped at the larger of `background` and `away`.
  double backgroundInterval(int64_t unchangedReads) const;
  double interval(bool isFront, double idleSeconds, bool locked, int64_t unchangedReads) const;
  std::optional<Date> due(Date after, bool isFront, double idleSeconds, bool locked, bool displaysAsleep,
                          bool wasPaused, std::optional<Date> heartbeatDue, int64_t unchangedReads) const;
  // How long the presence watcher may sleep.
  std::optional<double> presenceCheck(double idleSeconds, bool locked, bool displaysAsleep) const;
};

}  // namespace zel::agent
