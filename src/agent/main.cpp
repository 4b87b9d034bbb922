// zel-ax: the capture agent.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "agent/command_line.h"
#include "platform/platform.h"

namespace {

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) return -1;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

std::unique_ptr<zel::platform::Platform> openPlatformOrExit() {
  std::string error;
  auto platform = zel::platform::openPlatform(error);
  if (!platform) {
    writeAll(STDERR_FILENO, error + "\n");
    std::_Exit(2);
  }
  return platform;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zel::agent;
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);

  switch (commandOf(args)) {
    case Command::usage:
      fail(usageText);
    case Command::trust: {
      auto platform = openPlatformOrExit();
      std::string line(platform->accessibility().isTrusted() ? trustedText : notTrustedText);
      writeAll(STDOUT_FILENO, line + "\n");
      return 0;
    }
    case Command::serve: {
      const ServeConfig config = serveConfig(args);
      auto platform = openPlatformOrExit();
      (void)config;
      // Until the readers run, serving means staying up until the host closes
      // our input.
      char buffer[4096];
      while (true) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EINTR)) break;
      }
      return 0;
    }
  }
  return 0;
}
