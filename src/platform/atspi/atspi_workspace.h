#pragma once
// The workspace on a Linux desktop: applications are processes (by the
// program table), the front one owns the active window. Window activations
// from the accessibility bus keep the answer current; without them it is
// looked up again now and then.

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "platform/atspi/atspi_accessibility.h"
#include "platform/atspi/processes.h"
#include "platform/workspace.h"

namespace zel::platform::atspi {

class AtspiWorkspace : public Workspace {
 public:
  AtspiWorkspace(AtspiAccessibility& ax, const Processes& processes) : ax_(ax), processes_(processes) {}
  std::optional<std::string> frontBundleID() override;
  std::vector<RunningApp> runningApps(const std::string& bundleID) override;

  // Called on the main thread as windows of an application on the bus are
  // activated or deactivated; true when the front application changed.
  bool windowActivated(const std::string& busName);
  bool windowDeactivated(const std::string& busName);

 private:
  std::optional<std::string> identityOf(Pid pid) const;

  AtspiAccessibility& ax_;
  const Processes& processes_;
  std::mutex lock_;
  std::optional<Pid> front_;
  std::optional<std::chrono::steady_clock::time_point> lookedAt_;
};

}  // namespace zel::platform::atspi
