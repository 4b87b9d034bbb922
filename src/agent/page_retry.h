#pragma once
// Looking again soon at a browser whose windows showed no page: a browser
// builds a page's tree when a client first reads its window, so the first read
// of a freshly started browser finds none. The chat then comes a second or two
// later instead of at the next background read; a window that never shows a
// page costs a few quick reads, then the usual pace.

#include <optional>

#include "agent/read_schedule.h"

namespace zel::agent {

class PageRetry {
 public:
  // After each read: whether a window showed no page.
  void record(bool pageMissing) { missing_ = pageMissing ? missing_ + 1 : 0; }
  // Seconds after the last read's start at which to read again, when sooner
  // than the schedule would.
  std::optional<double> interval(const ReadSchedule& schedule) const;

 private:
  int missing_ = 0;  // reads in a row that found a window without a page
};

}  // namespace zel::agent
