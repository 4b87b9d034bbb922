#include "tools/explain_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "browsers/browsers.h"
#include "chat/reading_policy.h"
#include "chat/extractors.h"
#include "profile/profile_extractor.h"
#include "profile/profile_page.h"
#include "profile/profile_read_plan.h"
#include "snapshot/live_reading.h"

namespace zel::tools {

namespace {

using Json = nlohmann::json;

void print(std::ostream& out, const Json& line) {
  out << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

// Why a page was not read, in words. Names no page address: another
// person's profile page, or a private chat, is nothing to show in a report.
std::string whyRefused(browsers::PageVerdict verdict, const std::optional<std::string>& url) {
  const auto profile = url ? profile::ProfilePage::parse(*url) : std::nullopt;
  const std::string page = profile ? std::string(rawValue(profile->site)) + " profile page" : "profile page";
  switch (verdict) {
    case browsers::PageVerdict::noPage:
      return "no web page in the window";
    case browsers::PageVerdict::notAChatPage:
      return "not a chat page";
    case browsers::PageVerdict::chatSiteNotForBrowser:
      return "a chat site this browser is not read for";
    case browsers::PageVerdict::chatNotAllowed:
      return "chat is not allowed in this browser (--chat-browsers)";
    case browsers::PageVerdict::profilesOff:
      return page + ": profile reading is off (--profiles)";
    case browsers::PageVerdict::profileNotAdmitted:
      return page + ": not armed by the host, or not the user's own";
    case browsers::PageVerdict::profileResting:
      return page + ": the user's own, read lately";
    case browsers::PageVerdict::changedWhileRead:
      return "the window showed another page once it was read";
    case browsers::PageVerdict::read:
      break;
  }
  return "refused by the page filter";
}

std::string whyPrivate(browsers::WindowVerdict verdict) {
  switch (verdict) {
    case browsers::WindowVerdict::privateByTitle:
      return "its title ends like a private window";
    case browsers::WindowVerdict::privateByControls:
      return "its window controls mark it private";
    case browsers::WindowVerdict::controlsUnreadable:
      return "its window controls could not be read to judge it";
    case browsers::WindowVerdict::read:
      break;
  }
  return "private";
}

std::string whyUnread(const snapshot::SnapshotError& error) {
  switch (error.kind) {
    case snapshot::SnapshotError::Kind::notRunning:
      return "not running, or its code signature is refused";
    case snapshot::SnapshotError::Kind::noVisibleWindow:
      return "no window";
    case snapshot::SnapshotError::Kind::unreadable:
      return "its windows cannot be read";
    case snapshot::SnapshotError::Kind::needsRestart:
      return "changed on disk since it started";
    case snapshot::SnapshotError::Kind::notTrusted:
      return "accessibility is not trusted";
  }
  return "cannot be read";
}

class Trace final : public snapshot::SnapshotTrace {
 public:
  Trace(std::ostream& out, std::string app) : out_(out), app_(std::move(app)) {}

  void browserUnjudged(Unjudged reason) override {
    const char* why = reason == Unjudged::alwaysPrivate ? "may be in always-private mode: no profile proves otherwise"
                      : reason == Unjudged::language   ? "its interface language has no known private-window titles"
                                                       : "its menus do not show that its windows can be judged";
    print(out_, {{"app", app_}, {"outcome", "browser not read"}, {"why", why}});
    told_ = true;
  }
  void windowPrivate(size_t index, const std::optional<std::string>&, browsers::WindowVerdict verdict) override {
    told_ = true;
    print(out_, {{"app", app_}, {"window", index}, {"outcome", "private window, not read"}, {"why", whyPrivate(verdict)}});
  }
  void pageRefused(size_t index, const std::optional<std::string>&, const std::optional<std::string>& url,
                   browsers::PageVerdict verdict) override {
    print(out_, {{"app", app_}, {"window", index}, {"outcome", "page not read"}, {"why", whyRefused(verdict, url)}});
    told_ = true;
  }
  void walked(size_t index, int64_t elements, bool budgetSpent) override {
    walked_.push_back({index, elements, budgetSpent});
  }

  struct Walk {
    size_t index;
    int64_t elements;
    bool budgetSpent;
  };
  const std::vector<Walk>& walks() const { return walked_; }
  bool toldAnything() const { return told_ || !walked_.empty(); }

 private:
  std::ostream& out_;
  std::string app_;
  bool told_ = false;
  std::vector<Walk> walked_;
};

}  // namespace

int explain(const ExplainRequest& request, const ToolEnvironment& environment, std::ostream& out, std::ostream& err) {
  std::string error = "zel-capture: no platform to read from";
  auto platform = environment.openPlatform ? environment.openPlatform(error) : nullptr;
  if (!platform) {
    err << error << '\n';
    return 2;
  }
  platform::Platform& p = *platform;
  const auto& targets = chat::Extractors::byBundleID(p.system());
  if (request.app && !targets.contains(*request.app)) {
    err << "zel-capture: " << *request.app << " is not a target of the agent\n";
    return 1;
  }
  snapshot::LiveReading live(p, environment.home);
  const chat::BrowserChatConsent consent(request.chatBrowsers);
  const auto& browserExtractors = chat::Extractors::browsers(p.system());
  const Date now = environment.clock.now();

  for (const auto& target : targets) {
    // Named copies: lambdas below capture them (clang 14 cannot capture a
    // structured binding).
    const std::string& bundleID = target.first;
    const auto& extractor = target.second;
    if (request.app && *request.app != bundleID) continue;
    const browsers::Browser* browser = browsers::Browsers::named(bundleID, p.system());
    const bool profilesOn = browser && browser->reads.profiles && !request.profileSites.empty();
    const auto chats = browserExtractors.find(bundleID);
    const bool readsPages = chats != browserExtractors.end();

    // The agent's page policy at start: nothing is armed yet, so no profile
    // page passes.
    const chat::ReadingPolicy::ProfileJudge profilePages =
        [&](const std::string& url) -> std::optional<browsers::PageVerdict> {
      if (!profile::ProfilePage::parse(url)) return std::nullopt;
      return profilesOn ? browsers::PageVerdict::profileNotAdmitted : browsers::PageVerdict::profilesOff;
    };
    const std::optional<chat::ReadingPolicy> policy =
        readsPages ? std::optional(chat::ReadingPolicy(consent, chats->second)) : std::nullopt;
    snapshot::AXSnapshotter::PageFilter pages = [&](const std::string& url) {
      return policy->judge(url, profilePages);
    };
    snapshot::AXSnapshotter::PlanFactory plans = [](const std::string& url) { return profile::profileReadPlan(url); };
    Trace trace(out, bundleID);
    auto outcome = live.snapshotter.snapshot(bundleID, readsPages ? &pages : nullptr, profilesOn ? &plans : nullptr,
                                             &trace);
    if (const auto* failed = std::get_if<snapshot::SnapshotError>(&outcome)) {
      print(out, {{"app", bundleID}, {"outcome", "not read"}, {"why", whyUnread(*failed)}});
      continue;
    }
    const auto& trees = std::get<std::vector<trees::AXNode>>(outcome);
    for (size_t i = 0; i < trees.size(); ++i) {
      const auto& walk = trace.walks()[i];
      Json line{{"app", bundleID}, {"window", walk.index}, {"outcome", "read"}, {"elements", walk.elements}};
      if (walk.budgetSpent) line["why"] = "the element budget was spent: the window was read in part";
      if (auto chat = extractor->extract(trees[i])) {
        line["found"] = "conversation";
        line["turns"] = chat->turns.size();
        if (chat->title) line["title"] = *chat->title;
      } else if (auto profile =
                     profilesOn ? profile::ProfileExtractor::extract(trees[i], now, environment.clock) : std::nullopt) {
        line["found"] = profile->read() ? "own profile" : "profile status";
      } else {
        line["found"] = "nothing: the extractor does not recognise the window";
      }
      print(out, line);
    }
    if (!trace.toldAnything()) print(out, {{"app", bundleID}, {"outcome", "read"}, {"found", "no readable window"}});
  }
  live.treeSwitch.disableAll();
  return 0;
}

}  // namespace zel::tools
