#pragma once
// The simulated desktop: one JSON file describes the running applications
// with their windows as element trees, the front application, idle time,
// screen lock and displays.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/result.h"
#include "platform/code_signing.h"

namespace zel::platform {

// Elements live in one flat list and name their children by index, so that
// trees of any depth are built and freed without recursion.
using ElementIndex = uint32_t;

struct DesktopElement {
  std::optional<std::string> role, subrole, title, desc, domID, url, identifier;
  // "value": a text, or a number (integer, real or boolean).
  std::variant<std::monostate, std::string, int64_t, double, bool> value;
  std::vector<std::string> domClasses;
  std::vector<std::string> unreadable;  // attribute names whose reads fail
  std::optional<std::string> watch;     // a label: every read of this element is journalled
  std::vector<ElementIndex> children;
};

struct DesktopApp {
  std::string bundleID;
  Pid pid = 0;
  std::optional<double> launched;  // seconds since 2001-01-01 UTC
  SignatureVerdict signature = SignatureVerdict::vendors;
  std::optional<nlohmann::json> languages;
  std::optional<std::vector<std::string>> menuBar;
  std::vector<ElementIndex> windows;
  int32_t windowsError = 0;
  std::optional<ElementIndex> focusedWindow, mainWindow;
  std::optional<std::string> treeNeeds;
};

struct Desktop {
  bool trusted = true;
  std::optional<std::string> front;
  double idleSeconds = 0;
  // nullopt: no session dictionary. Otherwise the lock flag as read.
  std::optional<bool> screenLockFlag;
  std::vector<bool> displaysAsleep;
  std::vector<DesktopApp> apps;
  std::vector<DesktopElement> elements;

  const DesktopApp* app(Pid pid) const;

  static Result<Desktop> decode(std::string_view json);
  static Result<Desktop> load(const std::string& path);
};

}  // namespace zel::platform
