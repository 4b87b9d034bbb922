#include "agent/reader_pace.h"

#include <algorithm>

namespace zel::agent {

ReaderPace::Next ReaderPace::next(Date now, SessionGate& session, const ReadSchedule& schedule, bool isFront,
                                  double idleSeconds, std::optional<Date> heartbeatDue, std::optional<double> fast,
                                  int64_t unchangedReads, bool profileWanted) const {
  const int64_t u = (profileWanted || readInFront) ? 0 : unchangedReads;
  const bool p = session.paused();
  std::optional<uint64_t> g;
  if (pausesAtRead) g = session.pauseGeneration();
  if (p) return Next::wait(now.adding(schedule.parkedRecheck));

  Date due;
  if (pausesAtRead && *pausesAtRead != *g) {
    due = started;  // a pause came and went since the last read
  } else {
    due = *schedule.due(started, isFront, idleSeconds, false, false, false, heartbeatDue, u);
  }
  if (fast) due = std::min(due, started.adding(*fast));
  // A read that took longer than its interval is followed by the next an
  // interval after its end, never at once: a slow read costs at most what a
  // read costs, spread over twice its time.
  if (ended && due > started) {
    const double interval = due.seconds(started);
    if (ended->seconds(started) > interval) due = ended->adding(interval);
  }
  if (now >= due) return Next::read();
  // Never sleep towards a deadline sooner than half a second after the last
  // read began.
  return Next::wait(std::max(due, started.adding(0.5)));
}

void ReaderPace::reading(Date at, const SessionGate& session, bool isFront) {
  pausesAtRead = session.pauseGeneration();
  readInFront = isFront;
  started = at;
  ended.reset();
}

}  // namespace zel::agent
