#include "trees/recorded_source.h"

#include <algorithm>

namespace zel::trees {

namespace {
std::vector<const AXNode*> childrenOf(const AXNode& n, size_t longestList) {
  std::vector<const AXNode*> kids;
  kids.reserve(std::min(n.children.size(), longestList));
  for (const AXNode& c : n.children) {
    if (kids.size() >= longestList) break;
    kids.push_back(&c);
  }
  return kids;
}
}  // namespace

ElementValues<RecordedSource::Element> RecordedSource::full(Element node, size_t longestList) {
  fullReads.push_back(node);
  return {node->withoutChildren(), childrenOf(*node, longestList)};
}

ElementValues<RecordedSource::Element> RecordedSource::addresses(Element node, size_t longestList) {
  addressReads.push_back(node);
  AXNode n;
  n.role = node->role;
  n.url = node->url;
  return {std::move(n), childrenOf(*node, longestList)};
}

}  // namespace zel::trees
