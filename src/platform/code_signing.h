#pragma once
// Code-signing checks of running processes.
// Threads: called from any reader; the signature cache serialises nothing.

#include <string>

#include "platform/accessibility.h"

namespace zel::platform {

enum class SignatureVerdict {
  vendors,        // the running code satisfies the requirement
  refused,
  changedOnDisk,  // the code on disk changed and no longer satisfies it
};

class CodeSigning {
 public:
  virtual ~CodeSigning() = default;
  virtual SignatureVerdict verdict(Pid pid, const std::string& requirement) = 0;
};

}  // namespace zel::platform
