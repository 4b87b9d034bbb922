#pragma once
// One accessibility element with the attributes the extractors look at, and its
// children in order. Every tree the system handles travels in this form.
//
// Live walks can produce chains tens of thousands of nodes deep, so nothing here
// recurses on the depth of a tree: copying, comparing, destroying, searching,
// rendering and encoding all walk with explicit stacks.

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/result.h"
#include "base/limits.h"

namespace zel::trees {

struct AXNode {
  // Walks read the role, the children and the texts of every node: they come
  // first so that they share cache lines.
  std::optional<std::string> role;
  std::vector<AXNode> children;
  std::optional<std::string> value;
  std::optional<std::string> title;
  std::vector<std::string> domClasses;
  std::optional<std::string> subrole;
  std::optional<std::string> desc;
  std::optional<std::string> domID;
  std::optional<std::string> url;

  AXNode() = default;
  AXNode(const AXNode& other);
  AXNode(AXNode&& other) noexcept = default;
  AXNode& operator=(const AXNode& other);
  AXNode& operator=(AXNode&& other) noexcept;
  ~AXNode();

  // Equal when all nine fields are, children compared in order.
  friend bool operator==(const AXNode& a, const AXNode& b);

  // Pre-order search starting with this node; nullptr when nothing matches.
  template <class Pred>
  const AXNode* first(Pred&& pred) const;
  // Every node below this one (never this one) that matches, in pre-order.
  template <class Pred>
  std::vector<const AXNode*> descendants(Pred&& pred) const;
  // This node followed by all its descendants, in pre-order.
  std::vector<const AXNode*> preorder() const;

  bool hasClass(std::string_view cls) const;
  bool hasClassPrefix(std::string_view prefix) const;

  // The title whatever the role; else the description of a web area.
  std::optional<std::string> pageTitle() const;

  // The subtree rendered to text: static texts run together, blocks end lines,
  // table cells are joined by " | ", buttons and images are silent.
  std::string text() const { return text(nullptr); }
  // The same rendering with one node of the subtree (and all below it) left
  // out, as if it were not there; the root itself is never left out.
  std::string text(const AXNode* leaveOut) const;
  // The static texts of the subtree in pre-order, trimmed, without empty ones
  // and lone bullets.
  std::vector<std::string> texts() const;
  // Whether the node ends a line in text().
  bool isBlock() const;

  // A copy without the web areas nested inside another web area (embedded
  // frames), each removed with its subtree. The root always stays.
  AXNode withoutFramedPages() const;
  // Whether withoutFramedPages() would remove anything.
  bool hasFramedPages() const;

  // The JSON form: keys sorted, optional texts only when present, "domClasses"
  // and "children" always. Throws UnencodableValue on invalid UTF-8.
  std::string json() const;
  void appendJSON(std::string& out) const;

  // Decodes one node object. Missing "domClasses" or "children", a wrong JSON
  // type, or nesting deeper than maxDepth nodes fail the whole tree.
  static Result<AXNode> decode(std::string_view json);
  static constexpr size_t maxDepth = limits.treeDepth;

  // A copy of this node's own values, without children.
  AXNode withoutChildren() const;
};

inline bool hasRole(const AXNode& n, std::string_view role) { return n.role && *n.role == role; }
inline bool hasSubrole(const AXNode& n, std::string_view subrole) { return n.subrole && *n.subrole == subrole; }

// The first web area (pre-order, the root included) that has a page title.
const AXNode* firstTitledWebArea(const AXNode& root);

// The texts of the nodes `keep` accepts, empty ones dropped, joined by "\n".
// `nodes` holds AXNode values (a range of children) or pointers to them.
template <class Nodes, class Keep>
std::string joinedTexts(const Nodes& nodes, Keep&& keep) {
  std::string joined;
  for (const auto& item : nodes) {
    const AXNode* n;
    if constexpr (std::is_pointer_v<std::decay_t<decltype(item)>>) n = item;
    else n = &item;
    if (!keep(*n)) continue;
    std::string t = n->text();
    if (t.empty()) continue;
    if (!joined.empty()) joined += '\n';
    joined += t;
  }
  return joined;
}

// A recorded file holds one window tree or a JSON array of them.
Result<std::vector<AXNode>> decodeWindows(std::string_view json);

namespace detail {
// Walks run many times a second over small subtrees, and allocating a fresh
// stack for each costs more than the walk. Each thread keeps its stacks and
// hands them out by nesting depth, so a walk inside a walk gets its own.
class WalkStack {
 public:
  WalkStack();
  ~WalkStack();
  WalkStack(const WalkStack&) = delete;
  WalkStack& operator=(const WalkStack&) = delete;
  std::vector<const AXNode*>& nodes() { return *nodes_; }

 private:
  std::vector<const AXNode*>* nodes_;
};
}  // namespace detail

// Calls `visit` for the node and every descendant in pre-order. `visit` returns
// false to stop the walk early; forEachPreorder then returns false too.
template <class Visit>
bool forEachPreorder(const AXNode& root, Visit&& visit) {
  detail::WalkStack stack;
  auto& pending = stack.nodes();
  pending.push_back(&root);
  while (!pending.empty()) {
    const AXNode* node = pending.back();
    pending.pop_back();
    if (!visit(*node)) return false;
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) pending.push_back(&*it);
  }
  return true;
}

template <class Pred>
const AXNode* AXNode::first(Pred&& pred) const {
  const AXNode* hit = nullptr;
  forEachPreorder(*this, [&](const AXNode& n) {
    if (!pred(n)) return true;
    hit = &n;
    return false;
  });
  return hit;
}

template <class Pred>
std::vector<const AXNode*> AXNode::descendants(Pred&& pred) const {
  std::vector<const AXNode*> found;
  forEachPreorder(*this, [&](const AXNode& n) {
    if (&n != this && pred(n)) found.push_back(&n);
    return true;
  });
  return found;
}

}  // namespace zel::trees
