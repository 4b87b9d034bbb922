#pragma once
// The screen-lock and display-sleep latch between the presence watcher and
// the readers.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace zel::agent {

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

}  // namespace zel::agent
