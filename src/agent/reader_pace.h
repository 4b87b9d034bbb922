#pragma once
// When one reader reads next, from the time, its target's place, the user's
// presence and what its last reads found.

#include <cstdint>
#include <optional>

#include "agent/read_schedule.h"
#include "agent/session_gate.h"
#include "base/date.h"

namespace zel::agent {

// One reader's pacing.
struct ReaderPace {
  Date started{Date::distantPast};
  std::optional<Date> ended;  // of the read that began at `started`, once it has
  std::optional<uint64_t> pausesAtRead;
  bool readInFront = false;

  struct Next {
    enum class Kind { wait, read };
    Kind kind = Kind::read;
    Date until{};  // for wait
    static Next read() { return {Kind::read, {}}; }
    static Next wait(Date until) { return {Kind::wait, until}; }
    friend bool operator==(const Next&, const Next&) = default;
  };

  Next next(Date now, SessionGate& session, const ReadSchedule& schedule, bool isFront, double idleSeconds,
            std::optional<Date> heartbeatDue, std::optional<double> fast, int64_t unchangedReads,
            bool profileWanted) const;
  void reading(Date at, const SessionGate& session, bool isFront);
  void finished(Date at) { ended = at; }
};

}  // namespace zel::agent
