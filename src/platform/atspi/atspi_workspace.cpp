#include "platform/atspi/atspi_workspace.h"

#include "base/limits.h"

#include <algorithm>
#include <set>

namespace zel::platform::atspi {

namespace {
constexpr std::chrono::duration<double> frontKept{limits.frontAppKept};
}  // namespace

std::optional<std::string> AtspiWorkspace::identityOf(Pid pid) const {
  auto p = processes_.read(pid);
  if (!p) return std::nullopt;
  if (auto id = Processes::bundleIDOf(p->program)) return id;
  // Any other program is in front under its own name, which no table knows.
  return p->program.empty() ? std::nullopt : std::optional(p->program);
}

std::optional<std::string> AtspiWorkspace::frontBundleID() {
  const auto now = std::chrono::steady_clock::now();
  std::optional<Pid> front;
  bool stale;
  {
    std::lock_guard g(lock_);
    stale = !lookedAt_ || now - *lookedAt_ > frontKept;
    front = front_;
  }
  if (stale) {
    front = ax_.activeApplication();
    std::lock_guard g(lock_);
    front_ = front;
    lookedAt_ = now;
  }
  if (!front) return std::nullopt;
  return identityOf(*front);
}

std::vector<RunningApp> AtspiWorkspace::runningApps(const std::string& bundleID) {
  // The applications on this session's accessibility bus first: a browser
  // of the same user in another session (another display) cannot be read
  // from here, and the first one that passes its checks is the one read.
  auto processes = processes_.applications(bundleID);
  if (processes.size() > 1) {
    std::set<Pid> onBus;
    for (const auto& app : ax_.applications()) onBus.insert(app.pid);
    std::stable_partition(processes.begin(), processes.end(),
                          [&](const Process& p) { return onBus.contains(p.pid); });
  }
  std::vector<RunningApp> out;
  for (const auto& p : processes) out.push_back({p.pid, p.launched});
  return out;
}

bool AtspiWorkspace::windowActivated(const std::string& busName) {
  const auto pid = ax_.pidOf(busName);
  std::lock_guard g(lock_);
  const bool changed = front_ != pid;
  front_ = pid;
  lookedAt_ = std::chrono::steady_clock::now();
  return changed;
}

bool AtspiWorkspace::windowDeactivated(const std::string& busName) {
  const auto pid = ax_.pidOf(busName);
  std::lock_guard g(lock_);
  if (!pid || front_ != pid) return false;
  front_.reset();
  lookedAt_ = std::chrono::steady_clock::now();
  return true;
}

}  // namespace zel::platform::atspi
