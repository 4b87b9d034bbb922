#pragma once
// A running zel-ax (or any program) that a test talks to as a host would:
// lines out, control lines in, closing its input or signalling it.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace zel::test {

class AgentProcess {
 public:
  AgentProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env = {});
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // The next line of standard output, without its line feed; nullopt when
  // none comes within `limit` or the output ended.
  std::optional<std::string> readLine(std::chrono::milliseconds limit);
  // All of standard output until it ends or `limit` passes.
  std::string readAll(std::chrono::milliseconds limit);
  // Every line that arrives within `window`.
  std::vector<std::string> linesFor(std::chrono::milliseconds window);
  void write(const std::string& bytes);
  void closeInput();
  void closeOutput();  // the host stops reading
  void signal(int sig);
  // The exit status (128 + signal when killed); nullopt when it does not end
  // within `limit`.
  std::optional<int> wait(std::chrono::milliseconds limit);
  std::string errors();

 private:
  bool fill(std::chrono::milliseconds limit);
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string buffered_;
  bool outputEnded_ = false;
  std::optional<int> status_;
};

}  // namespace zel::test
