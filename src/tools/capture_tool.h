#pragma once
// zel-capture: the capture library's operations over recorded trees, on the
// command line, and recording live windows through the platform. Kept apart
// from main() so that tests run it in-process.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "base/capture_clock.h"
#include "platform/platform.h"

namespace zel::tools {

extern const char* const captureUsage;

struct ToolEnvironment {
  // Stamps the conversations that extract prints, and profile's default now.
  CaptureClock clock = CaptureClock::system();
  // Opens the platform for commands that read live windows; null with one
  // line in `error` when it cannot be opened.
  std::function<std::unique_ptr<platform::Platform>(std::string& error)> openPlatform;
  // Where browser profiles live, for private-window screening.
  std::string home = ".";
};

// Runs one command line (the words after the program name). Returns the exit
// status: 0; 1 for a usage error; 2 when a file could not be read or decoded,
// or the platform could not be opened.
int runCaptureTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   const ToolEnvironment& environment = {});

}  // namespace zel::tools
