#pragma once
// The main run loop, which delivers system notifications on the main thread.
// Threads: run() on the main thread only; stop() from any thread.

#include <condition_variable>
#include <functional>
#include <mutex>

namespace zel::platform {

enum class SystemEvent {
  appActivated,      // the front application changed
  screensDidSleep,
  screensDidWake,
  screenLocked,      // "com.apple.screenIsLocked"
  screenUnlocked,    // "com.apple.screenIsUnlocked"
};

class RunLoop {
 public:
  virtual ~RunLoop() = default;
  // Runs on the calling thread, handing each notification to `deliver`, until
  // stop() is called from any thread.
  virtual void run(const std::function<void(SystemEvent)>& deliver) = 0;
  virtual void stop() = 0;
};

}  // namespace zel::platform
