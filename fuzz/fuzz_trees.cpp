// Recorded trees and window lists: whatever decodes encodes and decodes to
// an equal tree, and renders, extracts and scrubs without failing.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chat/extractors.h"
#include "profile/profile_extractor.h"
#include "scrub/scrubber.h"
#include "trees/ax_node.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::trees;
  using namespace zel::chat;
  using namespace zel::profile;
  using namespace zel::scrub;
  auto windows = decodeWindows(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!windows) return 0;
  for (const AXNode& w : *windows) {
    auto again = AXNode::decode(w.json());
    if (!again || !(*again == w)) __builtin_trap();
    (void)w.text();
    (void)w.texts();
    for (const auto& [id, extractor] : Extractors::byBundleID(System::macOS)) (void)extractor->extract(w);
    (void)ProfileExtractor::extract(w, Date{0});
  }
  (void)scrubbed(*windows);
  return 0;
}
