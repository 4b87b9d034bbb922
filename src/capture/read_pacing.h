#pragma once
// When a reader reads, how long it sleeps, and whether a result is worth a
// line. Pure decisions over values handed in (time, idle seconds, lock and
// display state), plus the two small shared objects that carry wake-ups and
// the screen-lock latch between threads.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "capture/conversation.h"
#include "capture/date.h"

namespace zel {

struct ReadSchedule {
  double front = 4.0;            // while the target is in front
  double background = 20.0;      // base interval in the background
  double away = 60.0;            // while the user is away; cap of the back-off
  double awayAfter = 120.0;      // idle seconds after which the user is away
  double parkedRecheck = 60.0;   // sleep while paused by lock or display sleep

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

// Wakes waiting threads. Every waiter reads `generation` before it decides,
// so a poke between deciding and waiting is never lost.
class Wake {
 public:
  uint64_t generation() const;
  void poke();
  // Sleeps until a poke after `since` or until `until` (a date past the
  // clock's range never comes); true when a poke happened.
  bool wait(Date until, uint64_t since) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable condition_;
  uint64_t count_ = 0;
};

// Whether reading is paused by a locked screen or sleeping displays, with a
// generation that rises on every new pause.
class SessionGate {
 public:
  struct Probe {
    std::function<std::optional<bool>()> locked;          // nullopt: cannot tell now
    std::function<std::optional<bool>()> displaysAsleep;  // nullopt: cannot tell now
  };

  explicit SessionGate(Probe probe);

  void seed();
  void noteLocked(bool locked);
  void noteDisplaysAsleep(bool asleep);
  bool paused();
  uint64_t pauseGeneration() const;

 private:
  Probe probe_;
  mutable std::mutex lock_;
  bool notedLocked_ = false;
  bool notedAsleep_ = false;
  bool lastPaused_ = false;
  uint64_t pauses_ = 0;
};

// The presence watcher's step: whether to wake the readers, and when to look
// again.
struct PresenceLook {
  bool wasAway = false;
  std::optional<uint64_t> pausesSeen;

  struct Result {
    bool poke;
    std::optional<double> next;
    friend bool operator==(const Result&, const Result&) = default;
  };
  Result look(SessionGate& session, double idleSeconds, const ReadSchedule& schedule);
};

// One reader's pacing.
struct ReaderPace {
  Date started{Date::distantPast};
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
};

enum class ReadStatus { ok, notTrusted, notRunning, noWindow, failed, needsRestart };
std::string_view rawValue(ReadStatus s);
std::optional<ReadStatus> readStatusNamed(std::string_view raw);
const std::vector<ReadStatus>& allReadStatuses();

// Suppresses lines whose conversations and status equal the last printed
// ones, until the heartbeat is due.
class ChangeGate {
 public:
  explicit ChangeGate(double heartbeat) : heartbeat_(heartbeat) {}

  bool shouldPrint(const std::vector<Conversation>& chats, ReadStatus status, Date at);
  std::optional<Date> heartbeatDue() const;
  int64_t unchanged() const { return unchanged_; }

 private:
  double heartbeat_;
  std::optional<std::vector<Conversation>> last_;
  std::optional<ReadStatus> lastStatus_;
  std::optional<Date> printedAt_;
  int64_t unchanged_ = 0;
};

}  // namespace zel
