#pragma once
// What reading live windows takes, built over one platform: the tree switch,
// the signature cache (which writes a refusal to the platform's system log),
// and the snapshotter over both. The agent builds one at start-up; the tools
// build one per command.

#include <cstdint>
#include <filesystem>

#include "base/limits.h"
#include "snapshot/app_signature.h"
#include "platform/platform.h"
#include "snapshot/snapshotter.h"
#include "snapshot/tree_switch.h"

namespace zel::snapshot {

class LiveReading {
 public:
  // `home` is where browser profiles live.
  LiveReading(platform::Platform& platform, std::filesystem::path home, int64_t nodeBudget = limits.nodeBudget);
  LiveReading(const LiveReading&) = delete;
  LiveReading& operator=(const LiveReading&) = delete;

  TreeSwitch treeSwitch;
  AppSignature::Checked signatures;
  AXSnapshotter snapshotter;
};

}  // namespace zel::snapshot
