#pragma once
// Where extractors get the time and time zone they stamp on a conversation.
// Passed in, so that tests and tools can fix both.

#include <functional>
#include <optional>
#include <string>

#include "base/date.h"

namespace zel {

struct CaptureClock {
  std::function<Date()> now;
  std::function<std::optional<std::string>()> timeZone;

  // The wall clock and the host's time zone identifier (an IANA name).
  static CaptureClock system();
  static CaptureClock fixed(Date at, std::optional<std::string> zone);
};

}  // namespace zel
