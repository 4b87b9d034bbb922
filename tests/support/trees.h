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
AXNode el(std::optional<std::string> role, std::vector<AXNode> children = {});
// A static text whose value is `value`.
AXNode st(std::string value);

AXNode titled(AXNode n, std::string title);
AXNode valued(AXNode n, std::string value);
AXNode described(AXNode n, std::string desc);
AXNode classed(AXNode n, std::vector<std::string> classes);
AXNode subroled(AXNode n, std::string subrole);
AXNode withID(AXNode n, std::string domID);
// An AXLink or an AXImage with this address.
AXNode link(std::string url, std::vector<AXNode> children = {});
AXNode image(std::string url);

// Calls `change` on every node of the tree, parents first.
void editAll(AXNode& root, const std::function<void(AXNode&)>& change);

// A chain of `depth` nodes, each the only child of the one above, the last a
// static text "end".
AXNode chain(size_t depth);

// A window of roughly `target` nodes, shaped like a chat page: a web area with
// landmarks, many messages of paragraphs, lists, tables and code blocks.
AXNode syntheticWindow(size_t target);

// The first window of a recorded file in tests/fixtures; fails the test
// (and returns an empty node) when the file cannot be decoded.
AXNode fixtureWindow(const std::string& name);

}  // namespace zel::test
