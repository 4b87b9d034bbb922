#pragma once
// Makes sure a running application is its vendor's genuine one before any of
// its windows is read: its code must satisfy a signing requirement built from
// its bundle identifier and the expected signing team.

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "base/date.h"
#include "browsers/known_app.h"
#include "platform/code_signing.h"
#include "platform/system.h"
#include "platform/workspace.h"

namespace zel::snapshot {

namespace AppSignature {

using Verdict = platform::SignatureVerdict;

inline constexpr std::string_view logCode = "capture.signature_refused";

// The requirement text for an application on a system; nullopt for one the
// agent does not know.
std::optional<std::string> requirement(const browsers::KnownApp& app);

Verdict verdict(platform::CodeSigning& signing, platform::Pid pid, const browsers::KnownApp& app);

// Verdicts cached per process, so that the signing services are not asked on
// every read.
class Checked {
 public:
  using Check = std::function<Verdict(platform::Pid, const browsers::KnownApp& app)>;
  using Log = std::function<void(const std::string& bundleID)>;

  Checked(Check check, std::function<Date()> now, Log log);

  Verdict verdict(platform::Pid pid, std::optional<double> launched, const browsers::KnownApp& app);

 private:
  struct Refusal {
    Date at;
    Verdict verdict;
  };
  Check check_;
  std::function<Date()> now_;
  Log log_;
  std::mutex lock_;
  std::map<platform::Pid, double> passed_;  // launch date of processes that passed
  std::map<platform::Pid, Refusal> refused_;
  std::set<platform::Pid> logged_;
};

// The outcome of looking for the vendor's running application.
struct Found {
  enum class Kind { running, changedOnDisk, none };
  Kind kind = Kind::none;
  platform::RunningApp app;  // for running
};

Found vendorsApp(platform::Workspace& workspace, Checked& checked, const browsers::KnownApp& app);

}  // namespace AppSignature

}  // namespace zel::snapshot
