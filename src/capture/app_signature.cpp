#include "capture/app_signature.h"

#include "capture/browsers.h"
#include "platform/platform.h"

namespace zel::AppSignature {

namespace {
constexpr double recheckAfter = 60;
constexpr size_t cacheLimit = 256;

std::string teamRequirement(std::string_view bundleID, std::string_view team) {
  return "identifier \"" + std::string(bundleID) + "\" and anchor apple generic and certificate leaf[subject.OU] = \"" +
         std::string(team) + "\"";
}
}  // namespace

const std::map<std::string, std::string, std::less<>>& teams() {
  static const std::map<std::string, std::string, std::less<>> t{
      {"com.openai.codex", "2DC432GLL2"},
      {"com.anthropic.claudefordesktop", "Q6L2SF6YDW"},
  };
  return t;
}

std::optional<std::string> requirement(std::string_view bundleID) {
  if (auto it = teams().find(bundleID); it != teams().end()) return teamRequirement(bundleID, it->second);
  if (const Browser* b = Browsers::named(bundleID)) {
    if (b->signer.kind == Browser::Signer::Kind::developerId) return teamRequirement(bundleID, b->signer.team);
    return "identifier \"" + std::string(bundleID) + "\" and anchor apple";
  }
  return std::nullopt;
}

Verdict verdict(platform::CodeSigning& signing, platform::Pid pid, std::string_view bundleID) {
  const auto r = requirement(bundleID);
  if (!r) return Verdict::refused;
  return signing.verdict(pid, *r);
}

bool isVendors(platform::CodeSigning& signing, platform::Pid pid, std::string_view bundleID) {
  const auto r = requirement(bundleID);
  return r && signing.verdict(pid, *r) == Verdict::vendors;
}

Checked::Checked(Check check, std::function<Date()> now, Log log)
    : check_(std::move(check)), now_(std::move(now)), log_(std::move(log)) {}

Checked& Checked::shared() {
  static Checked instance(
      [](platform::Pid pid, const std::string& bundleID) {
        return AppSignature::verdict(platform::processPlatform().codeSigning(), pid, bundleID);
      },
      &Date::now,
      [](const std::string& bundleID) {
        platform::processPlatform().systemLog().write("zel-ax " + std::string(logCode) + " " + bundleID);
      });
  return instance;
}

Verdict Checked::verdict(platform::Pid pid, std::optional<double> launched, const std::string& bundleID) {
  std::lock_guard g(lock_);
  if (launched) {
    auto it = passed_.find(pid);
    if (it != passed_.end() && it->second == *launched) return Verdict::vendors;
  }
  const Date now = now_();
  if (auto it = refused_.find(pid); it != refused_.end() && now.seconds(it->second.at) < recheckAfter)
    return it->second.verdict;

  const Verdict v = check_(pid, bundleID);
  if (passed_.size() + refused_.size() + logged_.size() > cacheLimit) {
    passed_.clear();
    refused_.clear();
    logged_.clear();
  }
  if (v != Verdict::vendors) {
    passed_.erase(pid);
    refused_[pid] = {now, v};
    if (logged_.insert(pid).second) log_(bundleID);
  } else {
    refused_.erase(pid);
    logged_.erase(pid);
    if (launched) passed_[pid] = *launched;
    else passed_.erase(pid);
  }
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
