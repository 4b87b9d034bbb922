#pragma once
// The accessibility switch this agent turned on, written down in a small file
// under the user's runtime folder, so that a start after an agent that could
// not put it back (killed, crashed) puts it back: left on, every application
// of the session keeps paying for an accessibility tree nobody reads. The file
// names the process that turned it on; it is removed once the switch is back.

#include <filesystem>
#include <optional>

#include "platform/atspi/processes.h"

namespace zel::platform::atspi {

class SwitchRecord {
 public:
  // No file: nothing is written down.
  SwitchRecord(std::optional<std::filesystem::path> file, const Processes& processes)
      : file_(std::move(file)), processes_(processes) {}

  // The file in a runtime folder ($XDG_RUNTIME_DIR); none without one.
  static std::optional<std::filesystem::path> in(const char* runtimeFolder);

  void turnedOn() const;
  void putBack() const;
  // Whether an agent that no longer runs left the switch on: the file names
  // a process that is gone, or was spoilt. Never when the file names a
  // process that still runs.
  bool leftOnByAGoneAgent() const;

 private:
  std::optional<std::filesystem::path> file_;
  const Processes& processes_;
};

}  // namespace zel::platform::atspi
