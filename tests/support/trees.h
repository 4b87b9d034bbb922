#pragma once
// Small builders for window trees in tests.

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "trees/ax_node.h"

namespace zel::test {

// A node of the given role (nullopt: no role) with children.
trees::AXNode el(std::optional<std::string> role, std::vector<trees::AXNode> children = {});
// A static text whose value is `value`.
trees::AXNode st(std::string value);

trees::AXNode titled(trees::AXNode n, std::string title);
trees::AXNode valued(trees::AXNode n, std::string value);
trees::AXNode described(trees::AXNode n, std::string desc);
trees::AXNode classed(trees::AXNode n, std::vector<std::string> classes);
trees::AXNode subroled(trees::AXNode n, std::string subrole);
trees::AXNode withID(trees::AXNode n, std::string domID);
// An AXLink or an AXImage with this address.
trees::AXNode link(std::string url, std::vector<trees::AXNode> children = {});
trees::AXNode image(std::string url);

// Calls `change` on every node of the tree, parents first.
void editAll(trees::AXNode& root, const std::function<void(trees::AXNode&)>& change);

// A chain of `depth` nodes, each the only child of the one above, the last a
// static text "end".
trees::AXNode chain(size_t depth);

// A window of roughly `target` nodes, shaped like a chat page: a web area with
// landmarks, many messages of paragraphs, lists, tables and code blocks.
trees::AXNode syntheticWindow(size_t target);

// The first window of a recorded file in tests/fixtures; fails the test
// (and returns an empty node) when the file cannot be decoded.
trees::AXNode fixtureWindow(const std::string& name);

}  // namespace zel::test
