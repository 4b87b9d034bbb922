// How a tree reads as text: the rendering extractors read content through,
// and the list of its static texts.

#include "trees/ax_node.h"

#include <vector>

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"

namespace zel::trees {

namespace {


// The roles text rendering tells apart. Rendering classifies every node of
// large windows, so the role is told by its length first and compared once.
enum class RoleKind { other, staticText, listMarker, silent, cell, list, heading, table, row, group };

RoleKind roleKind(const std::optional<std::string>& role) {
  if (!role) return RoleKind::other;
  const std::string_view r = *role;
  switch (r.size()) {
    case 5: return r == AX::Row ? RoleKind::row : RoleKind::other;
    case 6: return r == AX::Cell ? RoleKind::cell : r == AX::List ? RoleKind::list : RoleKind::other;
    case 7:
      return r == AX::Group   ? RoleKind::group
             : r == AX::Table ? RoleKind::table
             : r == AX::Image ? RoleKind::silent
                              : RoleKind::other;
    case 8: return r == AX::Button ? RoleKind::silent : RoleKind::other;
    case 9: return r == AX::Heading ? RoleKind::heading : RoleKind::other;
    case 12:
      return r == AX::StaticText   ? RoleKind::staticText
             : r == AX::ListMarker ? RoleKind::listMarker
                                   : RoleKind::other;
    case 13: return r == AX::PopUpButton ? RoleKind::silent : RoleKind::other;
    default: return RoleKind::other;
  }
}

bool blockByClasses(const std::vector<std::string>& classes) {
  for (const auto& c : classes) {
    if (c.starts_with('_')) {
      if (c.starts_with("_Paragraph") || c.starts_with("_ListItem") || c.starts_with("_CodeBlock")) return true;
    } else if (c == "whitespace-pre-wrap" || c == "standard-markdown") {
      return true;
    }
  }
  return false;
}

bool endsLine(const AXNode& n, RoleKind kind) {
  switch (kind) {
    case RoleKind::list:
    case RoleKind::heading:
    case RoleKind::table:
    case RoleKind::row: return true;
    case RoleKind::group:
      for (const AXNode& c : n.children)
        if (roleKind(c.role) == RoleKind::staticText) return true;
      break;
    default: break;
  }
  return blockByClasses(n.domClasses);
}

}  // namespace

bool AXNode::isBlock() const { return endsLine(*this, roleKind(role)); }

namespace {
struct TextFrame {
  const AXNode* node;
  size_t next;
  size_t outerBase;  // for a cell: the base to restore when it ends
  RoleKind kind;
};
// Rendering never renders inside itself, so one stack per thread serves.
thread_local std::vector<TextFrame> textStack;
}  // namespace

std::string AXNode::text(const AXNode* leaveOut) const {
  std::string acc;
  using Frame = TextFrame;
  auto& stack = textStack;
  stack.clear();
  // Where the accumulator of the innermost cell being rendered begins. A cell
  // renders its children as text of their own; "not empty" for its blocks
  // means not empty since this point.
  size_t base = 0;

  auto visit = [&](const AXNode& n) {
    if (&n == leaveOut && &n != this) return;
    const RoleKind kind = roleKind(n.role);
    switch (kind) {
      case RoleKind::staticText:
        if (n.value) acc += *n.value;
        else if (n.title) acc += *n.title;
        return;
      case RoleKind::listMarker:
        if (n.title) acc += *n.title;
        else if (n.value) acc += *n.value;
        return;
      case RoleKind::silent: return;
      case RoleKind::cell:
        stack.push_back({&n, 0, base, kind});
        base = acc.size();
        return;
      default: stack.push_back({&n, 0, base, kind});
    }
  };

  visit(*this);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.node->children.size()) {
      const AXNode& child = top.node->children[top.next++];
      if (top.next < top.node->children.size()) __builtin_prefetch(&top.node->children[top.next]);
      visit(child);  // may grow the stack: `top` is not used after
      continue;
    }
    const Frame done = top;
    stack.pop_back();
    if (done.kind == RoleKind::cell) {
      // The cell's own text, trimmed, on one line, in place of what it wrote.
      const std::string_view inner = trimmedView(std::string_view(acc).substr(base));
      const size_t from = static_cast<size_t>(inner.data() - acc.data());
      const size_t length = inner.size();
      acc.erase(base, from - base);
      acc.resize(base + length);
      for (size_t i = base; i < acc.size(); ++i)
        if (acc[i] == '\n') acc[i] = ' ';
      acc += " | ";
      base = done.outerBase;
    } else if (acc.size() > base && acc.back() != '\n' && endsLine(*done.node, done.kind)) {
      acc += '\n';
    }
  }
  if (stack.capacity() > 65536) std::vector<TextFrame>().swap(stack);
  const std::string_view result = trimmedView(acc);
  const size_t from = static_cast<size_t>(result.data() - acc.data());
  const size_t length = result.size();
  acc.erase(0, from);
  acc.resize(length);
  return acc;
}

std::vector<std::string> AXNode::texts() const {
  std::vector<std::string> out;
  forEachPreorder(*this, [&](const AXNode& n) {
    if (roleKind(n.role) == RoleKind::staticText) {
      std::string_view raw = n.value ? std::string_view(*n.value) : n.title ? std::string_view(*n.title) : "";
      std::string_view t = trimmedView(raw);
      if (!t.empty() && t != "\u00B7" && t != "\u2022") out.emplace_back(t);
    }
    return true;
  });
  return out;
}

}  // namespace zel::trees
