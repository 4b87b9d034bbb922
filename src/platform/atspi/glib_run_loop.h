#pragma once
// The main run loop over GLib: bus signals are delivered on the main thread
// while it runs. What to listen to is handed in by the platform.

#include <gio/gio.h>

#include <functional>
#include <mutex>

#include "platform/run_loop.h"

namespace zel::platform::atspi {

class GlibRunLoop : public RunLoop {
 public:
  using Deliver = std::function<void(SystemEvent)>;
  // Called on the main thread as the loop starts, with the way to deliver;
  // returns what undoes it, called as the loop ends.
  using Listen = std::function<std::function<void()>(const Deliver&)>;
  explicit GlibRunLoop(Listen listen) : listen_(std::move(listen)) {}
  ~GlibRunLoop() override;
  void run(const Deliver& deliver) override;
  void stop() override;

 private:
  Listen listen_;
  std::mutex lock_;
  GMainLoop* loop_ = nullptr;
  bool stopped_ = false;
};

}  // namespace zel::platform::atspi
