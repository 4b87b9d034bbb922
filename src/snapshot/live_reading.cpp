#include "snapshot/live_reading.h"

#include <string>

namespace zel::snapshot {

LiveReading::LiveReading(platform::Platform& platform, std::filesystem::path home, int64_t nodeBudget)
    : treeSwitch(platform.accessibility(), {}, nodeBudget),
      signatures(
          [&platform](platform::Pid pid, const browsers::KnownApp& app) {
            return AppSignature::verdict(platform.codeSigning(), pid, app);
          },
          &Date::now,
          [&platform](const std::string& bundleID) {
            platform.systemLog().write("zel-ax " + std::string(AppSignature::logCode) + " " + bundleID);
          }),
      snapshotter(nodeBudget, AXSnapshotter::Environment{platform, treeSwitch, signatures, std::move(home)}) {}

}  // namespace zel::snapshot
