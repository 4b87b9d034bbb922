// Chooses the platform of this process among the backends built in.

#include <cstdlib>

#include "platform/platform.h"
#include "platform/simulated/simulated_platform.h"

namespace zel::platform {

#ifdef ZEL_NATIVE_PLATFORM
// Defined by the native backend's folder: the operating system's own
// accessibility interface.
std::unique_ptr<Platform> openNativePlatform(std::string& error);
#endif

std::unique_ptr<Platform> openPlatform(std::string& error) {
  const char* path = std::getenv("ZEL_AX_DESKTOP");
  if (path && *path) {
    const char* journal = std::getenv("ZEL_AX_JOURNAL");
    std::optional<std::string> journalPath;
    if (journal && *journal) journalPath = journal;
    return SimulatedPlatform::open(path, journalPath, error);
  }
#ifdef ZEL_NATIVE_PLATFORM
  return openNativePlatform(error);
#else
  return absentPlatform();
#endif
}

}  // namespace zel::platform
