#pragma once
// A record of what the agent did to the simulated desktop: every boolean
// attribute set, every system log line and every read of a watched element,
// one JSON line each, in order.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace zel::platform {

class Journal {
 public:
  // `path` absent: nothing is recorded.
  explicit Journal(std::optional<std::string> path) : path_(std::move(path)) {}

  bool enabled() const { return path_.has_value(); }
  void set(Pid pid, const std::string& attribute, bool value);
  void log(const std::string& line);
  void read(const std::string& label, const std::vector<std::string>& attributes);

 private:
  void append(const std::string& line);
  std::optional<std::string> path_;
  std::mutex lock_;
};

}  // namespace zel::platform
