#pragma once
// The workspace: which application is in front and which are running.
// Threads: called from the readers and the main thread at once.

#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace zel::platform {

struct RunningApp {
  Pid pid = 0;
  std::optional<double> launched;  // launch date, seconds since 2001-01-01 UTC
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  // Bundle identifier of the front application; nullopt when there is none.
  virtual std::optional<std::string> frontBundleID() = 0;
  virtual std::vector<RunningApp> runningApps(const std::string& bundleID) = 0;
};

}  // namespace zel::platform
