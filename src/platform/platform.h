#pragma once
// Everything the agent asks of the operating system, behind one object, and
// the choice of the backend that answers.
//
// The vocabulary of every interface here is macOS's accessibility vocabulary,
// on purpose: roles ("AXWebArea"), attribute names ("AXChildren"), error
// codes (-25205), bundle identifiers ("com.google.Chrome"). It is the one
// language the library speaks; each backend translates its operating
// system's interface into it, as a browser maps its one tree to each
// platform's API. What differs per system beyond that is data (browser rows),
// chosen by system().

#include <memory>
#include <string>

#include "platform/accessibility.h"
#include "platform/code_signing.h"
#include "platform/preferences.h"
#include "platform/run_loop.h"
#include "platform/session.h"
#include "platform/system.h"
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
  // Whose applications it shows.
  virtual System system() const = 0;
};

// Opens the platform of this process: the simulated desktop when
// ZEL_AX_DESKTOP names a desktop file, else the native backend built into
// this executable, else a platform on which nothing can be seen (not
// trusted). On failure returns null and sets `error` to one line that says
// what is wrong. Defined by the backends library the executable links.
std::unique_ptr<Platform> openPlatform(std::string& error);

// A platform with no accessibility, no applications and no session.
std::unique_ptr<Platform> absentPlatform();

}  // namespace zel::platform
