#pragma once
// The system log, for the one line written when a signature is refused.
// Threads: called from any reader.

#include <string>

namespace zel::platform {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  virtual void write(const std::string& line) = 0;
};

}  // namespace zel::platform
