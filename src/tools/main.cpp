// zel-capture: capture operations over recorded trees, and recording live
// windows through the platform.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tools/capture_tool.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  zel::tools::ToolEnvironment environment;
  // The platform is opened only by the commands that read live windows.
  environment.openPlatform = [](std::string& error) { return zel::platform::openPlatform(error); };
  if (const char* home = std::getenv("HOME"); home && *home) environment.home = home;
  return zel::tools::runCaptureTool(args, std::cin, std::cout, std::cerr, environment);
}
