#pragma once
// One reader: waits until a read of its target is due, snapshots the
// application, extracts conversations and prints what its change gate lets
// through. A browser reader with profile reading on also reads the user's
// own profile pages in the same cycle and prints what its profile gate lets
// through.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/front_app.h"
#include "agent/page_retry.h"
#include "agent/presence_watcher.h"
#include "profile/profile_pages.h"
#include "browsers/browsers.h"
#include "base/capture_clock.h"
#include "chat/reading_policy.h"
#include "chat/browser_extractor.h"
#include "chat/chat_page.h"
#include "chat/own_chat_only.h"
#include "agent/line_printer.h"
#include "profile/profile_control.h"
#include "profile/profile_gate.h"
#include "profile/profile_schedule.h"
#include "agent/change_gate.h"
#include "agent/read_schedule.h"
#include "agent/read_status.h"
#include "agent/reader_pace.h"
#include "agent/wake.h"
#include "snapshot/snapshotter.h"

namespace zel::agent {

struct ReaderConfig {
  std::string bundleID;
  std::shared_ptr<const chat::Extractor> extractor;
  bool profilesOn = false;  // a browser whose row reads profiles, with sites named
  bool chatAllowed = true;
  std::optional<chat::ReadingPolicy> pages;  // browsers only
};

struct SharedObjects {
  Wake& wake;
  PresenceWatcher& presence;
  const ReadSchedule& schedule;
  const FrontApp& front;
  profile::ProfileControl& profiles;
  LinePrinter& printer;
};

class Reader {
 public:
  // `clock` gives the current time of every decision and the time zone of
  // profile reads.
  Reader(ReaderConfig config, SharedObjects shared, const snapshot::AXSnapshotter& snapshotter,
         CaptureClock clock = CaptureClock::system());

  // Reads for ever.
  [[noreturn]] void run();
  // One cycle: waits until due, then reads once.
  void cycle();

 private:
  void waitUntilDue();
  bool isFront() const { return shared_.front.is(config_.bundleID); }
  // The profile side of the page filter: own pages that may be walked and
  // are not resting; other people's pages are remembered, never walked.
  std::optional<browsers::PageVerdict> profilePage(const std::string& url);
  // Profile lines and status lines from the windows of one read;
  // `revisions` are the host's requests as the read began.
  void profilePath(std::vector<trees::AXNode>& windows, Date readTime,
                   const std::map<profile::ProfilePage::Site, uint64_t>& revisions);

  ReaderConfig config_;
  SharedObjects shared_;
  const snapshot::AXSnapshotter& snapshotter_;
  CaptureClock clock_;
  snapshot::AXSnapshotter::PageFilter pages_;
  snapshot::AXSnapshotter::PlanFactory plans_;
  ChangeGate gate_{60.0};
  ReaderPace pace_;
  PageRetry pageRetry_;

  // Profile reading; untouched while it is off.
  profile::SeenPages seenPages_;
  profile::OtherHandlePages otherPages_;
  profile::ProfileGate profileGate_;
  profile::ProfileSchedule profileSchedule_;
  std::map<profile::ProfilePage::Site, uint64_t> seenRevisions_;
};

}  // namespace zel::agent
