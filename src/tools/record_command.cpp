#include "tools/record_command.h"

#include <istream>
#include <ostream>

#include "browsers/browsers.h"
#include "chat/reading_policy.h"
#include "profile/profile_page.h"
#include "profile/profile_read_plan.h"
#include "profile/profile_sites.h"
#include "scrub/scrubber.h"
#include "snapshot/live_reading.h"

namespace zel::tools {

namespace {

std::string whyUnread(const snapshot::SnapshotError& error) {
  switch (error.kind) {
    case snapshot::SnapshotError::Kind::notRunning:
      return "is not running, or its code signature is refused";
    case snapshot::SnapshotError::Kind::noVisibleWindow:
      return "shows no window";
    case snapshot::SnapshotError::Kind::unreadable:
      return "its windows cannot be read";
    case snapshot::SnapshotError::Kind::needsRestart:
      return "changed on disk since it started; restart it";
    case snapshot::SnapshotError::Kind::notTrusted:
      return "accessibility is not trusted";
  }
  return "cannot be read";
}

// A profile page is recorded only when it is the named own handle's.
std::optional<browsers::PageVerdict> ownPage(const std::optional<std::string>& own, const std::string& url) {
  const auto page = profile::ProfilePage::parse(url);
  if (!page) return std::nullopt;
  const auto handle = own ? profile::ProfileSites::of(page->site).normalizedHandle(*own) : std::nullopt;
  return handle && *handle == page->handle ? browsers::PageVerdict::read : browsers::PageVerdict::profileNotAdmitted;
}

}  // namespace

namespace {

// One read of the application's windows, printed; the exit status.
int recordOnce(const RecordRequest& request, platform::Platform& p, snapshot::LiveReading& live, std::ostream& out,
               std::ostream& err) {
  // Every page but other people's profiles; private windows are screened
  // inside the snapshot whatever the policy says.
  const chat::ReadingPolicy policy = chat::ReadingPolicy::everyPage();
  const chat::ReadingPolicy::ProfileJudge profilePages = [&](const std::string& url) {
    return ownPage(request.own, url);
  };
  const snapshot::AXSnapshotter::PageFilter pages = [&](const std::string& url) {
    return policy.judge(url, profilePages);
  };
  const snapshot::AXSnapshotter::PlanFactory plans = [](const std::string& url) {
    return profile::profileReadPlan(url);
  };
  const bool browser = browsers::Browsers::named(request.bundleID, p.system()) != nullptr;
  auto outcome = live.snapshotter.snapshot(request.bundleID, browser ? &pages : nullptr, browser ? &plans : nullptr);

  if (const auto* failed = std::get_if<snapshot::SnapshotError>(&outcome)) {
    err << "zel-capture: " << request.bundleID << ": " << whyUnread(*failed) << '\n';
    return 2;
  }
  std::vector<trees::AXNode> trees = std::move(std::get<std::vector<trees::AXNode>>(outcome));
  if (request.scrub) {
    auto clean = scrub::scrubbed(trees);
    if (!clean) {
      err << "zel-capture: no random key could be drawn; nothing was scrubbed\n";
      return 2;
    }
    trees = std::move(*clean);
  }
  for (const trees::AXNode& tree : trees) {
    std::string line;
    try {
      tree.appendJSON(line);
    } catch (const UnencodableValue&) {
      continue;  // text that is not UTF-8 cannot be written as JSON
    }
    out << line << '\n';
  }
  return 0;
}

}  // namespace

int record(const RecordRequest& request, const ToolEnvironment& environment, std::ostream& out, std::ostream& err) {
  std::string error = "zel-capture: no platform to record from";
  auto platform = environment.openPlatform ? environment.openPlatform(error) : nullptr;
  if (!platform) {
    err << error << '\n';
    return 2;
  }
  platform::Platform& p = *platform;
  snapshot::LiveReading live(p, environment.home);
  int status = 0;
  if (!request.eachLine) {
    status = recordOnce(request, p, live, out, err);
  } else {
    for (std::string line; std::getline(*request.eachLine, line);) {
      status = recordOnce(request, p, live, out, err);
      out << '\n' << std::flush;
    }
  }
  // What the reads switched on in the application is put back at once.
  live.treeSwitch.disableAll();
  return status;
}

}  // namespace zel::tools
