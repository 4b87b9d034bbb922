#include "support/process.h"

#include "support/agent_process.h"

namespace zel::test {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const std::string& input,
                         std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  auto left = [&] {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
  };
  AgentProcess p(program, args, env);
  p.write(input);
  p.closeInput();
  ProcessResult result;
  result.out = p.readAll(left());
  const auto status = p.wait(left());
  result.timedOut = !status;
  result.status = status.value_or(-1);
  result.err = p.errors();
  return result;
}

}  // namespace zel::test
