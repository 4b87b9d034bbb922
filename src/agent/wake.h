#pragma once
// The one wake-up every waiting reader shares: a poke makes each decide again.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "base/date.h"

namespace zel::agent {

// Wakes waiting threads. Every waiter reads `generation` before it decides,
// so a poke between deciding and waiting is never lost.
class Wake {
 public:
  uint64_t generation() const;
  void poke();
  // Sleeps until a poke after `since` or until `until` (a date past the
  // clock's range never comes); true when a poke happened.
  bool wait(Date until, uint64_t since) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable condition_;
  uint64_t count_ = 0;
};

}  // namespace zel::agent
