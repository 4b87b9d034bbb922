#pragma once
// The accessibility interface over AT-SPI2: elements are objects on the
// accessibility bus, read in the library's macOS vocabulary through the
// translation table.
//
// Reads are batched: listing an element's children fetches every listed
// child's role, name, attributes, states, text and children in one volley of
// calls, kept with the child's handle, so walking a tree costs one round
// trip per sibling list rather than six per element. Handles are immutable
// once made; threads share them freely.

#include <atomic>
#include <functional>
#include <condition_variable>
#include <map>
#include <optional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/atspi/bus.h"
#include "platform/atspi/object_mirror.h"
#include "platform/atspi/switch_record.h"

namespace zel::platform::atspi {

// An application on the accessibility bus.
struct BusApp {
  std::string busName;
  Pid pid = 0;
  std::string toolkit;
};

class AtspiAccessibility : public Accessibility {
 public:
  // `record` writes down the accessibility switch while this process has it
  // on; none: nothing is written down.
  // `now` tells the time, for how long what reads learnt is kept.
  using Now = std::function<ObjectMirror::Time()>;
  explicit AtspiAccessibility(const Bus& bus, const SwitchRecord* record = nullptr,
                              Now now = &ObjectMirror::Clock::now);
  // Puts the accessibility switch back when this process turned it on.
  ~AtspiAccessibility() override;

  bool isTrusted() override;
  AXElement application(Pid pid) override;
  void setMessagingTimeout(const AXElement& element, double seconds) override;
  AXRead attribute(const AXElement& element, const std::string& name) override;
  AXMultiRead attributes(const AXElement& element, const std::vector<std::string>& names,
                         size_t longestList = SIZE_MAX) override;
  void setBoolean(const AXElement& application, const std::string& name, bool value) override;
  bool equal(const AXElement& a, const AXElement& b) override;

  // The applications on the bus now.
  std::vector<BusApp> applications();
  // The bus name and object path of an element, for tools that read it
  // their own way.
  static std::pair<std::string, std::string> whereIs(const AXElement& element);
  // The process owning the active window, when one is active.
  std::optional<Pid> activeApplication();
  // The process of an application by its bus name, when it is known.
  std::optional<Pid> pidOf(const std::string& busName);
  // Bus calls made so far, and the volleys they travelled in, for benchmarks.
  uint64_t calls() const;
  uint64_t volleys() const { return volleys_.load(); }

  struct Element;
  struct Fetched;
  using Reference = ChildReference;
  struct Known;
  using KnownSubtree = std::map<std::string, Known>;

 private:
  // The calls sent together, counted for calls() and volleys().
  std::vector<Reply> send(std::vector<Call> calls, int timeoutMs);
  std::shared_ptr<Element> handleOf(const BusApp& app) const;
  std::vector<std::shared_ptr<Fetched>> fetch(const std::vector<const Element*>& elements, int timeoutMs,
                                              const KnownSubtree* known = nullptr);
  // A root and its children; no children: a root of a part an earlier read
  // asked for, asked again before anything else of it is read.
  using Part = std::pair<const Element*, const std::vector<Reference>*>;
  // Asks for the subtrees of `roots` in one volley and adds what they tell to `known`.
  void learnSubtrees(const std::vector<Part>& roots, int timeoutMs, KnownSubtree& known);
  std::shared_ptr<const Fetched> fetched(const Element& e);
  std::vector<AXElement> children(const Element& e, const Fetched& f, size_t longest, size_t ahead);
  std::vector<AXElement> windows(const Element& app);
  // `listed`: the application's windows as one read of several names found
  // them, or none yet; null: looked at for this name alone.
  AXRead answer(const Element& e, const std::string& name, size_t longestList,
                std::optional<std::vector<AXElement>>* listed = nullptr);
  void restoreSwitch();
  // Turns the session's accessibility on for `pid` (off when no application
  // asks for it any more, and only when this process turned it on).
  void switchFor(Pid pid, bool on);
  // Asked for on (`on`) or after one asked no more: turns the session's
  // accessibility on, or off once nobody asks; `g` holds `lock_`.
  void settleSwitch(std::unique_lock<std::mutex>& g, bool on);

  const Bus& bus_;
  const SwitchRecord* record_;
  Now now_;
  ObjectMirror mirror_;
  std::mutex lock_;  // guards the members below; never held across a bus call
  std::map<std::string, BusApp> known_;  // by bus name; a bus name is never reused
  std::map<std::string, bool> subtreeCalls_;  // by bus name: whether it answers Collection.GetTree
  // The accessibility switch: which applications asked for it, whether this
  // process turned it on, and whether a call changing it is under way (the
  // next change waits for it on `switchSettled_`).
  std::set<Pid> switched_;
  bool turnedOn_ = false;
  bool switching_ = false;
  std::condition_variable switchSettled_;
  std::atomic<uint64_t> calls_{0};
  std::atomic<uint64_t> volleys_{0};
  std::atomic<uint64_t> busGeneration_{0};
};

}  // namespace zel::platform::atspi
