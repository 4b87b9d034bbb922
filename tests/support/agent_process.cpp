#include "support/agent_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace zel::test {

using Clock = std::chrono::steady_clock;

AgentProcess::AgentProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::pair<std::string, std::string>>& env) {
  ::signal(SIGPIPE, SIG_IGN);
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<std::string> envWords;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const auto& [k, v] : env)
      if (std::strncmp(*e, k.c_str(), k.size()) == 0 && (*e)[k.size()] == '=') replaced = true;
    if (!replaced) envWords.emplace_back(*e);
  }
  for (const auto& [k, v] : env) envWords.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& w : envWords) envp.push_back(w.data());
  envp.push_back(nullptr);

  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(inPipe[0]);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  in_ = inPipe[1];
  out_ = outPipe[0];
  err_ = errPipe[0];
  fcntl(out_, F_SETFL, O_NONBLOCK);
  fcntl(err_, F_SETFL, O_NONBLOCK);
}

AgentProcess::~AgentProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_})
    if (fd >= 0) ::close(fd);
}

bool AgentProcess::fill(std::chrono::milliseconds limit) {
  if (outputEnded_ || out_ < 0) return false;
  pollfd p{out_, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
  char buffer[65536];
  const ssize_t n = ::read(out_, buffer, sizeof buffer);
  if (n > 0) {
    buffered_.append(buffer, static_cast<size_t>(n));
    return true;
  }
  if (n == 0) outputEnded_ = true;
  return n > 0;
}

std::optional<std::string> AgentProcess::readLine(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (true) {
    const size_t lf = buffered_.find('\n');
    if (lf != std::string::npos) {
      std::string line = buffered_.substr(0, lf);
      buffered_.erase(0, lf + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || outputEnded_) return std::nullopt;
    fill(left);
  }
}

std::string AgentProcess::readAll(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!outputEnded_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    fill(left);
  }
  return std::exchange(buffered_, std::string());
}

std::vector<std::string> AgentProcess::linesFor(std::chrono::milliseconds window) {
  const auto deadline = Clock::now() + window;
  std::vector<std::string> lines;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return lines;
    if (auto line = readLine(left)) lines.push_back(std::move(*line));
    else if (outputEnded_) return lines;
  }
}

void AgentProcess::write(const std::string& bytes) {
  std::string_view rest = bytes;
  while (!rest.empty() && in_ >= 0) {
    const ssize_t n = ::write(in_, rest.data(), rest.size());
    if (n <= 0) return;
    rest.remove_prefix(static_cast<size_t>(n));
  }
}

void AgentProcess::closeInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void AgentProcess::closeOutput() {
  if (out_ >= 0) ::close(out_);
  out_ = -1;
  outputEnded_ = true;
}

void AgentProcess::signal(int sig) {
  if (pid_ > 0) ::kill(pid_, sig);
}

std::optional<int> AgentProcess::wait(std::chrono::milliseconds limit) {
  if (status_) return status_;
  const auto deadline = Clock::now() + limit;
  while (true) {
    int w = 0;
    const pid_t r = ::waitpid(pid_, &w, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
      return status_;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    // Nothing to wait on but the child itself: drain its output meanwhile so
    // that it never blocks on a full pipe.
    if (!fill(std::chrono::milliseconds(20)) && out_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string AgentProcess::errors() {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while (err_ >= 0 && (n = ::read(err_, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

}  // namespace zel::test
