#include "trees/recorded_source.h"

namespace zel {

namespace {
std::vector<const AXNode*> childrenOf(const AXNode& n) {
  std::vector<const AXNode*> kids;
  kids.reserve(n.children.size());
  for (const AXNode& c : n.children) kids.push_back(&c);
  return kids;
}
}  // namespace

ElementValues<RecordedSource::Element> RecordedSource::full(Element node) {
  fullReads.push_back(node);
  return {node->withoutChildren(), childrenOf(*node)};
}

ElementValues<RecordedSource::Element> RecordedSource::addresses(Element node) {
  addressReads.push_back(node);
  AXNode n;
  n.role = node->role;
  n.url = node->url;
  return {std::move(n), childrenOf(*node)};
}

}  // namespace zel
