#include "platform/atspi/glib_run_loop.h"

namespace zel::platform::atspi {

GlibRunLoop::~GlibRunLoop() {
  if (loop_) g_main_loop_unref(loop_);
}

void GlibRunLoop::run(const Deliver& deliver) {
  {
    std::lock_guard g(lock_);
    if (stopped_) return;
    if (!loop_) loop_ = g_main_loop_new(nullptr, FALSE);
  }
  const std::function<void()> unlisten = listen_ ? listen_(deliver) : std::function<void()>();
  g_main_loop_run(loop_);
  if (unlisten) unlisten();
}

void GlibRunLoop::stop() {
  std::lock_guard g(lock_);
  stopped_ = true;
  if (loop_) g_main_loop_quit(loop_);
}

}  // namespace zel::platform::atspi
