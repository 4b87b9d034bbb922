#pragma once
// Everything the agent asks of the operating system, behind one object. The
// executable links exactly one backend, which defines openPlatform().

#include <memory>
#include <string>

#include "platform/accessibility.h"
#include "platform/code_signing.h"
#include "platform/preferences.h"
#include "platform/run_loop.h"
#include "platform/session.h"
#include "platform/system_log.h"
#include "platform/workspace.h"

namespace zel::platform {

class Platform {
 public:
  virtual ~Platform() = default;
  virtual Accessibility& accessibility() = 0;
  virtual Workspace& workspace() = 0;
  virtual Session& session() = 0;
  virtual CodeSigning& codeSigning() = 0;
  virtual Preferences& preferences() = 0;
  virtual SystemLog& systemLog() = 0;
  virtual RunLoop& runLoop() = 0;
};

// Opens the backend this executable was built with. On failure returns null and
// sets `error` to one line that says what is wrong.
std::unique_ptr<Platform> openPlatform(std::string& error);

// The platform of this process, for the process-wide objects that reach the
// system (the tree switch, the signature cache). The executable installs it
// once at start; until then, and in tests that install none, it is a platform
// with no accessibility, no applications and no session.
Platform& processPlatform();
void installProcessPlatform(std::unique_ptr<Platform> platform);

}  // namespace zel::platform
