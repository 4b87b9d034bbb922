#pragma once
// The simulated desktop: one JSON file describes the running applications,
// the front application, idle time, screen lock and displays.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/result.h"
#include "platform/code_signing.h"

namespace zel::platform {

struct DesktopApp {
  std::string bundleID;
  Pid pid = 0;
  std::optional<double> launched;  // seconds since 2001-01-01 UTC
  SignatureVerdict signature = SignatureVerdict::vendors;
  std::optional<nlohmann::json> languages;
  std::optional<std::vector<std::string>> menuBar;
};

struct Desktop {
  bool trusted = true;
  std::optional<std::string> front;
  double idleSeconds = 0;
  // nullopt: no session dictionary. Otherwise the lock flag as read.
  std::optional<bool> screenLockFlag;
  std::vector<bool> displaysAsleep;
  std::vector<DesktopApp> apps;

  static Result<Desktop> decode(std::string_view json);
  static Result<Desktop> load(const std::string& path);
};

}  // namespace zel::platform
