#pragma once
// Turns the windows of one running application into AXNode trees through the
// accessibility interface: the signature check, the window list, the tree
// switch, private-window screening, the page filter, and a budgeted walk of
// each remaining window, steered by a read plan where one is given.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "snapshot/app_signature.h"
#include "trees/read_plan.h"
#include "browsers/private_windows.h"
#include "browsers/read_verdicts.h"
#include "snapshot/target.h"
#include "snapshot/tree_switch.h"
#include "platform/platform.h"

namespace zel::snapshot {

struct SnapshotError {
  enum class Kind { notRunning, noVisibleWindow, unreadable, needsRestart, notTrusted };
  Kind kind;
  std::string bundleID;  // empty for notTrusted
  friend bool operator==(const SnapshotError&, const SnapshotError&) = default;
};

// What one snapshot decided and why, for a person who asks (zel-capture
// explain). It hears what the snapshot read anyway; nothing is read for it.
class SnapshotTrace {
 public:
  virtual ~SnapshotTrace() = default;
  // A browser whose windows cannot be judged now: none of them is read.
  enum class Unjudged { alwaysPrivate, language, menus };
  virtual void browserUnjudged(Unjudged) {}
  // Window `index` of the window list: refused as private, its page refused
  // (its page address, if it has one), or walked; with what was decided.
  virtual void windowPrivate(size_t, const std::optional<std::string>& /*title*/, browsers::WindowVerdict) {}
  virtual void pageRefused(size_t, const std::optional<std::string>& /*title*/,
                           const std::optional<std::string>& /*url*/, browsers::PageVerdict) {}
  virtual void walked(size_t, int64_t /*elements*/, bool /*budgetSpent*/) {}
};

class AXSnapshotter {
 public:
  using AXElement = platform::AXElement;
  // Whether a page is read, judged by its address.
  using PageFilter = std::function<browsers::PageVerdict(const std::string& url)>;
  using PlanFactory = std::function<std::unique_ptr<trees::ReadPlan>(const std::string& url)>;
  // The window trees read, or why none could be.
  using Outcome = std::variant<std::vector<trees::AXNode>, SnapshotError>;

  // What a snapshot reaches the system through.
  struct Environment {
    platform::Platform& platform;
    TreeSwitch& treeSwitch;
    AppSignature::Checked& signatures;
    std::filesystem::path home;  // where browser profiles live
  };

  AXSnapshotter(int64_t nodeBudget, Environment environment);

  Outcome snapshot(const std::string& bundleID, const PageFilter* page = nullptr, const PlanFactory* plan = nullptr,
                   SnapshotTrace* trace = nullptr) const;
  // The address of the first web page in a window (24 levels deep at most).
  std::optional<std::string> pageURL(const AXElement& window) const;

  // Content elements, read with one multiple-attribute request each.
  class Live {
   public:
    using Element = AXElement;
    explicit Live(platform::Accessibility& ax) : ax_(ax) {}
    // At most `longestList` children: the walk never visits more.
    trees::ElementValues<Element> full(const Element& e, size_t longestList);
    trees::ElementValues<Element> addresses(const Element& e, size_t longestList);

   private:
    platform::Accessibility& ax_;
  };

  // Window controls, for private-window screening.
  class LiveControls {
   public:
    using Element = AXElement;
    explicit LiveControls(platform::Accessibility& ax) : ax_(ax) {}
    browsers::ControlValues<Element> control(const Element& e, size_t longestList);

   private:
    platform::Accessibility& ax_;
  };

  // The four attribute lists, built once.
  static const std::vector<std::string>& attributes();
  static const std::vector<std::string>& childrenOnly();
  static const std::vector<std::string>& controls();
  static const std::vector<std::string>& addressesOnly();

 private:
  struct WindowList {
    std::vector<AXElement> windows;
    int32_t error;
  };
  // The target of one read: its rows, the vendor's process, its element and
  // language, looked up once.
  std::variant<Target, SnapshotError> resolve(const std::string& bundleID) const;
  WindowList windowList(const AXElement& app) const;
  std::optional<std::vector<std::string>> menuTitles(const AXElement& app) const;

  int64_t nodeBudget_;
  Environment env_;
};

// The values of one element for a list of attributes: one request, or single
// reads when the platform's answer is unusable. Absent where a read failed.
std::vector<std::optional<platform::AXValue>> elementValues(platform::Accessibility& ax, const platform::AXElement& e,
                                                            const std::vector<std::string>& names,
                                                            size_t longestList = SIZE_MAX);
// The text of a value: a non-empty text, or a number in decimal.
std::optional<std::string> valueText(const std::optional<platform::AXValue>& v);

}  // namespace zel::snapshot
