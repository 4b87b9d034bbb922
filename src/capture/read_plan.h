#pragma once
// Walks one window element by element into an AXNode tree under a node
// budget, letting a per-page plan decide at each element whether to read
// below it in full, only roles and addresses, or not at all. The walk runs
// over any element source: live accessibility elements or recorded trees.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/ax_node.h"
#include "capture/profile_page.h"

namespace zel {

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
  virtual std::optional<std::string> ownSlug() const { return std::nullopt; }
};

class PagePlan : public ReadPlan {
 protected:
  // Reads only the window's first web area, and skips banners and footers.
  std::optional<PlanStep> common(const AXNode& node);
  bool seenPage_ = false;
};

class LinkedInReadPlan final : public PagePlan {
 public:
  explicit LinkedInReadPlan(std::string slug) : slug_(std::move(slug)) {}
  PlanStep step(const AXNode& node) override;
  std::optional<std::string> ownSlug() const override { return slug_; }

 private:
  std::string slug_;
};

class XReadPlan final : public PagePlan {
 public:
  PlanStep step(const AXNode& node) override;
  bool finished() const override { return finished_; }

 private:
  bool finished_ = false;
};

// The plan for a page address: LinkedIn or X profile pages; none for others.
std::unique_ptr<ReadPlan> profileReadPlan(std::string_view url);

// One element as a source gives it: its own values, and its children.
template <class Element>
struct ElementValues {
  AXNode node;  // without children
  std::vector<Element> children;
};

// Walks recorded trees, counting every read.
class RecordedSource {
 public:
  using Element = const AXNode*;
  ElementValues<Element> full(Element node);
  ElementValues<Element> addresses(Element node);
  std::vector<const AXNode*> fullReads, addressReads;
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

}  // namespace zel

#include "capture/read_plan_walk.h"
