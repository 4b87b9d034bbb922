#include "agent/service.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <exception>
#include <new>
#include <cstdlib>
#include <thread>

#include "agent/front_app.h"
#include "agent/presence_watcher.h"
#include "agent/reader.h"
#include "chat/reading_policy.h"
#include "chat/chat_page.h"
#include "chat/own_chat_only.h"
#include "chat/extractors.h"
#include "agent/line_printer.h"
#include "snapshot/live_reading.h"

namespace zel::agent {

namespace {

// Every way out of serve puts back what the agent switched on in other
// applications first. Output is written unbuffered, so nothing is lost by
// leaving without running destructors under live threads.
[[noreturn]] void quit(snapshot::TreeSwitch& treeSwitch) {
  treeSwitch.disableAll();
  std::_Exit(0);
}

// A terminate handler takes no arguments, so the one fatal path reaches the
// tree switch through this pointer, set once at start-up before any thread.
snapshot::TreeSwitch* switchesToPutBack = nullptr;

// Anything no thread could recover from ends here: the switches set in other
// applications are put back, and the agent ends with a status that says it
// failed.
[[noreturn]] void fatal() {
  if (switchesToPutBack) switchesToPutBack->disableAll();
  std::_Exit(70);
}

}  // namespace

void readControlLines(int fd, profile::ProfileControl& control, Wake& wake, const std::function<Date()>& now,
                      size_t longestLine) {
  std::string line;
  bool skipping = false;  // inside a line too long to keep
  auto handle = [&] {
    if (!skipping) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // A line that cannot be taken (out of memory) is a line not sent.
      try {
        if (auto parsed = profile::ControlLine::parse(line)) {
          control.apply(*parsed, now());
          wake.poke();
        }
      } catch (const std::exception&) {
      }
    }
    line.clear();
    skipping = false;
  };
  char buffer[65536];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::string_view bytes(buffer, static_cast<size_t>(n));
    while (!bytes.empty()) {
      const size_t lf = bytes.find('\n');
      const std::string_view piece = bytes.substr(0, lf);
      if (!skipping) {
        bool kept = line.size() + piece.size() <= longestLine;
        if (kept) {
          try {
            line.append(piece);
          } catch (const std::bad_alloc&) {
            kept = false;
          }
        }
        if (!kept) {
          skipping = true;
          line.clear();
          line.shrink_to_fit();
        }
      }
      if (lf == std::string_view::npos) break;
      handle();
      bytes.remove_prefix(lf + 1);
    }
  }
  if (!line.empty() || skipping) handle();
}

namespace {
sigset_t quitSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

void blockQuitSignals() {
  const sigset_t set = quitSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void serve(const ServeConfig& config, platform::Platform& platform) {
  // The shared objects live as long as the process; threads hold them until
  // it ends. Those that reach the system are built here over the platform
  // that start-up opened, and handed down.
  const char* home = std::getenv("HOME");
  auto* live = new snapshot::LiveReading(platform, home && *home ? home : ".");
  snapshot::TreeSwitch* treeSwitch = &live->treeSwitch;
  switchesToPutBack = treeSwitch;
  std::set_terminate(fatal);
  const chat::BrowserChatConsent consent(config.chatBrowsers);
  std::set<profile::ProfilePage::Site> sites;
  for (const auto& word : config.profileSites)
    if (auto site = profile::siteNamed(word)) sites.insert(*site);
  auto* profiles = new profile::ProfileControl(sites);
  auto* wake = new Wake();

  // SIGINT and SIGTERM are taken by one thread of their own (the caller
  // blocked them before any thread started).
  blockQuitSignals();
  const sigset_t quitSignals = quitSignalSet();
  std::thread([quitSignals, treeSwitch] {
    int received = 0;
    while (sigwait(&quitSignals, &received) != 0) {
    }
    quit(*treeSwitch);
  }).detach();

  std::thread([profiles, wake, treeSwitch] {
    readControlLines(STDIN_FILENO, *profiles, *wake, &Date::now);
    quit(*treeSwitch);
  }).detach();

  auto* printer = new LinePrinter(STDOUT_FILENO);
  auto* schedule = new ReadSchedule{config.every, 20.0, 60.0, 120.0, 60.0};
  auto* front = new FrontApp(platform.workspace(), [wake] { wake->poke(); });
  auto* presence = new PresenceWatcher(platform.session(), *schedule, *wake);
  std::thread([presence] { presence->run(); }).detach();

  const snapshot::AXSnapshotter* snapshotter = &live->snapshotter;
  const SharedObjects shared{*wake, *presence, *schedule, *front, *profiles, *printer};
  for (const auto& [bundleID, extractor] : chat::Extractors::byBundleID(platform.system())) {
    if (config.apps && !config.apps->contains(bundleID)) continue;
    ReaderConfig rc;
    rc.bundleID = bundleID;
    rc.extractor = extractor;
    const browsers::Browser* browser = browsers::Browsers::named(bundleID, platform.system());
    rc.profilesOn = browser && browser->reads.profiles && !sites.empty();
    const auto& browserExtractors = chat::Extractors::browsers(platform.system());
    if (auto it = browserExtractors.find(bundleID); it != browserExtractors.end()) {
      rc.chatAllowed = consent.allows(bundleID);
      // A window passes when it shows a readable chat page in a browser
      // where chat is allowed, or an own profile page the reader may walk.
      rc.pages = chat::ReadingPolicy(consent, it->second);
    }
    auto* reader = new Reader(std::move(rc), shared, *snapshotter);
    std::thread([reader] { reader->run(); }).detach();
  }

  auto deliver = [front, presence, wake](platform::SystemEvent e) {
    try {
      if (e == platform::SystemEvent::appActivated) front->activated();
      else presence->notify(e);
    } catch (const std::exception&) {
      wake->poke();  // the readers look for themselves
    }
  };
  while (true) {
    platform.runLoop().run(deliver);
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

}  // namespace zel::agent
