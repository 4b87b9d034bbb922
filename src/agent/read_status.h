#pragma once
// The outcome of one read, as a chat line names it.

#include <optional>
#include <string_view>
#include <vector>

#include "snapshot/snapshotter.h"

namespace zel::agent {

enum class ReadStatus { ok, notTrusted, notRunning, noWindow, failed, needsRestart };
std::string_view rawValue(ReadStatus s);
std::optional<ReadStatus> readStatusNamed(std::string_view raw);
const std::vector<ReadStatus>& allReadStatuses();

// The status a read ends in when its snapshot fails.
ReadStatus readStatus(const snapshot::SnapshotError& error);

}  // namespace zel::agent
