#include <gtest/gtest.h>

#include <thread>

#include "agent/change_gate.h"
#include "agent/page_retry.h"
#include "agent/presence_look.h"
#include "agent/read_schedule.h"
#include "agent/read_status.h"
#include "agent/reader_pace.h"
#include "agent/session_gate.h"
#include "agent/wake.h"

namespace zel {
using namespace zel::trees;
using namespace zel::browsers;
using namespace zel::snapshot;
using namespace zel::chat;
using namespace zel::agent;
namespace {

}  // namespace

void PrintTo(const ReaderPace::Next& n, std::ostream* os) {
  if (n.kind == ReaderPace::Next::Kind::read) *os << "read";
  else *os << "wait(until: " << n.until.sinceReference << ")";
}

namespace {

// The schedule the agent serves with.
ReadSchedule serving() { return ReadSchedule{3.0, 20.0, 60.0, 120.0, 60.0}; }

const Date t0{800000000};

TEST(ReadSchedule, BackgroundBackOffDoublesUpToTheAwayInterval) {
  const ReadSchedule s = serving();
  const std::pair<int64_t, double> cases[] = {{-3, 20}, {0, 20}, {1, 40}, {2, 60}, {8, 60}, {1000, 60}};
  for (auto [n, interval] : cases) EXPECT_EQ(s.interval(false, 0, false, n), interval) << n;
  ReadSchedule slowAway = s;
  slowAway.away = 1000;
  EXPECT_EQ(slowAway.interval(false, 0, false, 8), 1000);  // 2^8 x 20 = 5120, capped
  EXPECT_EQ(slowAway.interval(false, 0, false, 5), 640);
  ReadSchedule longBackground = s;
  longBackground.background = 90;
  EXPECT_EQ(longBackground.interval(false, 0, false, 3), 90);  // the cap is never below the base
}

TEST(ReadSchedule, IntervalsDueDatesAndPresenceChecks) {
  const ReadSchedule s = serving();
  EXPECT_EQ(s.interval(true, 0, false, 5), 3.0);
  EXPECT_EQ(s.interval(true, 120, false, 0), 60.0);
  EXPECT_EQ(s.interval(true, 0, true, 0), 60.0);

  EXPECT_EQ(s.due(t0, true, 0, true, false, true, std::nullopt, 0), std::nullopt);
  EXPECT_EQ(s.due(t0, true, 0, false, true, true, std::nullopt, 0), std::nullopt);
  EXPECT_EQ(s.due(t0, false, 0, false, false, true, std::nullopt, 0), t0);
  EXPECT_EQ(s.due(t0, false, 0, false, false, false, std::nullopt, 1), t0.adding(40));
  EXPECT_EQ(s.due(t0, false, 0, false, false, false, t0.adding(10), 1), t0.adding(10));
  EXPECT_EQ(s.due(t0, true, 500, false, false, false, t0.adding(100), 0), t0.adding(60));

  EXPECT_EQ(s.presenceCheck(0, true, false), 60);
  EXPECT_EQ(s.presenceCheck(500, false, false), 3);
  EXPECT_EQ(s.presenceCheck(100, false, false), 20);
  EXPECT_EQ(s.presenceCheck(119, false, false), 3);
}

TEST(Wake, AStaleGenerationReturnsAtOnce) {
  Wake wake;
  const uint64_t seen = wake.generation();
  wake.poke();
  EXPECT_TRUE(wake.wait(Date{Date::distantFuture}, seen));
  EXPECT_EQ(wake.generation(), seen + 1);
}

TEST(Wake, APokeFromAnotherThreadEndsAWaitWithoutDeadline) {
  Wake wake;
  const uint64_t seen = wake.generation();
  std::thread poker([&] { wake.poke(); });
  EXPECT_TRUE(wake.wait(Date{Date::distantFuture}, seen));
  poker.join();
}

TEST(Wake, ADeadlineEndsTheWaitWithoutAPoke) {
  Wake wake;
  EXPECT_FALSE(wake.wait(Date::now().adding(0.02), wake.generation()));
  EXPECT_FALSE(wake.wait(Date{Date::distantPast}, wake.generation()));
}

struct Probes {
  std::optional<bool> locked, asleep;
  SessionGate::Probe probe() {
    return {[this] { return locked; }, [this] { return asleep; }};
  }
};

TEST(SessionGate, ProbesWinAndNotedStatesFillIn) {
  Probes p;
  SessionGate gate(p.probe());
  EXPECT_FALSE(gate.paused());
  gate.noteLocked(true);
  EXPECT_EQ(gate.pauseGeneration(), 1u);
  EXPECT_TRUE(gate.paused());  // no probe answer: the noted lock holds
  EXPECT_EQ(gate.pauseGeneration(), 2u);
  p.locked = false;
  EXPECT_FALSE(gate.paused());  // the probe answer wins
  p.locked.reset();
  gate.noteLocked(false);
  EXPECT_FALSE(gate.paused());
  EXPECT_EQ(gate.pauseGeneration(), 2u);

  p.asleep = true;
  EXPECT_TRUE(gate.paused());
  EXPECT_TRUE(gate.paused());
  EXPECT_EQ(gate.pauseGeneration(), 3u);  // one new pause, however often asked

  Probes seeded{true, std::nullopt};
  SessionGate other(seeded.probe());
  other.seed();
  seeded.locked.reset();
  EXPECT_TRUE(other.paused());
  SessionGate none(SessionGate::Probe{});
  none.seed();
  EXPECT_FALSE(none.paused());  // nothing to tell: never paused
}

TEST(PresenceLook, PokesWhenTheUserReturnsOrAPauseEnds) {
  Probes p;
  SessionGate gate(p.probe());
  const ReadSchedule s = serving();
  PresenceLook look;
  EXPECT_EQ(look.look(gate, 10, s), (PresenceLook::Step{false, 110.0}));
  EXPECT_EQ(look.look(gate, 200, s), (PresenceLook::Step{false, 3.0}));  // away
  EXPECT_EQ(look.look(gate, 1, s), (PresenceLook::Step{true, 119.0}));   // back
  EXPECT_EQ(look.look(gate, 2, s), (PresenceLook::Step{false, 118.0}));
  p.locked = true;
  EXPECT_EQ(look.look(gate, 2, s), (PresenceLook::Step{false, 60.0}));
  p.locked = false;
  EXPECT_EQ(look.look(gate, 2, s), (PresenceLook::Step{true, 118.0}));

  PresenceLook firstPaused;  // paused from the first look on
  p.locked = true;
  EXPECT_EQ(firstPaused.look(gate, 0, s).poke, false);
  p.locked = false;
  EXPECT_EQ(firstPaused.look(gate, 0, s).poke, true);
}

class Pacing : public ::testing::Test {
 protected:
  Probes probes;
  SessionGate gate{probes.probe()};
  ReadSchedule schedule = serving();
  ReaderPace pace;

