#pragma once
// zel-capture: the capture library's operations over recorded trees, on the
// command line. Kept apart from main() so that tests run it in-process.

#include <iosfwd>

#include "base/capture_clock.h"
#include <string>
#include <vector>

namespace zel::tools {

extern const char* const captureUsage;

// Runs one command line (the words after the program name). Returns the exit
// status: 0, 1 for a usage error, 2 when a file could not be read or decoded.
// `clock` stamps the conversations that extract prints.
int runCaptureTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   const CaptureClock& clock = CaptureClock::system());

}  // namespace zel::tools
