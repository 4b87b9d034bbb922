#include "agent/wake.h"

namespace zel::agent {

uint64_t Wake::generation() const {
  std::lock_guard g(mutex_);
  return count_;
}

void Wake::poke() {
  {
    std::lock_guard g(mutex_);
    ++count_;
  }
  condition_.notify_all();
}

bool Wake::wait(Date until, uint64_t since) const {
  std::unique_lock g(mutex_);
  const auto deadline = until.deadline();
  if (!deadline) {
    condition_.wait(g, [&] { return count_ != since; });
    return true;
  }
  return condition_.wait_until(g, *deadline, [&] { return count_ != since; });
}

}  // namespace zel::agent
