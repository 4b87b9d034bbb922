#include "snapshot/app_signature.h"

#include "base/limits.h"
#include "platform/platform.h"

namespace zel::snapshot::AppSignature {

namespace {
constexpr double recheckAfter = limits.signatureRecheck;
constexpr size_t cacheLimit = limits.signatureCache;

std::string teamRequirement(std::string_view bundleID, std::string_view team) {
  return "identifier \"" + std::string(bundleID) + "\" and anchor apple generic and certificate leaf[subject.OU] = \"" +
         std::string(team) + "\"";
}
}  // namespace

std::optional<std::string> requirement(const browsers::KnownApp& app) {
  if (!app.row) return std::nullopt;
  const browsers::KnownAppRow::Signer& signer = app.row->signer;
  if (signer.kind == browsers::KnownAppRow::Signer::Kind::developerId)
    return teamRequirement(app.bundleID, signer.team);
  return "identifier \"" + app.bundleID + "\" and anchor apple";
}

Verdict verdict(platform::CodeSigning& signing, platform::Pid pid, const browsers::KnownApp& app) {
  const auto r = requirement(app);
  if (!r) return Verdict::refused;
  return signing.verdict(pid, *r);
}

Checked::Checked(Check check, std::function<Date()> now, Log log)
    : check_(std::move(check)), now_(std::move(now)), log_(std::move(log)) {}

Verdict Checked::verdict(platform::Pid pid, std::optional<double> launched, const browsers::KnownApp& app) {
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
  const Verdict v = check_(pid, app);
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
  if (firstRefusal) log_(app.bundleID);
  return v;
}

Found vendorsApp(platform::Workspace& workspace, Checked& checked, const browsers::KnownApp& known) {
  bool changed = false;
  for (const auto& app : workspace.runningApps(known.bundleID)) {
    const Verdict v = checked.verdict(app.pid, app.launched, known);
    if (v == Verdict::vendors) return {Found::Kind::running, app};
    if (v == Verdict::changedOnDisk) changed = true;
  }
  return {changed ? Found::Kind::changedOnDisk : Found::Kind::none, {}};
}

}  // namespace zel::snapshot::AppSignature
