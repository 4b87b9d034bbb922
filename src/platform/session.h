#pragma once
// The login session: screen lock, display sleep and user idle time.
// Threads: called from the presence watcher and the readers at once.

#include <optional>
#include <vector>

namespace zel::platform {

class Session {
 public:
  virtual ~Session() = default;
  // The session dictionary's lock flag: nullopt when there is no dictionary (the
  // state cannot be told); false when the flag is missing or not a boolean.
  virtual std::optional<bool> screenLockFlag() = 0;
  // For each online display whether it sleeps; empty when none can be listed.
  virtual std::vector<bool> displaysAsleep() = 0;
  // Seconds since the last input event.
  virtual double idleSeconds() = 0;
};

}  // namespace zel::platform