  ReaderPace::Next next(Date now, bool front = false, int64_t unchanged = 0, bool profile = false,
                        std::optional<Date> heartbeat = std::nullopt, std::optional<double> fast = std::nullopt,
                        double idle = 0) {
    return pace.next(now, gate, schedule, front, idle, heartbeat, fast, unchanged, profile);
  }
};

TEST_F(Pacing, AFreshReaderReadsAtOnce) { EXPECT_EQ(next(t0), ReaderPace::Next::read()); }

TEST_F(Pacing, BackOffAppliesOnlyToBackgroundReadsNobodyWaitsFor) {
  pace.reading(t0, gate, false);
  EXPECT_EQ(next(t0.adding(1), false, 5), ReaderPace::Next::wait(t0.adding(60)));
  EXPECT_EQ(next(t0.adding(1), false, 5, true), ReaderPace::Next::wait(t0.adding(20)));
  pace.reading(t0, gate, true);
  EXPECT_EQ(next(t0.adding(1), false, 5), ReaderPace::Next::wait(t0.adding(20)));  // was in front
  EXPECT_EQ(next(t0.adding(1), true, 5), ReaderPace::Next::wait(t0.adding(3)));
  EXPECT_EQ(next(t0.adding(1), true, 0, false, std::nullopt, std::nullopt, 500), ReaderPace::Next::wait(t0.adding(60)));
}

TEST_F(Pacing, HalfASecondFloorOnlyForWaits) {
  pace.reading(t0, gate, true);
  EXPECT_EQ(next(t0.adding(0.1), true, 0, false, std::nullopt, 0.2), ReaderPace::Next::wait(t0.adding(0.5)));
  EXPECT_EQ(next(t0.adding(0.3), true, 0, false, std::nullopt, 0.2), ReaderPace::Next::read());
  schedule.front = 0;  // --every 0: back to back
  EXPECT_EQ(next(t0, true), ReaderPace::Next::read());
  schedule.front = 3;
  EXPECT_EQ(next(t0.adding(1), true, 0, false, t0.adding(0.2)), ReaderPace::Next::read());  // heartbeat passed
  EXPECT_EQ(next(t0.adding(1), true, 0, false, t0.adding(2)), ReaderPace::Next::wait(t0.adding(2)));
}

TEST_F(Pacing, ParkedWhilePausedAndReadingAtOnceAfter) {
  pace.reading(t0, gate, true);
  probes.locked = true;
  EXPECT_EQ(next(t0.adding(100), true), ReaderPace::Next::wait(t0.adding(160)));
  EXPECT_EQ(next(t0.adding(0.1), true, 0, true, t0, 0.0), ReaderPace::Next::wait(t0.adding(60.1)));
  probes.locked.reset();
  gate.noteLocked(false);
  EXPECT_EQ(next(t0.adding(0.2), true), ReaderPace::Next::read());  // a pause came and went

  pace.reading(t0, gate, true);
  gate.noteLocked(true);
  gate.noteLocked(false);
  EXPECT_EQ(next(t0.adding(0.2), true), ReaderPace::Next::read());  // notifications alone count too
}

TEST_F(Pacing, ASlowReadIsFollowedByTheNextAnIntervalAfterItsEnd) {
  pace.reading(t0, gate, true);
  pace.finished(t0.adding(1));  // quicker than the interval: paced from its start
  EXPECT_EQ(next(t0.adding(1), true), ReaderPace::Next::wait(t0.adding(3)));
  pace.reading(t0, gate, true);
  pace.finished(t0.adding(5));  // longer than the interval: never another at once
  EXPECT_EQ(next(t0.adding(5), true), ReaderPace::Next::wait(t0.adding(8)));
  EXPECT_EQ(next(t0.adding(8), true), ReaderPace::Next::read());
  pace.reading(t0.adding(8), gate, true);  // a new read forgets the last one's end
  EXPECT_EQ(next(t0.adding(9), true), ReaderPace::Next::wait(t0.adding(11)));
}

TEST(PageRetry, AWindowWithoutAPageIsLookedAtAgainSoonAFewTimes) {
  const ReadSchedule s = serving();
  PageRetry retry;
  EXPECT_EQ(retry.interval(s), std::nullopt);
  std::vector<std::optional<double>> intervals;
  for (int read = 0; read < s.pageRetries + 2; ++read) {
    retry.record(true);
    intervals.push_back(retry.interval(s));
  }
  std::vector<std::optional<double>> expected{1.0};
  expected.resize(static_cast<size_t>(s.pageRetries), 2.0);
  expected.resize(static_cast<size_t>(s.pageRetries) + 2, std::nullopt);  // then the usual pace
  EXPECT_EQ(intervals, expected);
  retry.record(false);  // a page: the next time a window shows none starts afresh
  EXPECT_EQ(retry.interval(s), std::nullopt);
  retry.record(true);
  EXPECT_EQ(retry.interval(s), 1.0);
}

TEST(ReadStatusText, RawValues) {
  std::vector<std::string> raws;
  for (ReadStatus s : allReadStatuses()) {
    raws.emplace_back(rawValue(s));
    EXPECT_EQ(readStatusNamed(rawValue(s)), s);
  }
  EXPECT_EQ(raws, (std::vector<std::string>{"ok", "not_trusted", "not_running", "no_window", "failed",
                                            "needs_restart"}));
  EXPECT_EQ(readStatusNamed("OK"), std::nullopt);
}

TEST(ChangeGate, SuppressesUnchangedResultsUntilTheHeartbeat) {
  ChangeGate gate(60);
  Conversation c;
  c.turns = {makeTurn(Turn::Role::user, "hi")};
  c.capturedAt = t0;
  EXPECT_EQ(gate.heartbeatDue(), std::nullopt);
  EXPECT_TRUE(gate.shouldPrint({c}, ReadStatus::ok, t0));
  EXPECT_EQ(gate.heartbeatDue(), t0.adding(60));

  c.capturedAt = t0.adding(30);  // only the capture time differs
  EXPECT_FALSE(gate.shouldPrint({c}, ReadStatus::ok, t0.adding(30)));
  EXPECT_EQ(gate.unchanged(), 1);
  EXPECT_TRUE(gate.shouldPrint({c}, ReadStatus::ok, t0.adding(61)));
  EXPECT_EQ(gate.unchanged(), 2);  // heartbeat lines keep counting
  EXPECT_EQ(gate.heartbeatDue(), t0.adding(121));

  c.turns[0].text = "hi!";
  EXPECT_TRUE(gate.shouldPrint({c}, ReadStatus::ok, t0.adding(62)));
  EXPECT_EQ(gate.unchanged(), 0);

  ChangeGate statuses(60);
  EXPECT_TRUE(statuses.shouldPrint({}, ReadStatus::ok, t0));
  EXPECT_TRUE(statuses.shouldPrint({}, ReadStatus::noWindow, t0.adding(1)));
  EXPECT_FALSE(statuses.shouldPrint({}, ReadStatus::noWindow, t0.adding(2)));
}

}  // namespace
}  // namespace zel
