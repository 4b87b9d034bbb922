#pragma once
// Runs a built executable the way a host would: arguments, extra environment,
// bytes on standard input; collects both outputs and the exit status, with a
// firm time limit.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zel::test {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  bool timedOut = false;
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const std::string& input = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace zel::test
