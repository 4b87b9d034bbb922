#pragma once
// The login session on a Linux desktop, over the session and system buses:
// the freedesktop screen saver (or logind's locked hint) for the lock, the
// screen saver's or Mutter's idle time. Display sleep cannot be told
// portably: no display is listed, which the agent reads as "cannot tell".

#include <optional>
#include <vector>

#include "platform/atspi/bus.h"
#include "platform/session.h"

namespace zel::platform::atspi {

class DesktopSession : public Session {
 public:
  explicit DesktopSession(const Bus& bus) : bus_(bus) {}
  // Nullopt when neither the screen saver nor logind answers.
  std::optional<bool> screenLockFlag() override;
  std::vector<bool> displaysAsleep() override { return {}; }
  // Zero when no service tells.
  double idleSeconds() override;

 private:
  const Bus& bus_;
};

}  // namespace zel::platform::atspi
