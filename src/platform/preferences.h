#pragma once
// Other applications' user preferences, read only.
// Threads: called from any reader.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace zel::platform {

class Preferences {
 public:
  virtual ~Preferences() = default;
  // The application's "AppleLanguages" value as it is stored (normally a list
  // of texts); nullopt when it has none.
  virtual std::optional<nlohmann::json> appleLanguages(const std::string& bundleID) = 0;
};

}  // namespace zel::platform
