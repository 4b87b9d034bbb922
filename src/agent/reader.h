#pragma once
// One reader: waits until a read of its target is due, snapshots the
// application, extracts conversations and prints what its change gate lets
// through.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "agent/front_app.h"
#include "agent/presence_watcher.h"
#include "capture/browsers.h"
#include "capture/chat_page.h"
#include "capture/line_printer.h"
#include "capture/profile_reading.h"
#include "capture/read_pacing.h"
#include "capture/snapshotter.h"

namespace zel::agent {

struct ReaderConfig {
  std::string bundleID;
  std::shared_ptr<const Extractor> extractor;
  std::optional<Browser> browser;
  bool profilesOn = false;
  bool chatAllowed = true;
  std::optional<AXSnapshotter::PageFilter> pageFilter;
};

struct SharedObjects {
  Wake& wake;
  PresenceWatcher& presence;
  const ReadSchedule& schedule;
  const FrontApp& front;
  ProfileControl& profiles;
  LinePrinter& printer;
};

class Reader {
 public:
  Reader(ReaderConfig config, SharedObjects shared, const AXSnapshotter& snapshotter,
         std::function<Date()> now = &Date::now);

  // Reads for ever.
  [[noreturn]] void run();
  // One cycle: waits until due, then reads once.
  void cycle();

 private:
  void waitUntilDue();

  ReaderConfig config_;
  SharedObjects shared_;
  const AXSnapshotter& snapshotter_;
  std::function<Date()> now_;
  ChangeGate gate_{60.0};
  ReaderPace pace_;
};

}  // namespace zel::agent
