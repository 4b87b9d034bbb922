#pragma once
// A record of what the agent did to the simulated desktop: every boolean
// attribute set and every system log line, one JSON line each, in order.

#include <mutex>
#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace zel::platform {

class Journal {
 public:
  // `path` absent: nothing is recorded.
  explicit Journal(std::optional<std::string> path) : path_(std::move(path)) {}

  bool enabled() const { return path_.has_value(); }
  void set(Pid pid, const std::string& attribute, bool value);
  void log(const std::string& line);

 private:
  void append(const std::string& line);
  std::optional<std::string> path_;
  std::mutex lock_;
};

}  // namespace zel::platform
