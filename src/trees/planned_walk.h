#pragma once
// The planned walk over any element source. Kept in a header of its own
// because it is a template; include read_plan.h, not this file.

#include <algorithm>

#include "base/ax_vocabulary.h"
#include "trees/read_plan.h"

namespace zel::trees::PlannedWalk {

namespace detail {

inline bool isWebArea(const AXNode& n) { return n.role && *n.role == AX::WebArea; }

}  // namespace detail

// Iterative: live windows can be chains tens of thousands of elements deep.
template <class Source>
std::optional<AXNode> full(Source& source, const typename Source::Element& element, ReadPlan* plan, bool insidePage,
                           int64_t& budget) {
  using Element = typename Source::Element;
  enum class Mode { full, addresses };
  struct Frame {
    AXNode* node;
    std::vector<Element> children;
    size_t next = 0;
    Mode mode;
    bool insidePage;  // for full frames: whether this node's children are inside a page
    bool inOwnLink;   // for address frames
  };

  // The shared state of the address-only subtree being walked (one at a time).
  bool found = false;
  bool needOwnLink = false;

  std::vector<Frame> stack;
  AXNode root;

  // Reads one element in full mode; returns false when it is left out.
  auto enterFull = [&](const Element& e, bool inside, AXNode* into) -> bool {
    budget -= 1;
    // Children past the budget would never be visited: they are not asked for.
    ElementValues<Element> values = source.full(e, static_cast<size_t>(std::max<int64_t>(budget, 0)));
    if (detail::isWebArea(values.node) && inside) return false;
    AXNode* node = into ? &into->children.emplace_back(std::move(values.node)) : &(root = std::move(values.node));
    if (budget <= 0) return true;
    node->children.reserve(values.children.size());
    if (plan) {
      const PlanStep step = plan->step(*node);
      if (step.kind == PlanStep::Kind::skip) return true;
      if (step.kind == PlanStep::Kind::addressesOnly) {
        found = false;
        needOwnLink = step.needOwnLink;
        stack.push_back({node, std::move(values.children), 0, Mode::addresses, false, false});
        return true;
      }
    }
    stack.push_back({node, std::move(values.children), 0, Mode::full, inside || detail::isWebArea(*node), false});
    return true;
  };

  auto enterAddresses = [&](const Element& e, bool inOwnLink, AXNode* into) {
    budget -= 1;
    ElementValues<Element> values = source.addresses(e, static_cast<size_t>(std::max<int64_t>(budget, 0)));
    AXNode* node = &into->children.emplace_back(std::move(values.node));
    node->children.reserve(values.children.size());
    // Address-only subtrees are only entered through a plan's step.
    const bool childrenInOwnLink = inOwnLink || (needOwnLink && plan->opensOwnLink(*node));
    if (plan->ends(*node) && !(needOwnLink && !childrenInOwnLink)) {
      found = true;
      return;
    }
    stack.push_back({node, std::move(values.children), 0, Mode::addresses, false, childrenInOwnLink});
  };

  if (!enterFull(element, insidePage, nullptr)) return std::nullopt;
  while (!stack.empty()) {
    Frame& f = stack.back();
    const bool more = f.next < f.children.size();
    bool go;
    if (f.mode == Mode::full) go = more && budget > 0 && !(plan && plan->finished());
    else go = more && budget >= 1 && !found;
    if (!go) {
      stack.pop_back();
      continue;
    }
    const Element child = f.children[f.next++];
    AXNode* parent = f.node;
    // Entering may push a frame and so move `f`; nothing of it is used after.
    if (f.mode == Mode::full) {
      const bool inside = f.insidePage;
      enterFull(child, inside, parent);
    } else {
      enterAddresses(child, f.inOwnLink, parent);
    }
  }
  return root;
}

template <class Source>
AXNode walk(Source& source, const typename Source::Element& element, ReadPlan* plan, int64_t budget) {
  auto node = full(source, element, plan, false, budget);
  return node ? std::move(*node) : AXNode();
}

}  // namespace zel::trees::PlannedWalk
