#include "agent/read_status.h"

#include <array>
#include <utility>

namespace zel::agent {

namespace {
constexpr std::array<std::pair<ReadStatus, std::string_view>, 6> statuses{{
    {ReadStatus::ok, "ok"},
    {ReadStatus::notTrusted, "not_trusted"},
    {ReadStatus::notRunning, "not_running"},
    {ReadStatus::noWindow, "no_window"},
    {ReadStatus::failed, "failed"},
    {ReadStatus::needsRestart, "needs_restart"},
}};
}  // namespace

std::string_view rawValue(ReadStatus s) {
  for (const auto& [v, raw] : statuses)
    if (v == s) return raw;
  return {};
}

std::optional<ReadStatus> readStatusNamed(std::string_view raw) {
  for (const auto& [v, name] : statuses)
    if (name == raw) return v;
  return std::nullopt;
}

const std::vector<ReadStatus>& allReadStatuses() {
  static const std::vector<ReadStatus> all = [] {
    std::vector<ReadStatus> v;
    for (const auto& [s, raw] : statuses) v.push_back(s);
    return v;
  }();
  return all;
}

ReadStatus readStatus(const snapshot::SnapshotError& error) {
  switch (error.kind) {
    case snapshot::SnapshotError::Kind::notRunning:
      return ReadStatus::notRunning;
    case snapshot::SnapshotError::Kind::noVisibleWindow:
      return ReadStatus::noWindow;
    case snapshot::SnapshotError::Kind::unreadable:
      return ReadStatus::failed;
    case snapshot::SnapshotError::Kind::needsRestart:
      return ReadStatus::needsRestart;
    case snapshot::SnapshotError::Kind::notTrusted:
      return ReadStatus::notTrusted;
  }
  return ReadStatus::failed;
}

}  // namespace zel::agent
