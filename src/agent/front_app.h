#pragma once
// Which application is in front, as last told by the workspace.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/workspace.h"

namespace zel::agent {

class FrontApp {
 public:
  // Starts from the workspace's front application; `onChange` runs after
  // every activation.
  FrontApp(platform::Workspace& workspace, std::function<void()> onChange);

  // An application was activated: read the front application again.
  void activated();
  bool is(std::string_view bundleID) const;
  std::optional<std::string> bundleID() const;

 private:
  platform::Workspace& workspace_;
  std::function<void()> onChange_;
  mutable std::mutex lock_;
  std::optional<std::string> bundleID_;
};

}  // namespace zel::agent
