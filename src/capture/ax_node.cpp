#include "capture/ax_node.h"

#include <nlohmann/json.hpp>

#include <memory>

#include "capture/json_text.h"
#include "capture/unicode_text.h"

namespace zel {

namespace {

bool roleIs(const AXNode& n, std::string_view role) { return n.role && *n.role == role; }
bool isWebArea(const AXNode& n) { return roleIs(n, "AXWebArea"); }

// The roles text rendering tells apart. Rendering classifies every node of
// large windows, so the role is told by its length first and compared once.
enum class RoleKind { other, staticText, listMarker, silent, cell, list, heading, table, row, group };

RoleKind roleKind(const std::optional<std::string>& role) {
  if (!role) return RoleKind::other;
  const std::string_view r = *role;
  switch (r.size()) {
    case 5: return r == "AXRow" ? RoleKind::row : RoleKind::other;
    case 6: return r == "AXCell" ? RoleKind::cell : r == "AXList" ? RoleKind::list : RoleKind::other;
    case 7:
      return r == "AXGroup"   ? RoleKind::group
             : r == "AXTable" ? RoleKind::table
             : r == "AXImage" ? RoleKind::silent
                              : RoleKind::other;
    case 8: return r == "AXButton" ? RoleKind::silent : RoleKind::other;
    case 9: return r == "AXHeading" ? RoleKind::heading : RoleKind::other;
    case 12:
      return r == "AXStaticText"   ? RoleKind::staticText
             : r == "AXListMarker" ? RoleKind::listMarker
                                   : RoleKind::other;
    case 13: return r == "AXPopUpButton" ? RoleKind::silent : RoleKind::other;
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

AXNode AXNode::withoutChildren() const {
  AXNode copy;
  copy.role = role;
  copy.subrole = subrole;
  copy.title = title;
  copy.desc = desc;
  copy.value = value;
  copy.domClasses = domClasses;
  copy.domID = domID;
  copy.url = url;
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

// ---- JSON form ----

// Keys in byte order, as every printed line sorts them; "children" comes first
// and is filled while the node is open, so the walk needs no recursion.
void AXNode::appendJSON(std::string& out) const {
  JSONWriter w(out);
  std::vector<std::pair<const AXNode*, size_t>> stack{{this, 0}};
  w.beginObject().key("children").beginArray();
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next < node->children.size()) {
      const AXNode& c = node->children[next++];
      stack.emplace_back(&c, 0);  // invalidates node/next; not used after
      w.beginObject().key("children").beginArray();
      continue;
    }
    const AXNode& n = *node;
    stack.pop_back();
    w.endArray();
    w.field("desc", n.desc);
    w.key("domClasses").strings(n.domClasses);
    w.field("domID", n.domID);
    w.field("role", n.role);
    w.field("subrole", n.subrole);
    w.field("title", n.title);
    w.field("url", n.url);
    w.field("value", n.value);
    w.endObject();
  }
}

std::string AXNode::json() const {
  std::string out;
  appendJSON(out);
  return out;
}

namespace {

using nlohmann::json;

enum class Field { none, role, subrole, title, desc, value, domClasses, domID, url, children, other };

Field fieldNamed(const std::string& key) {
  static const std::pair<const char*, Field> table[] = {
      {"role", Field::role},        {"subrole", Field::subrole}, {"title", Field::title},
      {"desc", Field::desc},        {"value", Field::value},     {"domClasses", Field::domClasses},
      {"domID", Field::domID},      {"url", Field::url},         {"children", Field::children},
  };
  for (const auto& [name, f] : table)
    if (key == name) return f;
  return Field::other;
}

std::optional<std::string>* textField(AXNode& n, Field f) {
  switch (f) {
    case Field::role: return &n.role;
    case Field::subrole: return &n.subrole;
    case Field::title: return &n.title;
    case Field::desc: return &n.desc;
    case Field::value: return &n.value;
    case Field::domID: return &n.domID;
    case Field::url: return &n.url;
    default: return nullptr;
  }
}

// Builds nodes straight from the parser's events: no intermediate JSON value,
// and no recursion on the nesting of the input.
class TreeReader {
 public:
  explicit TreeReader(bool allowList) : allowList_(allowList) {}

  std::vector<AXNode> windows;
  std::string error;

  bool null() { return scalar(nullptr); }
  bool boolean(bool) { return scalar("a boolean"); }
  bool number_integer(json::number_integer_t) { return scalar("a number"); }
  bool number_unsigned(json::number_unsigned_t) { return scalar("a number"); }
  bool number_float(json::number_float_t, const json::string_t&) { return scalar("a number"); }
  bool binary(json::binary_t&) { return scalar("binary data"); }

  bool string(json::string_t& s) {
    if (stack_.empty()) return fail("expected a node object or an array of them, found a string");
    Frame& f = stack_.back();
    switch (f.kind) {
      case Kind::skip: return true;
      case Kind::classes: f.node->domClasses.push_back(std::move(s)); return true;
      case Kind::node: {
        const Field field = std::exchange(f.pending, Field::none);
        if (auto* slot = textField(*f.node, field)) {
          *slot = std::move(s);
          return true;
        }
        if (field == Field::other) return true;
        return wrongType(field, "a string");
      }
      default: return fail("expected a node object, found a string");
    }
  }

  bool key(json::string_t& k) {
    stack_.back().pending = fieldNamed(k);
    return true;
  }

  bool start_object(std::size_t) {
    if (stack_.empty()) return openNode(windows, 0);
    Frame& f = stack_.back();
    switch (f.kind) {
      case Kind::skip: ++f.skipDepth; return true;
      case Kind::list: return openNode(windows, windows.size());
      case Kind::children: return openNode(f.node->children, f.node->children.size());
      case Kind::classes: return fail("\"domClasses\" must hold only strings");
      case Kind::node: {
        const Field field = std::exchange(f.pending, Field::none);
        if (field == Field::other) return push({Kind::skip, nullptr, 1});
        return wrongType(field, "an object");
      }
    }
    return false;
  }

  bool end_object() {
    Frame& f = stack_.back();
    if (f.kind == Kind::skip) return closeSkip(f);
    if (!f.sawClasses) return fail("\"domClasses\" is missing");
    if (!f.sawChildren) return fail("\"children\" is missing");
    stack_.pop_back();
    --nodeDepth_;
    return true;
  }

  bool start_array(std::size_t) {
    if (stack_.empty()) {
      if (!allowList_) return fail("expected a node object, found an array");
      return push({Kind::list});
    }
    Frame& f = stack_.back();
    switch (f.kind) {
      case Kind::skip: ++f.skipDepth; return true;
      case Kind::node: {
        const Field field = std::exchange(f.pending, Field::none);
        if (field == Field::domClasses) {
          f.sawClasses = true;
          f.node->domClasses.clear();
          return push({Kind::classes, f.node});
        }
        if (field == Field::children) {
          f.sawChildren = true;
          f.node->children.clear();
          return push({Kind::children, f.node});
        }
        if (field == Field::other) return push({Kind::skip, nullptr, 1});
        return wrongType(field, "an array");
      }
      case Kind::classes: return fail("\"domClasses\" must hold only strings");
      default: return fail("expected a node object, found an array");
    }
  }

  bool end_array() {
    Frame& f = stack_.back();
    if (f.kind == Kind::skip) return closeSkip(f);
    stack_.pop_back();
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) {
    std::string what = ex.what();
    // Keep the parser's own words, without its internal error tag.
    if (auto close = what.find("] "); what.starts_with("[json.exception") && close != std::string::npos)
      what.erase(0, close + 2);
    error = what;
    return false;
  }

 private:
  enum class Kind { list, node, classes, children, skip };
  struct Frame {
    Kind kind;
    AXNode* node = nullptr;
    size_t skipDepth = 0;
    size_t index = 0;  // a node's place in its parent's children (or the list)
    Field pending = Field::none;
    bool sawClasses = false;
    bool sawChildren = false;
  };

  bool push(Frame f) {
    stack_.push_back(f);
    return true;
  }

  bool openNode(std::vector<AXNode>& into, size_t index) {
    if (++nodeDepth_ > AXNode::maxDepth) return fail("nodes are nested deeper than 4096 levels");
    into.emplace_back();
    // Later siblings are only added after this node is closed, so the pointer
    // stays valid while it is being filled in.
    return push({Kind::node, &into.back(), 0, index});
  }

  bool closeSkip(Frame& f) {
    if (--f.skipDepth == 0) stack_.pop_back();
    return true;
  }

  // A value other than a string; `found` is null for JSON null.
  bool scalar(const char* found) {
    if (stack_.empty()) return fail("expected a node object or an array of them");
    Frame& f = stack_.back();
    if (f.kind == Kind::skip) return true;
    if (f.kind == Kind::node) {
      const Field field = std::exchange(f.pending, Field::none);
      if (field == Field::other) return true;
      if (auto* slot = textField(*f.node, field); slot && !found) {
        slot->reset();
        return true;
      }
      return wrongType(field, found ? found : "null");
    }
    if (f.kind == Kind::classes) return fail("\"domClasses\" must hold only strings");
    return fail("expected a node object");
  }

  bool wrongType(Field field, const char* found) {
    static const char* names[] = {"",      "role",       "subrole", "title", "desc",    "value",
                                  "domClasses", "domID", "url",     "children", "?"};
    const char* expected = field == Field::domClasses ? "an array of strings"
                           : field == Field::children ? "an array of node objects"
                                                      : "a string or null";
    return fail(std::string("\"") + names[static_cast<int>(field)] + "\" must be " + expected + ", found " + found);
  }

  bool fail(std::string why) {
    error = path() + ": " + why;
    return false;
  }

  // Where the reader is, as a JSONPath such as $[2].children[0].children[5].
  std::string path() const {
    std::string p = "$";
    bool first = true;
    for (const Frame& f : stack_) {
      if (f.kind != Kind::node) continue;
      if (first && !allowListUsed()) {
        first = false;
        continue;
      }
      p += first ? "[" : ".children[";
      p += std::to_string(f.index);
      p += ']';
      first = false;
    }
    return p;
  }

  bool allowListUsed() const { return !stack_.empty() && stack_.front().kind == Kind::list; }

  bool allowList_;
  size_t nodeDepth_ = 0;
  std::vector<Frame> stack_;
};

Result<std::vector<AXNode>> readTrees(std::string_view text, bool allowList) {
  TreeReader reader(allowList);
  const bool ok = json::sax_parse(text.begin(), text.end(), &reader);
  if (!ok || !reader.error.empty())
    return Result<std::vector<AXNode>>::failure(reader.error.empty() ? "not a JSON document" : reader.error);
  return std::move(reader.windows);
}

}  // namespace

Result<AXNode> AXNode::decode(std::string_view text) {
  auto trees = readTrees(text, false);
  if (!trees) return Result<AXNode>::failure(trees.error());
  return std::move(trees.value().front());
}

Result<std::vector<AXNode>> decodeWindows(std::string_view text) {
  return readTrees(text, true);
}

}  // namespace zel
