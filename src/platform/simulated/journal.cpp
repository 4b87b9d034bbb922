#include "platform/simulated/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

namespace zel::platform {

void Journal::set(Pid pid, const std::string& attribute, bool value) {
  nlohmann::json line = {{"event", "set"}, {"pid", pid}, {"attribute", attribute}, {"value", value}};
  append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Journal::log(const std::string& text) {
  nlohmann::json line = {{"event", "log"}, {"line", text}};
  append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Journal::read(const std::string& label, const std::vector<std::string>& attributes) {
  nlohmann::json line = {{"event", "read"}, {"label", label}, {"attributes", attributes}};
  append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Journal::append(const std::string& line) {
  if (!path_) return;
  std::lock_guard g(lock_);
  const int fd = ::open(path_->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string bytes = line + "\n";
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n <= 0) break;
    rest.remove_prefix(static_cast<size_t>(n));
  }
  ::close(fd);
}

}  // namespace zel::platform
