#include "snapshot/app_signature.h"

#include "base/limits.h"
#include "browsers/browsers.h"
#include "browsers/chat_apps.h"
#include "platform/platform.h"

namespace zel::AppSignature {

namespace {
constexpr double recheckAfter = limits.signatureRecheck;
constexpr size_t cacheLimit = limits.signatureCache;

std::string teamRequirement(std::string_view bundleID, std::string_view team) {
  return "identifier \"" + std::string(bundleID) + "\" and anchor apple generic and certificate leaf[subject.OU] = \"" +
         std::string(team) + "\"";
}
}  // namespace

std::optional<std::string> requirement(std::string_view bundleID, platform::System system) {
  if (const ChatApp* app = ChatApps::named(bundleID)) return teamRequirement(bundleID, app->team);
  if (const Browser* b = Browsers::named(bundleID, system)) {
    if (b->signer.kind == Browser::Signer::Kind::developerId) return teamRequirement(bundleID, b->signer.team);
    return "identifier \"" + std::string(bundleID) + "\" and anchor apple";
  }
  return std::nullopt;
}

Verdict verdict(platform::CodeSigning& signing, platform::System system, platform::Pid pid,
                std::string_view bundleID) {
  const auto r = requirement(bundleID, system);
  if (!r) return Verdict::refused;
  return signing.verdict(pid, *r);
}

bool isVendors(platform::CodeSigning& signing, platform::System system, platform::Pid pid, std::string_view bundleID) {
  const auto r = requirement(bundleID, system);
  return r && signing.verdict(pid, *r) == Verdict::vendors;
}

Checked::Checked(Check check, std::function<Date()> now, Log log)
    : check_(std::move(check)), now_(std::move(now)), log_(std::move(log)) {}

Verdict Checked::verdict(platform::Pid pid, std::optional<double> launched, const std::string& bundleID) {
  // The check and the log reach the platform, which has locks of its own:
  // neither runs under this one. Two readers may check the same process at
  // once; the answer is the same and it is logged once.
  {
    std::lock_guard g(lock_);
    if (launched) {
      auto it = passed_.find(pid);
      if (it != passed_.end() && it->second == *launched) return Verdict::vendors;
    }
    if (auto it = refused_.find(pid); it != refused_.end() && now_().seconds(it->second.at) < recheckAfter)
      return it->second.verdict;
  }
  const Verdict v = check_(pid, bundleID);
  bool firstRefusal = false;
  {
    std::lock_guard g(lock_);
    if (passed_.size() + refused_.size() + logged_.size() > cacheLimit) {
      passed_.clear();
      refused_.clear();
      logged_.clear();
    }
    if (v != Verdict::vendors) {
      passed_.erase(pid);
      refused_[pid] = {now_(), v};
      firstRefusal = logged_.insert(pid).second;
    } else {
      refused_.erase(pid);
      logged_.erase(pid);
      if (launched) passed_[pid] = *launched;
      else passed_.erase(pid);
    }
  }
  if (firstRefusal) log_(bundleID);
  return v;
}

Found vendorsApp(platform::Workspace& workspace, Checked& checked, const std::string& bundleID) {
  bool changed = false;
  for (const auto& app : workspace.runningApps(bundleID)) {
    const Verdict v = checked.verdict(app.pid, app.launched, bundleID);
    if (v == Verdict::vendors) return {Found::Kind::running, app};
    if (v == Verdict::changedOnDisk) changed = true;
  }
  return {changed ? Found::Kind::changedOnDisk : Found::Kind::none, {}};
}

}  // namespace zel::AppSignature
