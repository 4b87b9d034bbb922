#include "capture/read_pacing.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zel {

// ---- ReadSchedule ----

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

// ---- Wake ----

uint64_t Wake::generation() const {
  std::lock_guard g(mutex_);
  return count_;
}

void Wake::poke() {
  {
    std::lock_guard g(mutex_);
    ++count_;
  }
  condition_.notify_all();
}

bool Wake::wait(Date until, uint64_t since) const {
  std::unique_lock g(mutex_);
  const auto deadline = until.deadline();
  if (!deadline) {
    condition_.wait(g, [&] { return count_ != since; });
    return true;
  }
  return condition_.wait_until(g, *deadline, [&] { return count_ != since; });
}

// ---- SessionGate ----

SessionGate::SessionGate(Probe probe) : probe_(std::move(probe)) {}

void SessionGate::seed() {
  const auto locked = probe_.locked ? probe_.locked() : std::nullopt;
  const auto asleep = probe_.displaysAsleep ? probe_.displaysAsleep() : std::nullopt;
  std::lock_guard g(lock_);
  if (locked) notedLocked_ = *locked;
  if (asleep) notedAsleep_ = *asleep;
}

void SessionGate::noteLocked(bool locked) {
  std::lock_guard g(lock_);
  notedLocked_ = locked;
  if (locked) ++pauses_;
}

void SessionGate::noteDisplaysAsleep(bool asleep) {
  std::lock_guard g(lock_);
  notedAsleep_ = asleep;
  if (asleep) ++pauses_;
}

bool SessionGate::paused() {
  const auto locked = probe_.locked ? probe_.locked() : std::nullopt;
  const auto asleep = probe_.displaysAsleep ? probe_.displaysAsleep() : std::nullopt;
  std::lock_guard g(lock_);
  const bool result = locked.value_or(notedLocked_) || asleep.value_or(notedAsleep_);
  if (result && !lastPaused_) ++pauses_;
  lastPaused_ = result;
  return result;
}

uint64_t SessionGate::pauseGeneration() const {
  std::lock_guard g(lock_);
  return pauses_;
}

// ---- PresenceLook ----

PresenceLook::Result PresenceLook::look(SessionGate& session, double idleSeconds, const ReadSchedule& schedule) {
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

// ---- ReaderPace ----

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
  if (now >= due) return Next::read();
  // Never sleep towards a deadline sooner than half a second after the last
  // read began.
  return Next::wait(std::max(due, started.adding(0.5)));
}

void ReaderPace::reading(Date at, const SessionGate& session, bool isFront) {
  pausesAtRead = session.pauseGeneration();
  readInFront = isFront;
  started = at;
}

// ---- ReadStatus ----

namespace {
constexpr std::array<std::pair<ReadStatus, std::string_view>, 6> statuses{{
    {ReadStatus::ok, "ok"},
    {ReadStatus::notTrusted, "not_trusted"},
    {ReadStatus::notRunning, "not_running"},
    {ReadStatus::noWindow, "no_window"},
    {ReadStatus::failed, "failed"},
    {ReadStatus::needsRestart, "needs_restart"},
}};
}  // namespace

std::string_view rawValue(ReadStatus s) {
  for (const auto& [v, raw] : statuses)
    if (v == s) return raw;
  return {};
}

std::optional<ReadStatus> readStatusNamed(std::string_view raw) {
  for (const auto& [v, name] : statuses)
    if (name == raw) return v;
  return std::nullopt;
}

const std::vector<ReadStatus>& allReadStatuses() {
  static const std::vector<ReadStatus> all = [] {
    std::vector<ReadStatus> v;
    for (const auto& [s, raw] : statuses) v.push_back(s);
    return v;
  }();
  return all;
}

// ---- ChangeGate ----

bool ChangeGate::shouldPrint(const std::vector<Conversation>& chats, ReadStatus status, Date at) {
  std::vector<Conversation> normalised = chats;
  for (Conversation& c : normalised) c.capturedAt = Date{Date::distantPast};
  const std::optional<bool> heartbeat =
      printedAt_ ? std::optional<bool>(at.seconds(*printedAt_) >= heartbeat_) : std::nullopt;
  if (last_ && *last_ == normalised && lastStatus_ && *lastStatus_ == status) {
    ++unchanged_;
    if (heartbeat && !*heartbeat) return false;
  } else {
    unchanged_ = 0;
  }
  last_ = std::move(normalised);
  lastStatus_ = status;
  printedAt_ = at;
  return true;
}

std::optional<Date> ChangeGate::heartbeatDue() const {
  if (!printedAt_) return std::nullopt;
  return printedAt_->adding(heartbeat_);
}

}  // namespace zel
