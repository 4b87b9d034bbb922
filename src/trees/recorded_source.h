#pragma once
// Recorded trees as an element source for planned walks, counting every read
// so that tests and benchmarks see what a plan kept the walk from reading.

#include <vector>

#include "trees/ax_node.h"
#include "trees/read_plan.h"

namespace zel {

class RecordedSource {
 public:
  using Element = const AXNode*;
  ElementValues<Element> full(Element node);
  ElementValues<Element> addresses(Element node);
  std::vector<const AXNode*> fullReads, addressReads;
};

}  // namespace zel
