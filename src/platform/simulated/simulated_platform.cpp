#include "platform/simulated/simulated_platform.h"

#include <syslog.h>

#include <cstdlib>

namespace zel::platform {

namespace {

struct AppElement final : AXElementHandle {
  explicit AppElement(Pid p) : pid(p) {}
  Pid pid;
};

}  // namespace

std::unique_ptr<Platform> openPlatform(std::string& error) {
  const char* path = std::getenv("ZEL_AX_DESKTOP");
  if (!path || !*path) return std::make_unique<SimulatedPlatform>(std::nullopt);
  auto desktop = Desktop::load(path);
  if (!desktop) {
    error = "zel-ax: desktop file " + desktop.error();
    return nullptr;
  }
  return std::make_unique<SimulatedPlatform>(std::move(desktop.value()));
}

SimulatedPlatform::SimulatedPlatform(std::optional<Desktop> desktop) : desktop_(std::move(desktop)) {}

bool SimulatedPlatform::isTrusted() {
  std::lock_guard g(lock_);
  return desktop_ && desktop_->trusted;
}

AXElement SimulatedPlatform::application(Pid pid) { return std::make_shared<AppElement>(pid); }

// Element trees are not simulated yet: every read fails as an application that
// does not answer would.
AXRead SimulatedPlatform::attribute(const AXElement&, const std::string&) {
  return {ax_error::cannotComplete, {}};
}

AXMultiRead SimulatedPlatform::attributes(const AXElement&, const std::vector<std::string>&) {
  return {ax_error::cannotComplete, {}};
}

void SimulatedPlatform::setBoolean(const AXElement&, const std::string&, bool) {}

bool SimulatedPlatform::equal(const AXElement& a, const AXElement& b) { return a && a == b; }

std::optional<std::string> SimulatedPlatform::frontBundleID() {
  std::lock_guard g(lock_);
  return desktop_ ? desktop_->front : std::nullopt;
}

std::vector<RunningApp> SimulatedPlatform::runningApps(const std::string& bundleID) {
  std::lock_guard g(lock_);
  std::vector<RunningApp> found;
  if (desktop_)
    for (const auto& app : desktop_->apps)
      if (app.bundleID == bundleID) found.push_back({app.pid, app.launched});
  return found;
}

std::optional<bool> SimulatedPlatform::screenLockFlag() {
  std::lock_guard g(lock_);
  return desktop_ ? desktop_->screenLockFlag : std::nullopt;
}

std::vector<bool> SimulatedPlatform::displaysAsleep() {
  std::lock_guard g(lock_);
  return desktop_ ? desktop_->displaysAsleep : std::vector<bool>{};
}

double SimulatedPlatform::idleSeconds() {
  std::lock_guard g(lock_);
  return desktop_ ? desktop_->idleSeconds : 0;
}

SignatureVerdict SimulatedPlatform::verdict(Pid pid, const std::string&) {
  std::lock_guard g(lock_);
  if (desktop_)
    for (const auto& app : desktop_->apps)
      if (app.pid == pid) return app.signature;
  return SignatureVerdict::refused;
}

std::optional<nlohmann::json> SimulatedPlatform::appleLanguages(const std::string& bundleID) {
  std::lock_guard g(lock_);
  if (desktop_)
    for (const auto& app : desktop_->apps)
      if (app.bundleID == bundleID) return app.languages;
  return std::nullopt;
}

void SimulatedPlatform::write(const std::string& line) { ::syslog(LOG_NOTICE, "%s", line.c_str()); }

void SimulatedPlatform::run(const std::function<void(SystemEvent)>&) {
  std::unique_lock g(lock_);
  stopped_.wait(g, [&] { return stopping_; });
}

void SimulatedPlatform::stop() {
  std::lock_guard g(lock_);
  stopping_ = true;
  stopped_.notify_all();
}

}  // namespace zel::platform
