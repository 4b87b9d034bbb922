// The JSON form of a tree: written by one walk, read by a streaming decoder
// straight into nodes.

#include "trees/ax_node.h"

#include <nlohmann/json.hpp>

#include <memory>

#include "base/json_text.h"

namespace zel::trees {

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
    if (++nodeDepth_ > AXNode::maxDepth) return fail("nodes are nested deeper than " + std::to_string(AXNode::maxDepth) + " levels");
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
    std::string root = "$";
    std::vector<size_t> steps;
    bool first = true;
    for (const Frame& f : stack_) {
      if (f.kind != Kind::node) continue;
      if (first && allowListUsed()) root += "[" + std::to_string(f.index) + "]";
      else if (!first) steps.push_back(f.index);
      first = false;
    }
    return childrenPath(std::move(root), steps);
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

}  // namespace zel::trees
