#pragma once
// zel-ax serve: builds the shared objects, installs the quit paths, starts the
// control-line, presence and reader threads, and keeps the main thread in the
// platform's run loop.

#include <functional>
#include <string_view>

#include "agent/command_line.h"
#include "base/limits.h"
#include "profile/profile_control.h"
#include "profile/profile_gate.h"
#include "profile/profile_schedule.h"
#include "agent/wake.h"
#include "platform/platform.h"

namespace zel::agent {

// Blocks SIGINT and SIGTERM in the calling thread and every thread started
// after it; serve then takes them on a thread of its own. Call it before any
// thread starts.
void blockQuitSignals();

[[noreturn]] void serve(const ServeConfig& config, platform::Platform& platform);

// Reads control lines from `fd` until it ends, applying each that parses.
// Lines longer than `longestLine` are skipped without being held.
void readControlLines(int fd, profile::ProfileControl& control, Wake& wake, const std::function<Date()>& now,
                      size_t longestLine = limits.controlLine);

}  // namespace zel::agent
