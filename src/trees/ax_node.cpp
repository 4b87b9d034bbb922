#include "trees/ax_node.h"

#include <memory>

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"

namespace zel::trees {

namespace {

bool roleIs(const AXNode& n, std::string_view role) { return n.role && *n.role == role; }
bool isWebArea(const AXNode& n) { return roleIs(n, AX::WebArea); }

// Frees a subtree without recursing on its depth: child lists are moved out
// level by level, so every node is destroyed with no children left in it.
void dismantle(std::vector<AXNode>&& kids) {
  std::vector<std::vector<AXNode>> pending;
  pending.push_back(std::move(kids));
  while (!pending.empty()) {
    std::vector<AXNode> level = std::move(pending.back());
    pending.pop_back();
    for (AXNode& c : level)
      if (!c.children.empty()) pending.push_back(std::move(c.children));
  }
}

bool hasGrandchildren(const std::vector<AXNode>& kids) {
  for (const AXNode& c : kids)
    if (!c.children.empty()) return true;
  return false;
}

// Copies the children of `src` below `dst`, optionally leaving out every web
// area that sits inside another one.
void cloneChildren(const AXNode& src, AXNode& dst, bool dropFrames) {
  struct Job {
    const AXNode* src;
    AXNode* dst;
    bool insidePage;
  };
  std::vector<Job> jobs{{&src, &dst, dropFrames && isWebArea(src)}};
  while (!jobs.empty()) {
    const Job job = jobs.back();
    jobs.pop_back();
    job.dst->children.reserve(job.src->children.size());
    for (const AXNode& c : job.src->children) {
      const bool page = isWebArea(c);
      if (page && job.insidePage) continue;
      AXNode& copy = job.dst->children.emplace_back(c.withoutChildren());
      // The reserve above keeps `copy` in place while its siblings are added.
      if (!c.children.empty()) jobs.push_back({&c, &copy, dropFrames && (job.insidePage || page)});
    }
  }
}

bool sameAttributes(const AXNode& a, const AXNode& b) {
  return a.role == b.role && a.subrole == b.subrole && a.title == b.title && a.desc == b.desc &&
         a.value == b.value && a.domClasses == b.domClasses && a.domID == b.domID && a.url == b.url &&
         a.children.size() == b.children.size();
}

}  // namespace

namespace detail {

namespace {
struct WalkStacks {
  std::vector<std::unique_ptr<std::vector<const AXNode*>>> stacks;
  size_t inUse = 0;
};
thread_local WalkStacks walkStacks;
}  // namespace

WalkStack::WalkStack() {
  auto& pool = walkStacks;
  if (pool.inUse == pool.stacks.size()) pool.stacks.push_back(std::make_unique<std::vector<const AXNode*>>());
  nodes_ = pool.stacks[pool.inUse++].get();
  nodes_->clear();
}

WalkStack::~WalkStack() {
  --walkStacks.inUse;
  // A huge walk should not pin its memory to the thread for good.
  if (nodes_->capacity() > 65536) std::vector<const AXNode*>().swap(*nodes_);
}

}  // namespace detail

AXNode::AXNode(const AXNode& o)
    : role(o.role),
      value(o.value),
      title(o.title),
      domClasses(o.domClasses),
      subrole(o.subrole),
      desc(o.desc),
      domID(o.domID),
      url(o.url) {
  cloneChildren(o, *this, false);
}

AXNode& AXNode::operator=(const AXNode& o) {
  if (this != &o) *this = AXNode(o);
  return *this;
}

AXNode& AXNode::operator=(AXNode&& o) noexcept {
  if (this == &o) return *this;
  // `o` may live inside our own subtree: keep the old children alive until
  // its fields have been taken.
  std::vector<AXNode> old = std::move(children);
  role = std::move(o.role);
  subrole = std::move(o.subrole);
  title = std::move(o.title);
  desc = std::move(o.desc);
  value = std::move(o.value);
  domClasses = std::move(o.domClasses);
  domID = std::move(o.domID);
  url = std::move(o.url);
  children = std::move(o.children);
  if (hasGrandchildren(old)) dismantle(std::move(old));
  return *this;
}

AXNode::~AXNode() {
  if (hasGrandchildren(children)) dismantle(std::move(children));
}

bool operator==(const AXNode& a, const AXNode& b) {
  std::vector<std::pair<const AXNode*, const AXNode*>> pending{{&a, &b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (!sameAttributes(*x, *y)) return false;
    for (size_t i = 0; i < x->children.size(); ++i) pending.emplace_back(&x->children[i], &y->children[i]);
  }
  return true;
}

std::vector<const AXNode*> AXNode::preorder() const {
  std::vector<const AXNode*> all;
  forEachPreorder(*this, [&](const AXNode& n) {
    all.push_back(&n);
    return true;
  });
  return all;
}

const AXNode* firstTitledWebArea(const AXNode& root) {
  return root.first([](const AXNode& n) { return isWebArea(n) && n.pageTitle().has_value(); });
}

bool AXNode::hasClass(std::string_view cls) const {
  for (const auto& c : domClasses)
    if (c == cls) return true;
  return false;
}

bool AXNode::hasClassPrefix(std::string_view prefix) const {
  for (const auto& c : domClasses)
    if (c.starts_with(prefix)) return true;
  return false;
}

std::optional<std::string> AXNode::pageTitle() const {
  if (title) return title;
  if (isWebArea(*this)) return desc;
  return std::nullopt;
}

AXNode AXNode::withoutChildren() const {
  // Every walk copies each node it reads: the copy's fields are all empty,
  // so they are constructed in place rather than assigned.
  AXNode copy;
  auto take = [](std::optional<std::string>& to, const std::optional<std::string>& from) {
    if (from) to.emplace(*from);
  };
  take(copy.role, role);
  take(copy.subrole, subrole);
  take(copy.title, title);
  take(copy.desc, desc);
  take(copy.value, value);
  if (!domClasses.empty()) copy.domClasses = domClasses;
  take(copy.domID, domID);
  take(copy.url, url);
  return copy;
}

AXNode AXNode::withoutFramedPages() const {
  AXNode root = withoutChildren();
  cloneChildren(*this, root, true);
  return root;
}

bool AXNode::hasFramedPages() const {
  std::vector<std::pair<const AXNode*, bool>> pending{{this, false}};
  while (!pending.empty()) {
    const auto [n, insidePage] = pending.back();
    pending.pop_back();
    const bool page = isWebArea(*n);
    if (page && insidePage && n != this) return true;
    for (const AXNode& c : n->children) pending.emplace_back(&c, insidePage || page);
  }
  return false;
}

}  // namespace zel::trees
