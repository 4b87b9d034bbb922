#pragma once
// Other applications' user preferences, read only.
// Threads: called from any reader.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/workspace.h"

namespace zel::platform {

class Preferences {
 public:
  virtual ~Preferences() = default;
  // The "AppleLanguages" value of the application `bundleID` whose process
  // `pid` is being read, as it is stored (normally a list of texts); nullopt
  // when it has none. (macOS keeps it per application, Linux per process.)
  virtual std::optional<nlohmann::json> appleLanguages(const std::string& bundleID, Pid pid) = 0;
};

}  // namespace zel::platform
