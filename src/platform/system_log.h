#pragma once

#include <string>

namespace zel::platform {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  virtual void write(const std::string& line) = 0;
};

}  // namespace zel::platform
