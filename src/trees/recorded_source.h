#pragma once
// Recorded trees as an element source for planned walks, counting every read
// so that tests and benchmarks see what a plan kept the walk from reading.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "trees/ax_node.h"
#include "trees/read_plan.h"

namespace zel::trees {

class RecordedSource {
 public:
  using Element = const AXNode*;
  ElementValues<Element> full(Element node, size_t longestList = SIZE_MAX);
  ElementValues<Element> addresses(Element node, size_t longestList = SIZE_MAX);
  std::vector<const AXNode*> fullReads, addressReads;
};

}  // namespace zel::trees
