#pragma once
// Walks one window element by element into an AXNode tree under a node
// budget, letting a per-page plan decide at each element whether to read
// below it in full, only roles and addresses, or not at all. The walk runs
// over any element source: live accessibility elements or recorded trees.
// Plans for particular pages live with the code that reads those pages.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "trees/ax_node.h"

namespace zel::trees {

struct PlanStep {
  enum class Kind { addressesOnly, descend, skip };
  Kind kind = Kind::descend;
  bool needOwnLink = false;  // for addressesOnly

  static PlanStep addressesOnly(bool needOwnLink) { return {Kind::addressesOnly, needOwnLink}; }
  static PlanStep descend() { return {Kind::descend, false}; }
  static PlanStep skip() { return {Kind::skip, false}; }
  friend bool operator==(const PlanStep&, const PlanStep&) = default;
};

// A plan keeps state during one window walk.
class ReadPlan {
 public:
  virtual ~ReadPlan() = default;
  virtual PlanStep step(const AXNode& node) = 0;
  virtual bool finished() const { return false; }

  // Inside an address-only subtree: whether `node` is what the subtree is
  // searched for, which ends its walk.
  virtual bool ends(const AXNode&) const { return false; }
  // Inside an address-only subtree that needs the page owner's link: whether
  // `node` is that link, so that what lies below it counts.
  virtual bool opensOwnLink(const AXNode&) const { return false; }
};

// The part every page plan shares: only the window's first web area is read,
// and banners and footers are skipped.
class PagePlan : public ReadPlan {
 protected:
  std::optional<PlanStep> common(const AXNode& node);
  bool seenPage_ = false;
};

// One element as a source gives it: its own values, and its children.
template <class Element>
struct ElementValues {
  AXNode node;  // without children
  std::vector<Element> children;
};

namespace PlannedWalk {

// Walks `element` with `budget` elements at most; an element nested page
// comes back as an empty node.
template <class Source>
AXNode walk(Source& source, const typename Source::Element& element, ReadPlan* plan, int64_t budget);

// The walk itself, with a budget shared with the caller. Nullopt when
// `element` is a web area inside a page.
template <class Source>
std::optional<AXNode> full(Source& source, const typename Source::Element& element, ReadPlan* plan, bool insidePage,
                           int64_t& budget);

}  // namespace PlannedWalk

}  // namespace zel::trees

#include "trees/planned_walk.h"
