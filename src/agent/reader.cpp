#include "agent/reader.h"

#include <algorithm>

#include "profile/profile_extractor.h"
#include "profile/profile_read_plan.h"

namespace zel::agent {

namespace {

// Whether a read found a window that shows no page yet.
class PageLookout : public snapshot::SnapshotTrace {
 public:
  bool missing = false;
  void pageRefused(size_t, const std::optional<std::string>&, const std::optional<std::string>&,
                   browsers::PageVerdict verdict) override {
    if (verdict == browsers::PageVerdict::noPage) missing = true;
  }
};

// Names a kind of page of another person for the profile gate, without
// their handle.
std::string statusKey(const profile::ProfileStatus& status) {
  return std::string(rawValue(status.site)) + ":" + std::string(rawValue(status.view)) + ":not_own";
}

}  // namespace

Reader::Reader(ReaderConfig config, SharedObjects shared, const snapshot::AXSnapshotter& snapshotter,
               CaptureClock clock)
    : config_(std::move(config)), shared_(shared), snapshotter_(snapshotter), clock_(std::move(clock)) {
  if (config_.pages) {
    const chat::ReadingPolicy::ProfileJudge profile = [this](const std::string& url) { return profilePage(url); };
    pages_ = [this, profile](const std::string& url) { return config_.pages->judge(url, profile); };
  }
  if (config_.profilesOn) plans_ = [](const std::string& url) { return profile::profileReadPlan(url); };
}

void Reader::run() {
  while (true) cycle();
}

void Reader::waitUntilDue() {
  while (true) {
    const uint64_t g = shared_.wake.generation();
    const Date now = clock_.now();
    const bool front = isFront();
    const double idle = shared_.presence.idleSeconds();
    std::optional<double> fast;
    bool wanted = false;
    if (config_.profilesOn) {
      fast = profileSchedule_.interval(now, front);
      wanted = shared_.profiles.wantsRead(seenRevisions_, now);
    }
    if (const auto soon = pageRetry_.interval(shared_.schedule)) fast = std::min(fast.value_or(*soon), *soon);
    const auto next = pace_.next(now, shared_.presence.session(), shared_.schedule, front, idle,
                                 gate_.heartbeatDue(), fast, gate_.unchanged(), wanted);
    if (next.kind == ReaderPace::Next::Kind::read) return;
    shared_.wake.wait(next.until, g);
  }
}

std::optional<browsers::PageVerdict> Reader::profilePage(const std::string& url) {
  return profile::judgeProfilePage(url, config_.profilesOn, shared_.profiles, clock_.now(), isFront(), seenPages_,
                                   otherPages_);
}

void Reader::cycle() {
  waitUntilDue();
  const Date readTime = clock_.now();
  pace_.reading(readTime, shared_.presence.session(), isFront());

  std::map<profile::ProfilePage::Site, uint64_t> revisions;
  if (config_.profilesOn) {
    // A changed request from the host starts its site afresh: what was
    // printed or put to rest before counts no more.
    revisions = shared_.profiles.requests();
    for (const auto& [site, revision] : revisions) {
      auto seen = seenRevisions_.find(site);
      if (seen != seenRevisions_.end() && seen->second == revision) continue;
      profileGate_.retry(site);
      profileSchedule_.retry(site);
    }
    seenPages_.reset(profileSchedule_.resting(readTime));
  }

  ReadStatus status = ReadStatus::ok;
  std::vector<trees::AXNode> windows;
  std::vector<chat::Conversation> chats;
  // A read that throws (out of memory, most likely) ends as a failed read;
  // the reader goes on.
  try {
    PageLookout lookout;
    auto result =
        snapshotter_.snapshot(config_.bundleID, pages_ ? &pages_ : nullptr, plans_ ? &plans_ : nullptr, &lookout);
    pageRetry_.record(lookout.missing);
    if (auto* error = std::get_if<snapshot::SnapshotError>(&result))
      status = readStatus(*error);
    else
      windows = std::move(std::get<std::vector<trees::AXNode>>(result));
  } catch (const std::exception&) {
    status = ReadStatus::failed;
    windows.clear();
  }

  try {
    // A failed snapshot still runs the profile path: it records that no page
    // was seen.
    if (config_.profilesOn) profilePath(windows, readTime, revisions);
    if (config_.chatAllowed)
      for (const trees::AXNode& window : windows)
        if (auto c = config_.extractor->extract(window)) chats.push_back(std::move(*c));
  } catch (const std::exception&) {
    status = ReadStatus::failed;
    chats.clear();
  }
  if (config_.chatAllowed && gate_.shouldPrint(chats, status, readTime))
    shared_.printer.emit(config_.bundleID, readTime, status, chats);
  if (config_.profilesOn) seenRevisions_ = std::move(revisions);
  pace_.finished(clock_.now());
  // Everything read in this cycle is released here, at the end of its scope.
}

void Reader::profilePath(std::vector<trees::AXNode>& windows, Date readTime,
                         const std::map<profile::ProfilePage::Site, uint64_t>& revisions) {
  profile::ProfileControl& control = shared_.profiles;
  // A site the host asked about afresh while this read ran prints nothing
  // now: the next read starts it afresh and prints it once.
  const auto current = control.requests();
  const auto settled = [&](profile::ProfilePage::Site site) {
    const auto before = revisions.find(site);
    const auto now = current.find(site);
    return (before == revisions.end() ? 0 : before->second) == (now == current.end() ? 0 : now->second);
  };
  // Milliseconds spent waiting for the snapshot; a clock set back counts 0.
  const double waited = std::clamp(clock_.now().seconds(readTime) * 1000, 0.0, 1e15);
  const auto elapsed = static_cast<int64_t>(waited);
  std::map<std::string, std::string> ownSignatures;

  std::vector<profile::ProfileOutcome> outcomes;
  std::vector<profile::ProfileRead> ownReads;
  for (const trees::AXNode& window : windows)
    if (auto outcome = profile::ProfileExtractor::extract(window, readTime, clock_)) {
      if (const profile::ProfileRead* read = outcome->read()) ownReads.push_back(*read);
      outcomes.push_back(std::move(*outcome));
    }
  const auto candidates =
      profile::ProfileControl::unambiguous(ownReads, [&](profile::ProfilePage::Site s) { return control.isSaved(s); });

  for (profile::ProfileOutcome& outcome : outcomes) {
    if (const profile::ProfileStatus* status = outcome.status()) {
      if (settled(status->site) && profileGate_.shouldPrint(*status, statusKey(*status), readTime))
        shared_.printer.emitProfileStatus(config_.bundleID, readTime, *status);
      continue;
    }
    profile::ProfileRead& read = std::get<profile::ProfileRead>(outcome.value);
    bool confirmed = false;
    for (const profile::ProfileRead& c : candidates)
      if (c.site == read.site && c.handle == read.handle) confirmed = true;
    if (!confirmed) continue;
    read.health.readMs = elapsed;
    const std::string key = profile::ProfilePage{read.site, read.handle, read.view}.key();
    if (!control.accept(read, clock_.now(), isFront())) continue;
    ownSignatures[key] = profile::ProfileSchedule::signature(read);
    if (settled(read.site) && profileGate_.shouldPrint(read, key))
      shared_.printer.emitProfile(config_.bundleID, readTime, read);
  }

  for (const profile::ProfilePage& page : otherPages_.take()) {
    if (!control.isArmed(page.site, clock_.now()) || !settled(page.site)) continue;
    const profile::ProfileStatus status{page.site, page.view, false};
    if (profileGate_.shouldPrint(status, statusKey(status), readTime))
      shared_.printer.emitProfileStatus(config_.bundleID, readTime, status);
  }

  profileSchedule_.record(seenPages_.pages(), ownSignatures, clock_.now());
}

}  // namespace zel::agent
