#include "agent/session_gate.h"

namespace zel::agent {

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

}  // namespace zel::agent
