// zel-capture: capture operations over recorded trees.

#include <iostream>
#include <string>
#include <vector>

#include "tools/capture_tool.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return zel::tools::runCaptureTool(args, std::cin, std::cout, std::cerr);
}
