// Desktop files, read as the agent reads them: every target snapshotted
// through the simulated desktop and handed to its extractor.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "snapshot/app_signature.h"
#include "chat/extractors.h"
#include "platform/simulated/simulated_platform.h"
#include "profile/profile_read_plan.h"
#include "snapshot/snapshotter.h"
#include "snapshot/tree_switch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::trees;
  using namespace zel::browsers;
  using namespace zel::snapshot;
  using namespace zel::chat;
  using namespace zel::profile;
  auto desktop = platform::Desktop::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!desktop) return 0;
  platform::SimulatedPlatform p(std::move(desktop.value()));
  TreeSwitch treeSwitch(p.accessibility(), {{}, {}, [](const platform::AXElement&, double) { return true; }, {}}, limits.nodeBudget);
  AppSignature::Checked signatures(
      [&](platform::Pid pid, const KnownApp& b) {
        return AppSignature::verdict(p.codeSigning(), pid, b);
      },
      [] { return Date{0}; }, [](const std::string&) {});
  AXSnapshotter snapshotter(2000, AXSnapshotter::Environment{p, treeSwitch, signatures, "/nonexistent"});
  AXSnapshotter::PageFilter any = [](const std::string&) { return PageVerdict::read; };
  AXSnapshotter::PlanFactory plans = [](const std::string& url) { return profileReadPlan(url); };
  for (const auto& [id, extractor] : Extractors::byBundleID(System::macOS)) {
    auto outcome = snapshotter.snapshot(id, &any, &plans);
    if (auto* trees = std::get_if<std::vector<AXNode>>(&outcome))
      for (const AXNode& t : *trees) (void)extractor->extract(t);
  }
  return 0;
}
