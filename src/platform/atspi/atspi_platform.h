#pragma once
// The Linux desktop as a platform: AT-SPI2 for accessibility and window
// events, /proc for applications, the session and system buses for the
// session, the executable's ownership for trust, the process environment for
// interface languages, syslog for the system log, a GLib main loop.

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zel::platform::atspi {

// Opens the platform of the current desktop session; without a session bus
// or an accessibility bus, a platform on which nothing can be seen.
std::unique_ptr<Platform> openAtspiPlatform(std::string& error);

}  // namespace zel::platform::atspi
