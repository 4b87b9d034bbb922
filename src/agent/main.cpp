// zel-ax: the capture agent.

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "agent/command_line.h"
#include "agent/service.h"
#include "agent/line_printer.h"
#include "platform/platform.h"

namespace {

// Opens the platform, which lives as long as the process; a desktop that
// cannot be read ends the agent with one line and status 2.
zel::platform::Platform& openPlatformOrExit() {
  std::string error;
  std::unique_ptr<zel::platform::Platform> platform;
  try {
    platform = zel::platform::openPlatform(error);
  } catch (const std::exception& e) {
    error = std::string("zel-ax: the platform cannot be opened: ") + e.what();
  }
  if (!platform) {
    zel::agent::writeAll(STDERR_FILENO, error + "\n");
    std::_Exit(2);
  }
  return *platform.release();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zel::agent;
  // A host that stops reading must not end the agent: writes then fail quietly.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  switch (commandOf(args)) {
    case Command::usage:
      fail(usageText);
    case Command::trust: {
      auto& platform = openPlatformOrExit();
      std::string line(platform.accessibility().isTrusted() ? trustedText : notTrustedText);
      zel::agent::writeAll(STDOUT_FILENO, line + "\n");
      return 0;
    }
    case Command::serve: {
      const ServeConfig config = serveConfig(args);
      blockQuitSignals();  // before the platform starts threads of its own
      serve(config, openPlatformOrExit());
    }
  }
  return 0;
}
