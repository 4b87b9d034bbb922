#pragma once
// Small builders for window trees in tests.

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "capture/ax_node.h"

namespace zel::test {

// A node of the given role (nullopt: no role) with children.
AXNode el(std::optional<std::string> role, std::vector<AXNode> children = {});
// A static text whose value is `value`.
AXNode st(std::string value);

AXNode titled(AXNode n, std::string title);
AXNode valued(AXNode n, std::string value);
AXNode described(AXNode n, std::string desc);
AXNode classed(AXNode n, std::vector<std::string> classes);

// A chain of `depth` nodes, each the only child of the one above, the last a
// static text "end".
AXNode chain(size_t depth);

// A window of roughly `target` nodes, shaped like a chat page: a web area with
// landmarks, many messages of paragraphs, lists, tables and code blocks.
AXNode syntheticWindow(size_t target);

}  // namespace zel::test
