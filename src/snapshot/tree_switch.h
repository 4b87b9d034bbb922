#pragma once
// Asks applications to expose the accessibility tree of their web content,
// and takes every such request back when the agent stops.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "base/date.h"
#include "base/limits.h"
#include "platform/accessibility.h"
#include "snapshot/target.h"

namespace zel::snapshot {

class TreeSwitch {
 public:
  using Pid = platform::Pid;
  using AXElement = platform::AXElement;
  using Set = std::function<void(const AXElement& application, const std::string& attribute, bool value)>;
  using Read = std::function<void(const AXElement& application, const std::string& attribute)>;
  // Waits up to `timeout` seconds for a web area in the focused window.
  using WaitForTree = std::function<bool(const AXElement& application, double timeout)>;

  struct Functions {
    Set set;
    Read read;
    WaitForTree waitForTree;
    std::function<Date()> now;
  };

  // Functions left empty default to the accessibility interface `ax`, the
  // wall clock and real quarter-second sleeps. `nodeBudget` bounds the
  // search for web content after a switch, as it bounds a read of the window.
  TreeSwitch(platform::Accessibility& ax, Functions functions, int64_t nodeBudget);

  // The attribute set to true to switch an application's tree on, by its
  // rows.
  static std::optional<std::string> attribute(const browsers::KnownApp& app);
  // The attribute read to wake a browser's tree (Chrome's "AXRole").
  static std::optional<std::string> wake(const browsers::KnownApp& app);

  void enable(const Target& target, bool waitForTree);
  // Sets every attribute set to true back to false, twice, once the sets to
  // true in flight have ended; nothing is set to true afterwards.
  void disableAll();

  // Looks for a web area in the focused window every 0.25 s until `timeout`.
  static bool waitForWebArea(platform::Accessibility& ax, const AXElement& application, double timeout,
                             const std::function<Date()>& now, const std::function<void(double)>& sleep,
                             int64_t nodeBudget = limits.nodeBudget);
  // Whether the element or one below it, down to depth 14 and among at most
  // `nodeBudget` elements, is a web area.
  static bool hasWebArea(platform::Accessibility& ax, const AXElement& element, int depth,
                         int64_t nodeBudget = limits.nodeBudget);

 private:
  platform::Accessibility& ax_;
  Functions f_;
  int64_t nodeBudget_;
  std::mutex lock_;
  std::condition_variable settled_;  // `setting_` went down
  int setting_ = 0;                  // switches being set to true now
  std::map<Pid, Date> lastEnabled_;
  std::map<Pid, std::string> switched_;
  std::set<Pid> woken_;
  std::map<Pid, Date> waited_;
  bool stopped_ = false;
};

}  // namespace zel::snapshot
